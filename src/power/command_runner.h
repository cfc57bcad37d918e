// Runs one external program hidden and waits for its end.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

// Non-zero when the process was created (and has ended); 0 when none was
// created. The child's exit code is never read. `commandLine` is unchanged.
int RunProcessAndWait(Os& os, const std::wstring& commandLine);

}  // namespace tav
