// The tool's own folder: where it looks first for the system programs it
// runs, and where its companion lies.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

// The folder of the tool's own executable; empty when its path cannot be
// read whole.
std::wstring GetModuleFolder(Os& os);

}  // namespace tav
