#include "power/command_runner.h"

namespace tav {

int RunProcessAndWait(Os& os, const std::wstring& commandLine) {
  // Process creation may write into its command-line buffer: hand it a copy.
  std::wstring buffer = commandLine;
  std::unique_ptr<OsProcess> process = os.CreateHiddenProcess(buffer);
  if (!process) return 0;
  process->WaitForExit();
  return 1;  // the process handle closes with `process`
}

}  // namespace tav
