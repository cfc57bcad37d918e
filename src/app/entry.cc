#include "app/entry.h"

#include <utility>

#include "app/launch_options.h"
#include "shared/trace.h"
#include "shared/windows_version.h"

namespace tav {
namespace {

// True when the process runs in the session attached to the physical console.
bool InConsoleSession(Os& os) {
  const std::optional<uint32_t> session = os.system().SessionOf(os.system().ProcessId());
  if (!session) {
    Trace(os, L"session: the process's session cannot be read: not the console session");
    return false;
  }
  const uint32_t console = os.system().ConsoleSession();
  Trace(os, L"session: " + std::to_wstring(*session) + L", console session " +
                std::to_wstring(console));
  return *session == console;
}

// The one line that says how the run ended and why.
int Finish(Os& os, int exitCode, const std::wstring& reason) {
  Trace(os, L"exit code " + std::to_wstring(exitCode) + L": " + reason);
  return exitCode;
}
}  // namespace

int RunEntry(Os& os, const std::wstring& commandLine) {
  SystemRunSteps steps(os);
  return RunEntry(os, steps, commandLine);
}

int RunEntry(Os& os, RunSteps& steps, const std::wstring& commandLine) {
  os.system().SelectUserLocale();

  // Outside the console session nothing is done, not even the parse.
  if (!InConsoleSession(os)) {
    NotifyMainWindow(os);
    return Finish(os, kExitSuccess, L"not the console session: nothing done");
  }

  LaunchOptions options;
  if (!ReadLaunchOptions(os, commandLine, options)) {
    NotifyMainWindow(os);
    return Finish(os, kExitFailure, L"the command line is unusable");
  }

  // The version is asked only when "I" was given.
  if (options.SkipOnXp && IsWindowsXp(os)) {
    NotifyMainWindow(os);
    return Finish(os, kExitSuccess, L"/I on Windows XP: nothing done");
  }

  // Another instance runs, or the mutex cannot be made: step aside, no wait.
  std::unique_ptr<OsMutex> mutex = AcquireInstanceMutex(os);
  if (!mutex) {
    NotifyMainWindow(os);
    return Finish(os, kExitSuccess, L"no single-instance mutex: nothing done");
  }

  const RunOutcome outcome = RunSequence(steps, options);
  // Released before the main window hears of the end.
  ReleaseInstanceMutex(std::move(mutex));
  NotifyMainWindow(os);
  return Finish(os, outcome.Succeeded ? kExitSuccess : kExitFailure, outcome.Reason);
}

std::unique_ptr<OsMutex> AcquireInstanceMutex(Os& os) {
  MutexOpening opening = os.system().CreateOwnedMutex(kInstanceMutexName);
  std::unique_ptr<OsMutex>& mutex = opening.Mutex;
  if (!mutex) {
    Trace(os, L"mutex: cannot be created");
    return nullptr;
  }
  Trace(os, opening.Existed ? L"mutex: held by another instance" : L"mutex: taken");
  if (opening.Existed) {
    // Opened, not owned: releasing does nothing; the handle is closed on reset.
    mutex->Release();
    mutex.reset();
    return nullptr;
  }
  return std::move(mutex);
}

void ReleaseInstanceMutex(std::unique_ptr<OsMutex> mutex) {
  if (!mutex) return;
  mutex->Release();
  mutex.reset();  // closes the handle
}

void NotifyMainWindow(Os& os) {
  os.system().PostToWindowOfClass(kMainWindowClass, kFinishedMessage);
}

}  // namespace tav
