// The product's Os: each call is made with the Win32 functions its comment names.
#pragma once

#include <memory>

#include "os/os.h"

namespace tav {

std::unique_ptr<Os> MakeWin32Os();

namespace win32 {
// What became of the redirection-trust mitigation.
enum class RedirectionTrust {
  kHeld,         // set, and read back as set
  kUnconfirmed,  // set, but the system cannot read it back
  kDropped,      // set, but reads back as off
  kRefused,      // the system refused it (it does not know the policy)
  kNotOffered,   // no SetProcessMitigationPolicy (before Windows 8)
};
// Takes the current folder out of the DLL search and, where the system
// offers it, turns on the redirection-trust mitigation. Called first thing by
// the entry; every failure leaves the process as it was.
RedirectionTrust HardenProcess();
// One trace line that says what became of it.
const wchar_t* DescribeRedirectionTrust(RedirectionTrust trust);
}  // namespace win32

}  // namespace tav
