// Creates, configures, activates and removes the dedicated power plan by
// running powercfg.exe once per setting.
#pragma once

#include <string>

#include "os/os.h"
#include "power/builtin_plans.h"
#include "power/plan_origin.h"
#include "settings/power_settings.h"

namespace tav {

inline constexpr wchar_t kPowercfgProgram[] = L"powercfg.exe";
inline constexpr wchar_t kDedicatedPlanDescription[] =
    L"「Vantrel 電源プラン設定ツール」が使用する電源プランです。";
inline constexpr wchar_t kDisplaySubgroupGuid[] = L"7516b95f-f776-4464-8c53-06167f40cc99";
inline constexpr wchar_t kBrightnessSettingGuid[] = L"aded5e82-b909-4619-9949-f5d71dac0bcb";

// 1 when the plan was created if needed, configured and activated. Sets
// `inDataFolder` and `planGuid` (empty on Windows XP). Null settingsPath: 0.
// A record file or data folder that fails its checks (a link, a hard link, a
// folder elsewhere) ends it with 0 before any plan is changed.
int ApplyPowerSettings(Os& os, int& inDataFolder, const std::wstring* settingsPath,
                       PowerSettings settings, std::wstring& planGuid);
// The same, also telling where the plan came from (set on success).
int ApplyPowerSettings(Os& os, int& inDataFolder, const std::wstring* settingsPath,
                       PowerSettings settings, std::wstring& planGuid, PlanOrigin& origin);
// 1 when no profile is recorded yet for this settings file; sets inDataFolder.
int CheckRecordedProfile(Os& os, const std::wstring& settingsPath, int& inDataFolder);
// GUID-based command set (14 commands for a new plan, 12 for an existing one).
int ConfigurePlanByGuid(Os& os, const PowerSettings& settings, int mustCreate,
                        std::wstring& planGuid);
int ConfigurePlanByGuid(Os& os, const PowerSettings& settings, int mustCreate,
                        std::wstring& planGuid, PlanOrigin& origin);
// Windows XP name-based command set (11 and 9).
int ConfigurePlanByName(Os& os, const PowerSettings& settings, int mustCreate);
int ConfigurePlanByName(Os& os, const PowerSettings& settings, int mustCreate,
                        PlanOrigin& origin);
// 1 when the delete command ran. Null planGuid on the GUID path: 0.
int RemoveDedicatedPlan(Os& os, const std::wstring* planGuid);

}  // namespace tav
