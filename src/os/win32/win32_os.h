// The product's Os: every call goes to the Win32 function it is named after.
#pragma once

#include <memory>

#include "os/os.h"

namespace tav {

std::unique_ptr<Os> MakeWin32Os();

namespace win32 {
// Takes the current folder out of the DLL search and, where the system
// offers it, turns on the redirection-trust mitigation. Called first thing by
// the entry; every failure leaves the process as it was.
void HardenProcess();
}  // namespace win32

}  // namespace tav
