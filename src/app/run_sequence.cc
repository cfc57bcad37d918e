#include "app/run_sequence.h"

#include "power/plan_configuration.h"
#include "schedule/suspend_handoff.h"
#include "schedule/task_registration_list.h"
#include "settings/current_plan_record.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {

int SystemRunSteps::ProcessTaskRegistrationList(const std::wstring& listPath) {
  return tav::ProcessTaskRegistrationList(os_, &listPath);
}
int SystemRunSteps::LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) {
  return tav::LoadPowerSettings(os_, &settingsPath, &out);
}
int SystemRunSteps::ApplyPowerSettings(int& inDataFolder, const std::wstring& settingsPath,
                                       PowerSettings settings, std::wstring& planGuid) {
  return tav::ApplyPowerSettings(os_, inDataFolder, &settingsPath, settings, planGuid,
                                 planOrigin_);
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
void SystemRunSteps::Trace(const std::wstring& text) { tav::Trace(os_, text); }

namespace {

// True when `reading` falls in the hour and minute of the action time. The
// reading is converted once for the hour and once more for the minute. A
// failed conversion never matches: its fields would read -1, which is also the
// action time when no time was accepted, and an unreadable clock must not
// trigger a suspend.
bool ActionTimeMatches(RunSteps& steps, int64_t reading, const LaunchOptions& options) {
  const std::wstring check = L"hand-off: action time " +
                             ClockText(options.ActionHour, options.ActionMinute) + L", local ";
  LocalTimeFields fields;
  if (!steps.ToLocalTime(reading, fields)) {
    steps.Trace(check + L"time unreadable: not due");
    return false;
  }
  if (fields.hour != options.ActionHour) {
    steps.Trace(check + L"hour " + TwoDigitText(fields.hour) + L": not due");
    return false;
  }
  fields = LocalTimeFields{};
  if (!steps.ToLocalTime(reading, fields)) {
    steps.Trace(check + L"time unreadable: not due");
    return false;
  }
  const bool due = fields.minute == options.ActionMinute;
  steps.Trace(check + L"time " + ClockText(options.ActionHour, fields.minute) +
              (due ? L": due" : L": not due"));
  return due;
}

// Ends the run with `result`, saying how.
int End(std::wstring* outcome, int result, const wchar_t* how) {
  if (outcome) *outcome = how;
  return result;
}

}  // namespace

int RunSequence(RunSteps& steps, const LaunchOptions& options, std::wstring* outcome) {
  if (options.SettingsPath.empty() && options.TaskListPath.empty())
    return End(outcome, 0, L"neither a settings file nor a task list was named");
  if (!options.TaskListPath.empty()) {
    if (steps.ProcessTaskRegistrationList(options.TaskListPath) == 0)
      return End(outcome, 0, L"the task list could not be opened");
  }

  // A task list alone is a complete run, whatever times were given.
  if (options.SettingsPath.empty()) return End(outcome, 1, L"the task list was handled");

  PowerSettings settings;
  if (steps.LoadPowerSettings(options.SettingsPath, settings) == 0)
    return End(outcome, 0, L"the settings file is missing or has no Version or Name");

  std::wstring planGuid;
  int inDataFolder = 0;
  if (steps.ApplyPowerSettings(inDataFolder, options.SettingsPath, settings, planGuid) == 0)
    return End(outcome, 0, L"the plan could not be found, made, activated or configured");

  if (steps.WriteCurrentPlanRecord(options.SettingsPath, settings.Name, planGuid) == 0) {
    // The one roll-back: a plan made for the machine-wide settings file is not
    // left behind without its record. The removal's own result is not used.
    if (inDataFolder == 0) return End(outcome, 0, L"the record could not be written; the plan stays");
    if (!steps.PlanMadeByThisRun())
      return End(outcome, 0,
                 L"the record could not be written; the plan was there before the run and stays");
    steps.Trace(L"roll-back: the plan made for the data folder's settings file is removed");
    steps.RemoveDedicatedPlan(planGuid);
    return End(outcome, 0, L"the record could not be written; the plan was removed again");
  }

  if (!options.SuspendRequested && !options.HibernateRequested)
    return End(outcome, 1, L"the settings were applied and recorded");
  // The clock is read after the plan's work, once.
  const int64_t now = steps.CurrentTime();
  if (!ActionTimeMatches(steps, now, options))
    return End(outcome, 1, L"the settings were applied and recorded; no hand-off was due");
  if (steps.HandOffSuspend(options.HibernateRequested, options.HandOffHour,
                           options.HandOffMinute) == 0)
    return End(outcome, 0, L"the companion could not be started");
  return End(outcome, 1, L"the settings were applied and recorded; the request was handed off");
}

}  // namespace tav
