// PLACEHOLDER: replaced by the real implementation.
#include "power/plan_discovery.h"
namespace tav {
int FindDedicatedPlanGuid(Os&, int&, std::wstring&) { return 0; }
int FindSchemeByName(Os&, int&, std::wstring&) { return 0; }
std::wstring PlanGuidToString(Os&, const Guid&) { return L""; }
bool SchemeSearchCallback(const std::wstring&, void*) { return true; }
}
