// Windows' own power plans: never taken for the dedicated plan, and the base
// that a new dedicated plan copies.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

inline constexpr wchar_t kPowerSaverPlanGuid[] = L"a1841308-3541-4fab-bc81-f71556f20b4a";
inline constexpr wchar_t kBalancedPlanGuid[] = L"381b4222-f694-41f0-9685-ff5bb260df2e";
inline constexpr wchar_t kHighPerformancePlanGuid[] = L"8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c";
inline constexpr wchar_t kUltimatePerformancePlanGuid[] = L"e9a42b02-d5df-448d-aa00-03f14749eb61";

// True when `planGuid` (text form, any letter case, no braces) is one of the
// built-in plans above.
bool IsBuiltInPlan(const std::wstring& planGuid);

// The plan that a new dedicated plan copies and that removal activates: the
// power saver where the system lists it, else Balanced, which every version
// since Vista has. Many recent machines ship without the power saver
// (Modern Standby, OEM images). When the plans cannot be listed, the power
// saver, as always.
std::wstring ChooseBasePlanGuid(Os& os);

}  // namespace tav
