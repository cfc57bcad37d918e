#include "shared/command_runner.h"

#include <optional>

#include "os/path_strings.h"
#include "shared/module_folder.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

// Whole seconds of a time limit, for the trace.
std::wstring SecondsText(std::chrono::milliseconds limit) {
  return std::to_wstring(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) + L" s";
}

// Runs `commandLine`; an empty `applicationName` lets the platform search for
// the program. Without `timeLimit` the wait has no end (the companion may
// legitimately wait for the machine).
bool Run(Os& os, const std::wstring& applicationName, const std::wstring& commandLine,
         std::optional<std::chrono::milliseconds> timeLimit = std::nullopt) {
  // The trace's lines are built only when someone reads them.
  const bool tracing = os.system().TraceWanted();
  auto child = [&] {
    return commandLine +
           (applicationName.empty() ? L"" : L" (program " + Quoted(applicationName) + L")");
  };
  const std::chrono::milliseconds started = os.system().SteadyTime();
  std::unique_ptr<OsProcess> process = os.processes().StartHidden(applicationName, commandLine);
  if (!process) {
    if (tracing) Trace(os, L"child not started: " + child());
    return false;
  }
  if (!process->Wait(timeLimit)) {
    process->Terminate();
    if (tracing)
      Trace(os, L"child ended by the tool after its time limit of " + SecondsText(*timeLimit) +
                    L": " + child() + L": counted as not started");
    return false;
  }
  if (!tracing) return true;  // a started child is a success
  const auto milliseconds = (os.system().SteadyTime() - started).count();
  // The exit code is read for the trace alone: a started child is a success.
  const std::optional<uint32_t> exitCode = process->ExitCode();
  const std::wstring code = exitCode ? L"exit code " + std::to_wstring(*exitCode)
                                     : std::wstring(L"exit code unknown");
  Trace(os, L"child ended: " + child() + L": " + code + L", " + std::to_wstring(milliseconds) +
                L" ms");
  return true;  // the process handle closes with `process`
}

// The file name of a program as the platform's search looks for it.
std::wstring ProgramFileName(const std::wstring& programName) {
  return programName.find(L'.') == std::wstring::npos ? programName + L".exe" : programName;
}

}  // namespace

bool RunProcessAndWait(Os& os, const std::wstring& commandLine) {
  return Run(os, L"", commandLine);
}

bool RunSystemProgramAndWait(Os& os, const std::wstring& commandLine) {
  return RunSystemProgramAndWait(os, commandLine, kSystemProgramTimeLimit);
}

bool RunSystemProgramAndWait(Os& os, const std::wstring& commandLine,
                             std::chrono::milliseconds timeLimit) {
  // System command lines name their program by a bare name, unquoted.
  const std::wstring name = commandLine.substr(0, commandLine.find(L' '));
  const std::wstring program = SystemProgramPath(os, name);
  if (program.empty()) {
    Trace(os, L"child not started: no system folder to take " + name + L" from: " + commandLine);
    return false;
  }
  return Run(os, program, commandLine, timeLimit);
}

std::wstring SystemProgramPath(Os& os, const std::wstring& programName) {
  const std::wstring fileName = ProgramFileName(programName);
  const std::wstring toolFolder = GetModuleFolder(os);
  if (!toolFolder.empty()) {
    const std::wstring beside = PathStringCombine(toolFolder, fileName);
    if (!beside.empty() && os.files().KindOf(beside) == PathKind::kFile) return beside;
  }
  const std::wstring systemFolder = os.processes().SystemFolder();
  if (systemFolder.empty()) return L"";
  return PathStringCombine(systemFolder, fileName);
}

}  // namespace tav
