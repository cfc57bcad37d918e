#include "app/run_sequence.h"

#include "power/plan_configuration.h"
#include "schedule/suspend_handoff.h"
#include "schedule/task_registration_list.h"
#include "settings/current_plan_record.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {

bool SystemRunSteps::ProcessTaskRegistrationList(const std::wstring& listPath) {
  return tav::ProcessTaskRegistrationList(os_, listPath);
}
bool SystemRunSteps::LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) {
  // Held from here: the record beside it goes where it really lies.
  settingsFile_ = HeldSettingsFile::Hold(os_, settingsPath);
  if (settingsFile_->Refused() || !tav::LoadPowerSettings(os_, settingsPath, out)) {
    settingsFile_.reset();
    return false;
  }
  return true;
}
SettingsLocation SystemRunSteps::Location(const std::wstring& settingsPath) const {
  if (settingsFile_ && settingsFile_->Location().Named == settingsPath)
    return settingsFile_->Location();
  return SettingsLocation(settingsPath);
}
std::optional<AppliedPlan> SystemRunSteps::ApplyPowerSettings(const std::wstring& settingsPath,
                                                              const PowerSettings& settings) {
  dataFolder_ = PinnedDataFolder::Pin(os_);
  std::optional<AppliedPlan> applied =
      tav::ApplyPowerSettings(os_, *dataFolder_, Location(settingsPath), settings);
  if (!applied) {  // no record follows
    dataFolder_.reset();
    settingsFile_.reset();
  }
  return applied;
}
bool SystemRunSteps::WriteCurrentPlanRecord(const std::wstring& settingsPath,
                                            const std::wstring& profileName,
                                            const std::wstring& planGuid) {
  if (!dataFolder_) dataFolder_ = PinnedDataFolder::Pin(os_);
  const bool written = tav::WriteCurrentPlanRecord(os_, *dataFolder_, Location(settingsPath),
                                                   profileName, planGuid);
  dataFolder_.reset();
  settingsFile_.reset();
  return written;
}
bool SystemRunSteps::RemoveDedicatedPlan(const std::wstring& planGuid) {
  return tav::RemoveDedicatedPlan(os_, planGuid);
}
bool SystemRunSteps::HandOffSuspend(bool hibernate, const std::optional<TimeOfDay>& time) {
  return tav::HandOffSuspend(os_, hibernate, time);
}
int64_t SystemRunSteps::Now() { return os_.system().Now(); }
std::optional<TimeOfDay> SystemRunSteps::LocalTimeOfDay(int64_t seconds) {
  return os_.system().LocalTimeOfDay(seconds);
}
void SystemRunSteps::Trace(const std::wstring& text) { tav::Trace(os_, text); }

namespace {

// True when `reading` falls in the hour and minute of the action time. The
// reading is converted once for the hour and once more for the minute. A
// failed conversion never matches, nor does a request whose time a later
// token rejected: an unreadable clock must not trigger a suspend.
bool ActionTimeMatches(RunSteps& steps, int64_t reading, const LaunchOptions& options) {
  const std::optional<TimeOfDay>& action = options.ActionTime;
  const std::wstring check = L"hand-off: action time " + ClockText(action) + L", local ";
  std::optional<TimeOfDay> local = steps.LocalTimeOfDay(reading);
  if (!local) {
    steps.Trace(check + L"time unreadable: not due");
    return false;
  }
  if (!action || local->Hour != action->Hour) {
    steps.Trace(check + L"hour " + TwoDigitText(local->Hour) + L": not due");
    return false;
  }
  local = steps.LocalTimeOfDay(reading);
  if (!local) {
    steps.Trace(check + L"time unreadable: not due");
    return false;
  }
  const bool due = local->Minute == action->Minute;
  steps.Trace(check + L"time " + ClockText(TimeOfDay{action->Hour, local->Minute}) +
              (due ? L": due" : L": not due"));
  return due;
}

RunOutcome Succeeded(const wchar_t* how) { return RunOutcome{true, how}; }
RunOutcome Failed(const wchar_t* how) { return RunOutcome{false, how}; }

}  // namespace

RunOutcome RunSequence(RunSteps& steps, const LaunchOptions& options) {
  if (options.SettingsPath.empty() && options.TaskListPath.empty())
    return Failed(L"neither a settings file nor a task list was named");
  if (!options.TaskListPath.empty()) {
    if (!steps.ProcessTaskRegistrationList(options.TaskListPath))
      return Failed(L"the task list could not be opened");
  }

  // A task list alone is a complete run, whatever times were given.
  if (options.SettingsPath.empty()) return Succeeded(L"the task list was handled");

  PowerSettings settings;
  if (!steps.LoadPowerSettings(options.SettingsPath, settings))
    return Failed(L"the settings file is missing or has no Version or Name");

  const std::optional<AppliedPlan> applied =
      steps.ApplyPowerSettings(options.SettingsPath, settings);
  if (!applied) return Failed(L"the plan could not be found, made, activated or configured");

  if (!steps.WriteCurrentPlanRecord(options.SettingsPath, settings.Name, applied->PlanGuid)) {
    // The one roll-back: a plan made for the machine-wide settings file is not
    // left behind without its record. The removal's own result is not used.
    if (!applied->InDataFolder) return Failed(L"the record could not be written; the plan stays");
    if (applied->Origin != PlanOrigin::kMadeByThisRun)
      return Failed(L"the record could not be written; the plan was there before the run and stays");
    steps.Trace(L"roll-back: the plan made for the data folder's settings file is removed");
    steps.RemoveDedicatedPlan(applied->PlanGuid);
    return Failed(L"the record could not be written; the plan was removed again");
  }

  if (!options.SuspendRequested && !options.HibernateRequested)
    return Succeeded(L"the settings were applied and recorded");
  // The clock is read after the plan's work, once.
  const int64_t now = steps.Now();
  if (!ActionTimeMatches(steps, now, options))
    return Succeeded(L"the settings were applied and recorded; no hand-off was due");
  if (!steps.HandOffSuspend(options.HibernateRequested, options.HandOffTime))
    return Failed(L"the companion could not be started");
  return Succeeded(L"the settings were applied and recorded; the request was handed off");
}

}  // namespace tav
