#include "power/builtin_plans.h"

#include "power/plan_list.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {

bool IsBuiltInPlan(const std::wstring& planGuid) {
  for (const wchar_t* builtIn : {kPowerSaverPlanGuid, kBalancedPlanGuid, kHighPerformancePlanGuid,
                                 kUltimatePerformancePlanGuid}) {
    if (EqualsIgnoreCase(planGuid, builtIn)) return true;
  }
  return false;
}

std::wstring ChooseBasePlanGuid(Os& os) {
  std::unique_ptr<OsPowerLibrary> library = os.power().OpenLibrary();
  if (!library) {
    Trace(os, L"base plan: the plans cannot be listed: power saver");
    return kPowerSaverPlanGuid;
  }
  if (PlanIsListed(os, *library, kPowerSaverPlanGuid)) {
    Trace(os, L"base plan: power saver");
    return kPowerSaverPlanGuid;
  }
  Trace(os, L"base plan: the power saver is not listed: Balanced");
  return kBalancedPlanGuid;
}

}  // namespace tav
