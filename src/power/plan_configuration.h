// Creates, configures, activates and removes the dedicated power plan by
// running powercfg.exe once per setting.
#pragma once

#include <optional>
#include <string>

#include "os/os.h"
#include "power/builtin_plans.h"
#include "power/plan_origin.h"
#include "settings/pinned_data_folder.h"
#include "settings/settings_file.h"
#include "settings/power_settings.h"

namespace tav {

inline constexpr wchar_t kPowercfgProgram[] = L"powercfg.exe";
inline constexpr wchar_t kDedicatedPlanDescription[] =
    L"「Vantrel 電源プラン設定ツール」が使用する電源プランです。";
inline constexpr wchar_t kDisplaySubgroupGuid[] = L"7516b95f-f776-4464-8c53-06167f40cc99";
inline constexpr wchar_t kBrightnessSettingGuid[] = L"aded5e82-b909-4619-9949-f5d71dac0bcb";

// What applying a settings file produced.
struct AppliedPlan {
  std::wstring PlanGuid;      // the dedicated plan's GUID text; empty on Windows XP
  bool InDataFolder = false;  // the settings file lies directly in the data folder
  PlanOrigin Origin = PlanOrigin::kFound;  // whether this run made the plan
};

// Whether a profile is recorded for a settings file, and where it was looked for.
struct ProfileCheck {
  bool InDataFolder = false;       // the settings file lies directly in the data folder
  bool NoProfileRecorded = false;  // the record names no profile yet
};

// The plan created if needed, configured and activated; nothing on failure,
// and for an empty settings path. A record file or data folder that fails its
// checks (a link, a hard link, a folder elsewhere) ends it before any plan is
// changed. `dataFolder` is held by the caller for the whole step, through
// the writing of the record.
std::optional<AppliedPlan> ApplyPowerSettings(Os& os, const PinnedDataFolder& dataFolder,
                                              const SettingsLocation& settingsFile,
                                              const PowerSettings& settings);
ProfileCheck CheckRecordedProfile(Os& os, const PinnedDataFolder& dataFolder,
                                  const SettingsLocation& settingsFile);
// GUID-based command set (14 commands for a new plan, 12 for an existing one);
// discovery decides which. The plan's GUID text and origin, or nothing on
// failure.
std::optional<AppliedPlan> ConfigurePlanByGuid(Os& os, const PinnedDataFolder& dataFolder,
                                               const PowerSettings& settings);
// Windows XP name-based command set (11 and 9): the plan's origin, or nothing
// on failure.
std::optional<PlanOrigin> ConfigurePlanByName(Os& os, const PowerSettings& settings,
                                              bool mustCreate);
// True when the delete command ran. An empty planGuid on the GUID path:
// false, nothing run.
bool RemoveDedicatedPlan(Os& os, const std::wstring& planGuid);

}  // namespace tav
