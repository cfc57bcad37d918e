// Hardening of the elevated process before it touches any file or program.
#include "os/win32/procedure_lookup.h"
#include "os/win32/win32_os.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

// PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy and its flags
// word: bit 0 EnforceRedirectionTrust. The structure is documented from
// Windows 8.1 on, but only recent Windows 10 and 11 builds honour the policy
// (RedirectionGuard); earlier systems refuse it. It covers junctions made by
// non-administrators only, not symbolic or hard links, so the tool checks
// every file it changes itself (OsFiles::PinFile) and uses this as a second wall.
constexpr int kProcessRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;

using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR pathName);
using SetProcessMitigationPolicyFunction = BOOL(WINAPI*)(int policy, PVOID buffer,
                                                         SIZE_T length);
using GetProcessMitigationPolicyFunction = BOOL(WINAPI*)(HANDLE process, int policy,
                                                         PVOID buffer, SIZE_T length);

template <typename Function>
Function Kernel32Function(const char* name) {
  return SystemProcedure<Function>(L"kernel32.dll", name);
}

}  // namespace

RedirectionTrust HardenProcess() {
  // The current folder leaves the DLL search: the caller's folder may be one
  // that any user can write to. Looked up at run time, like everything newer
  // than the program's oldest target.
  if (auto setDllDirectory = Kernel32Function<SetDllDirectoryFunction>("SetDllDirectoryW"))
    setDllDirectory(L"");
  // Files the tool writes or deletes with administrator rights are not
  // reached through junctions or mount points that other users made.
  const auto setPolicy =
      Kernel32Function<SetProcessMitigationPolicyFunction>("SetProcessMitigationPolicy");
  if (!setPolicy) return RedirectionTrust::kNotOffered;
  DWORD flags = kEnforceRedirectionTrust;
  if (!setPolicy(kProcessRedirectionTrustPolicy, &flags, sizeof flags))
    return RedirectionTrust::kRefused;  // a system that does not know the policy
  // Read back: a success alone does not prove that the system enforces it.
  const auto getPolicy =
      Kernel32Function<GetProcessMitigationPolicyFunction>("GetProcessMitigationPolicy");
  DWORD now = 0;
  if (!getPolicy ||
      !getPolicy(::GetCurrentProcess(), kProcessRedirectionTrustPolicy, &now, sizeof now))
    return RedirectionTrust::kUnconfirmed;
  return (now & kEnforceRedirectionTrust) ? RedirectionTrust::kHeld : RedirectionTrust::kDropped;
}

const wchar_t* DescribeRedirectionTrust(RedirectionTrust trust) {
  switch (trust) {
    case RedirectionTrust::kHeld:
      return L"start-up: redirection-trust mitigation on (read back)";
    case RedirectionTrust::kUnconfirmed:
      return L"start-up: redirection-trust mitigation accepted, but cannot be read back";
    case RedirectionTrust::kDropped:
      return L"start-up: redirection-trust mitigation accepted, but reads back off";
    case RedirectionTrust::kRefused:
      return L"start-up: redirection-trust mitigation refused by this Windows version";
    case RedirectionTrust::kNotOffered:
      return L"start-up: redirection-trust mitigation not offered (no "
             L"SetProcessMitigationPolicy)";
  }
  return L"start-up: redirection-trust mitigation unknown";
}

}  // namespace tav::win32
