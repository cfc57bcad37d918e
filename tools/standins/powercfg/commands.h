// The powercfg.exe commands that the stand-in understands, applied to a plan
// store in memory.
#pragma once

#include <string>
#include <vector>

#include "os/posix/plan_store_format.h"

namespace tav::standin {

struct CommandResult {
  int ExitCode = 0;     // 0: done; 1: not understood, the store is unchanged
  bool Changed = false;  // the store must be saved
  std::string Output;    // for standard output (queries) or, on failure, standard error
};

// `args` are the arguments after the program name, UTF-8. Switches start
// with "/" or "-" and are matched without regard to case.
// `activationLocked` stands for a group policy that sets the active plan:
// every "/SETACTIVE" is then refused and the store left as it was.
CommandResult RunPowercfgCommand(const std::vector<std::string>& args, PlanStore& store,
                                 bool activationLocked = false);

}  // namespace tav::standin
