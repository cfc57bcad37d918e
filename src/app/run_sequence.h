// The run sequence: task list, settings, plan, record, roll-back, hand-off.
#pragma once

#include <cstdint>
#include <string>

#include "app/launch_options.h"
#include "os/os.h"
#include "power/plan_origin.h"
#include "settings/power_settings.h"

namespace tav {

// The operations that the run sequence calls, in the order it calls them.
// `SystemRunSteps` calls the real ones; tests substitute their own.
class RunSteps {
 public:
  virtual ~RunSteps() = default;
  virtual int ProcessTaskRegistrationList(const std::wstring& listPath) = 0;
  virtual int LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) = 0;
  virtual int ApplyPowerSettings(int& inDataFolder, const std::wstring& settingsPath,
                                 PowerSettings settings, std::wstring& planGuid) = 0;
  virtual int WriteCurrentPlanRecord(const std::wstring& settingsPath,
                                     const std::wstring& profileName,
                                     const std::wstring& planGuid) = 0;
  virtual int RemoveDedicatedPlan(const std::wstring& planGuid) = 0;
  // Whether the last ApplyPowerSettings made the plan rather than found it;
  // the roll-back removes only such a plan. Steps that cannot tell answer
  // true, the rule before plans were told apart.
  virtual bool PlanMadeByThisRun() { return true; }
  virtual int HandOffSuspend(bool hibernate, int32_t timeHour, int32_t timeMinute) = 0;
  virtual int64_t CurrentTime() = 0;
  virtual bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) = 0;
  // One line of the diagnostic trace; steps that do not trace ignore it.
  virtual void Trace(const std::wstring& text) {}
};

class SystemRunSteps : public RunSteps {
 public:
  explicit SystemRunSteps(Os& os) : os_(os) {}
  int ProcessTaskRegistrationList(const std::wstring& listPath) override;
  int LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) override;
  int ApplyPowerSettings(int& inDataFolder, const std::wstring& settingsPath,
                         PowerSettings settings, std::wstring& planGuid) override;
  int WriteCurrentPlanRecord(const std::wstring& settingsPath, const std::wstring& profileName,
                             const std::wstring& planGuid) override;
  int RemoveDedicatedPlan(const std::wstring& planGuid) override;
  bool PlanMadeByThisRun() override { return planOrigin_ == PlanOrigin::kMadeByThisRun; }
  int HandOffSuspend(bool hibernate, int32_t timeHour, int32_t timeMinute) override;
  int64_t CurrentTime() override;
  bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) override;
  void Trace(const std::wstring& text) override;

 private:
  Os& os_;
  PlanOrigin planOrigin_ = PlanOrigin::kFound;
};

// 1 for success, 0 for failure; the first failing step ends the run.
// `outcome`, when given, says in words how the run ended, for the trace.
int RunSequence(RunSteps& steps, const LaunchOptions& options, std::wstring* outcome = nullptr);

}  // namespace tav
