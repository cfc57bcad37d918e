#include "app/run_sequence.h"

#include "power/plan_configuration.h"
#include "schedule/suspend_handoff.h"
#include "schedule/task_registration_list.h"
#include "settings/current_plan_record.h"

namespace tav {

int SystemRunSteps::ProcessTaskRegistrationList(const std::wstring& listPath) {
  return tav::ProcessTaskRegistrationList(os_, &listPath);
}
int SystemRunSteps::LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) {
  return tav::LoadPowerSettings(os_, &settingsPath, &out);
}
int SystemRunSteps::ApplyPowerSettings(int& inDataFolder, const std::wstring& settingsPath,
                                       PowerSettings settings, std::wstring& planGuid) {
  return tav::ApplyPowerSettings(os_, inDataFolder, &settingsPath, settings, planGuid);
}
int SystemRunSteps::WriteCurrentPlanRecord(const std::wstring& settingsPath,
                                           const std::wstring& profileName,
                                           const std::wstring& planGuid) {
  return tav::WriteCurrentPlanRecord(os_, &settingsPath, &profileName, &planGuid);
}
int SystemRunSteps::RemoveDedicatedPlan(const std::wstring& planGuid) {
  return tav::RemoveDedicatedPlan(os_, &planGuid);
}
int SystemRunSteps::HandOffSuspend(bool hibernate, int32_t timeHour, int32_t timeMinute) {
  return tav::HandOffSuspend(os_, hibernate, timeHour, timeMinute);
}
int64_t SystemRunSteps::CurrentTime() { return os_.CurrentTime(); }
bool SystemRunSteps::ToLocalTime(int64_t seconds, LocalTimeFields& fields) {
  return os_.ToLocalTime(seconds, fields);
}

namespace {

// True when `reading` falls in the hour and minute of the action time. The
// reading is converted once for the hour and once more for the minute. A
// failed conversion never matches: its fields would read -1, which is also the
// action time when no time was accepted, and an unreadable clock must not
// trigger a suspend.
bool ActionTimeMatches(RunSteps& steps, int64_t reading, const LaunchOptions& options) {
  LocalTimeFields fields;
  if (!steps.ToLocalTime(reading, fields) || fields.hour != options.ActionHour) return false;
  fields = LocalTimeFields{};
  if (!steps.ToLocalTime(reading, fields) || fields.minute != options.ActionMinute) return false;
  return true;
}

}  // namespace

int RunSequence(RunSteps& steps, const LaunchOptions& options) {
  if (options.SettingsPath.empty() && options.TaskListPath.empty()) return 0;

  if (!options.TaskListPath.empty()) {
    if (steps.ProcessTaskRegistrationList(options.TaskListPath) == 0) return 0;
  }
  // A task list alone is a complete run, whatever times were given.
  if (options.SettingsPath.empty()) return 1;

  PowerSettings settings;
  if (steps.LoadPowerSettings(options.SettingsPath, settings) == 0) return 0;

  std::wstring planGuid;
  int inDataFolder = 0;
  if (steps.ApplyPowerSettings(inDataFolder, options.SettingsPath, settings, planGuid) == 0)
    return 0;

  if (steps.WriteCurrentPlanRecord(options.SettingsPath, settings.Name, planGuid) == 0) {
    // The one roll-back: a plan made for the machine-wide settings file is not
    // left behind without its record. The removal's own result is not used.
    if (inDataFolder != 0) steps.RemoveDedicatedPlan(planGuid);
    return 0;
  }

  if (!options.SuspendRequested && !options.HibernateRequested) return 1;

  // The clock is read after the plan's work, once.
  const int64_t now = steps.CurrentTime();
  if (!ActionTimeMatches(steps, now, options)) return 1;

  if (steps.HandOffSuspend(options.HibernateRequested, options.HandOffHour,
                           options.HandOffMinute) == 0)
    return 0;
  return 1;
}

}  // namespace tav
