// The run sequence: task list, settings, plan, record, roll-back, hand-off.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/launch_options.h"
#include "os/os.h"
#include "power/plan_configuration.h"
#include "settings/pinned_data_folder.h"
#include "settings/power_settings.h"
#include "settings/settings_file.h"

namespace tav {

// The operations that the run sequence calls, in the order it calls them.
// `SystemRunSteps` calls the real ones; tests substitute their own.
class RunSteps {
 public:
  virtual ~RunSteps() = default;
  virtual bool ProcessTaskRegistrationList(const std::wstring& listPath) = 0;
  virtual bool LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) = 0;
  // The applied plan carries where it came from: the roll-back removes only
  // a plan that this run made.
  virtual std::optional<AppliedPlan> ApplyPowerSettings(const std::wstring& settingsPath,
                                                        const PowerSettings& settings) = 0;
  virtual bool WriteCurrentPlanRecord(const std::wstring& settingsPath,
                                      const std::wstring& profileName,
                                      const std::wstring& planGuid) = 0;
  virtual bool RemoveDedicatedPlan(const std::wstring& planGuid) = 0;
  virtual bool HandOffSuspend(bool hibernate, const std::optional<TimeOfDay>& time) = 0;
  virtual int64_t Now() = 0;
  virtual std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) = 0;
  // One line of the diagnostic trace; steps that do not trace ignore it.
  virtual void Trace(const std::wstring& text) {}
};

class SystemRunSteps : public RunSteps {
 public:
  explicit SystemRunSteps(Os& os) : os_(os) {}
  bool ProcessTaskRegistrationList(const std::wstring& listPath) override;
  bool LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) override;
  std::optional<AppliedPlan> ApplyPowerSettings(const std::wstring& settingsPath,
                                                const PowerSettings& settings) override;
  bool WriteCurrentPlanRecord(const std::wstring& settingsPath, const std::wstring& profileName,
                              const std::wstring& planGuid) override;
  bool RemoveDedicatedPlan(const std::wstring& planGuid) override;
  bool HandOffSuspend(bool hibernate, const std::optional<TimeOfDay>& time) override;
  int64_t Now() override;
  std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) override;
  void Trace(const std::wstring& text) override;

 private:
  Os& os_;
  // The settings file and its folder, held from their load until their
  // record is written.
  std::optional<HeldSettingsFile> settingsFile_;
  // The data folder, held from the start of applying the settings until
  // their record is written.
  std::optional<PinnedDataFolder> dataFolder_;
  // Where the settings file at `settingsPath` lies: as held, or as named when
  // no step held it.
  SettingsLocation Location(const std::wstring& settingsPath) const;
};

// How a run ended: whether it succeeded, and why, in words for the trace.
struct RunOutcome {
  bool Succeeded = false;
  std::wstring Reason;
};

// The first failing step ends the run.
RunOutcome RunSequence(RunSteps& steps, const LaunchOptions& options);

}  // namespace tav
