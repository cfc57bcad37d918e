#include "power/builtin_plans.h"

#include "power/plan_discovery.h"
#include "shared/text.h"

namespace tav {

bool IsBuiltInPlan(const std::wstring& planGuid) {
  for (const wchar_t* builtIn : {kPowerSaverPlanGuid, kBalancedPlanGuid, kHighPerformancePlanGuid,
                                 kUltimatePerformancePlanGuid}) {
    if (EqualsIgnoreCase(planGuid, builtIn)) return true;
  }
  return false;
}

std::wstring ChooseBasePlanGuid(Os& os) {
  std::unique_ptr<OsPowerLibrary> library = os.LoadPowerLibrary();
  if (!library) return kPowerSaverPlanGuid;
  return PlanIsListed(os, *library, kPowerSaverPlanGuid) ? kPowerSaverPlanGuid
                                                          : kBalancedPlanGuid;
}

}  // namespace tav
