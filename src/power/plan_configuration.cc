// PLACEHOLDER: replaced by the real implementation.
#include "power/plan_configuration.h"
namespace tav {
int ApplyPowerSettings(Os&, int&, const std::wstring*, PowerSettings, std::wstring&) { return 0; }
int CheckRecordedProfile(Os&, const std::wstring&, int&) { return 1; }
int ConfigurePlanByGuid(Os&, const PowerSettings&, int, std::wstring&) { return 0; }
int ConfigurePlanByName(Os&, const PowerSettings&, int) { return 0; }
int RemoveDedicatedPlan(Os&, const std::wstring*) { return 0; }
}
