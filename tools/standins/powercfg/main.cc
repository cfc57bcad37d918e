// Stand-in for the system program powercfg.exe. Every start appends its raw
// command line as one line to <state folder>/powercfg.log, then applies the
// command to the plan store (plan-store.txt in the same folder).
//
// Exit code 0: the command was carried out. Exit code 1: it was not
// understood (or the store could not be read or written); the store is then
// left as it was.
//
// For tests, TAV_POWERCFG_FAIL_AT=N makes the N-th start that sees the
// variable fail with exit code 1 without touching the store; starts are
// counted in <state folder>/powercfg.count. While a file named
// policy-keeps-active-plan exists in the state folder, every "/SETACTIVE" is
// refused (exit code 1, store untouched), as under a group policy that sets
// the active plan.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "standins/plan_store/plan_store.h"
#include "standins/powercfg/commands.h"
#include "standins/standin_common.h"

namespace tav::standin {
namespace {

// Counts this start; true when it is the one that TAV_POWERCFG_FAIL_AT names.
bool IsStartToFail() {
  const char* failAt = std::getenv("TAV_POWERCFG_FAIL_AT");
  if (!failAt || !*failAt) return false;
  const long wanted = std::strtol(failAt, nullptr, 10);
  const std::string path = StateFilePath(StateDir(), "powercfg.count");
  long count = 0;
  if (FILE* f = OpenUtf8Path(path, "rb")) {
    char buffer[32] = {};
    std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    count = std::strtol(buffer, nullptr, 10);
  }
  ++count;
  if (FILE* f = OpenUtf8Path(path, "wb")) {
    const std::string text = std::to_string(count) + "\n";
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  return count == wanted;
}

bool PolicyKeepsActivePlan() {
  FILE* f = OpenUtf8Path(StateFilePath(StateDir(), "policy-keeps-active-plan"), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

void Print(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

int Run(int argc, char** argv) {
  AppendLog("powercfg.log", RawCommandLine(argc, argv));
  if (IsStartToFail()) {
    Print(stderr, "powercfg: failing this start as TAV_POWERCFG_FAIL_AT asks\n");
    return 1;
  }
  std::vector<std::string> args;
  for (const std::wstring& arg : Arguments(argc, argv)) args.push_back(ToUtf8(arg));

  const std::string path = PlanStorePath();
  PlanStore store;
  if (!LoadPlanStore(path, store)) {
    Print(stderr, "powercfg: cannot read " + path + "\n");
    return 1;
  }
  const CommandResult result = RunPowercfgCommand(args, store, PolicyKeepsActivePlan());
  Print(result.ExitCode == 0 ? stdout : stderr, result.Output);
  if (result.ExitCode != 0) return result.ExitCode;
  if (result.Changed && !SavePlanStore(path, store)) {
    Print(stderr, "powercfg: cannot write " + path + "\n");
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace tav::standin

#ifdef _WIN32
// Built with -municode; the command line is read with GetCommandLineW.
int wmain(int, wchar_t**) { return tav::standin::Run(0, nullptr); }
#else
int main(int argc, char** argv) { return tav::standin::Run(argc, argv); }
#endif
