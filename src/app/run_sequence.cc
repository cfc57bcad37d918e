// PLACEHOLDER: replaced by the real implementation.
#include "app/run_sequence.h"
#include "power/plan_configuration.h"
#include "schedule/suspend_handoff.h"
#include "schedule/task_registration_list.h"
#include "settings/current_plan_record.h"
namespace tav {
int SystemRunSteps::ProcessTaskRegistrationList(const std::wstring& p) { return tav::ProcessTaskRegistrationList(os_, &p); }
int SystemRunSteps::LoadPowerSettings(const std::wstring& p, PowerSettings& out) { return tav::LoadPowerSettings(os_, &p, &out); }
int SystemRunSteps::ApplyPowerSettings(int& inDataFolder, const std::wstring& p, PowerSettings s, std::wstring& g) { return tav::ApplyPowerSettings(os_, inDataFolder, &p, s, g); }
int SystemRunSteps::WriteCurrentPlanRecord(const std::wstring& p, const std::wstring& n, const std::wstring& g) { return tav::WriteCurrentPlanRecord(os_, &p, &n, &g); }
int SystemRunSteps::RemoveDedicatedPlan(const std::wstring& g) { return tav::RemoveDedicatedPlan(os_, &g); }
int SystemRunSteps::HandOffSuspend(bool h, int32_t a, int32_t b) { return tav::HandOffSuspend(os_, h, a, b); }
int64_t SystemRunSteps::CurrentTime() { return os_.CurrentTime(); }
bool SystemRunSteps::ToLocalTime(int64_t s, LocalTimeFields& f) { return os_.ToLocalTime(s, f); }
int RunSequence(RunSteps&, const LaunchOptions&) { return 0; }
}
