// Hardening of the elevated process before it touches any file or program.
#include "os/win32/procedure_lookup.h"
#include "os/win32/win32_os.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

// PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy (Windows 10
// 2004 and later), and its flags word: bit 0 EnforceRedirectionTrust.
constexpr int kProcessRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;

using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR pathName);
using SetProcessMitigationPolicyFunction = BOOL(WINAPI*)(int policy, PVOID buffer,
                                                         SIZE_T length);

template <typename Function>
Function Kernel32Function(const char* name) {
  // kernel32.dll is always loaded; its handle is not counted, so not freed.
  return LookupProcedure<Function>(::GetModuleHandleW(L"kernel32.dll"), name);
}

}  // namespace

void HardenProcess() {
  // The current folder leaves the DLL search: the caller's folder may be one
  // that any user can write to. Looked up at run time, like everything newer
  // than the program's oldest target.
  if (auto setDllDirectory = Kernel32Function<SetDllDirectoryFunction>("SetDllDirectoryW"))
    setDllDirectory(L"");
  // Files the tool writes or deletes with administrator rights are not
  // reached through junctions or mount points that other users made.
  if (auto setPolicy =
          Kernel32Function<SetProcessMitigationPolicyFunction>("SetProcessMitigationPolicy")) {
    DWORD flags = kEnforceRedirectionTrust;
    setPolicy(kProcessRedirectionTrustPolicy, &flags, sizeof flags);  // refused on older systems
  }
}

}  // namespace tav::win32
