// The version test that selects the Windows XP behaviour.
#pragma once

#include "os/os.h"

namespace tav {

// True when the system's version is exactly 5.1 (any service pack).
bool IsWindowsXp(Os& os);

}  // namespace tav
