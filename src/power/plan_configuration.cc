#include "power/plan_configuration.h"

#include <iterator>
#include <vector>

#include "power/plan_discovery.h"
#include "settings/current_plan_record.h"
#include "settings/data_folder.h"
#include "settings/record_file_checks.h"
#include "settings/setting_table.h"
#include "shared/command_runner.h"
#include "shared/text.h"
#include "shared/trace.h"
#include "shared/windows_version.h"

namespace tav {
namespace {

// "powercfg.exe <arguments...>", the arguments separated by single blanks.
std::wstring Powercfg(std::initializer_list<std::wstring> arguments) {
  std::wstring line = kPowercfgProgram;
  for (const std::wstring& argument : arguments) line += L" " + argument;
  return line;
}

// Runs the commands in order; the first one that cannot be started ends the
// sequence with false. Exit codes of powercfg.exe are not read.
bool RunAll(Os& os, const std::vector<std::wstring>& commands) {
  for (const std::wstring& command : commands) {
    if (!RunSystemProgramAndWait(os, command)) return false;
  }
  return true;
}

// "/CHANGE" on the active plan (GUID command set).
std::wstring ChangeActive(const wchar_t* option, int32_t value) {
  return Powercfg({L"/CHANGE", option, DecimalText(value)});
}

// "/CHANGE" on the dedicated scheme by name (Windows XP command set).
std::wstring ChangeScheme(const wchar_t* option, int32_t value) {
  return Powercfg({L"/CHANGE", Quoted(kDedicatedPlanName), option, DecimalText(value)});
}

std::wstring SetBrightness(const wchar_t* command, const std::wstring& planGuid, int32_t value) {
  return Powercfg(
      {command, planGuid, kDisplaySubgroupGuid, kBrightnessSettingGuid, DecimalText(value)});
}

}  // namespace

std::optional<AppliedPlan> ApplyPowerSettings(Os& os, const PinnedDataFolder& dataFolder,
                                              const SettingsLocation& settingsFile,
                                              const PowerSettings& settings) {
  if (settingsFile.Named.empty()) return std::nullopt;
  // Nothing is changed for records that could not be written safely.
  if (!RecordFilesUsable(os, dataFolder, settingsFile)) return std::nullopt;
  const ProfileCheck check = CheckRecordedProfile(os, dataFolder, settingsFile);
  if (IsWindowsXp(os)) {
    Trace(os, L"apply: Windows XP, schemes by name");
    const std::optional<PlanOrigin> origin =
        ConfigurePlanByName(os, settings, check.NoProfileRecorded);
    if (!origin) return std::nullopt;
    return AppliedPlan{L"", check.InDataFolder, *origin};
  }
  Trace(os, L"apply: plans by GUID");
  std::optional<AppliedPlan> applied = ConfigurePlanByGuid(os, dataFolder, settings);
  if (applied) applied->InDataFolder = check.InDataFolder;
  return applied;
}

ProfileCheck CheckRecordedProfile(Os& os, const PinnedDataFolder& dataFolder,
                                  const SettingsLocation& settingsFile) {
  ProfileCheck check;
  check.InDataFolder = LiesInDataFolder(os, settingsFile, dataFolder);
  const CurrentRecordFile record = OpenCurrentRecordFile(
      os, dataFolder, check.InDataFolder ? RecordFile::kMachine : RecordFile::kUser);
  const RecordedProfile profile = ReadCurrentProfile(os, record);
  check.NoProfileRecorded = profile.Path.empty() || profile.Name.empty();
  Trace(os, std::wstring(check.InDataFolder ? L"profile: in the data folder; "
                                            : L"profile: elsewhere; ") +
                (check.NoProfileRecorded ? L"none recorded in " : L"recorded in ") +
                Quoted(record.Path));
  return check;
}

std::optional<AppliedPlan> ConfigurePlanByGuid(Os& os, const PinnedDataFolder& dataFolder,
                                               const PowerSettings& settings) {
  // Discovery alone decides whether the plan is made on this path.
  std::optional<DedicatedPlan> plan = FindDedicatedPlan(os, dataFolder);
  if (!plan) return std::nullopt;
  const std::wstring& planGuid = plan->Guid;
  std::vector<std::wstring> activation;
  activation.reserve(3);
  if (plan->MustCreate) {
    activation.push_back(
        Powercfg({L"/DUPLICATESCHEME", ChooseBasePlanGuid(os), planGuid}));
    activation.push_back(Powercfg({L"/CHANGENAME", planGuid, Quoted(kDedicatedPlanName),
                                   Quoted(kDedicatedPlanDescription)}));
  }
  // "/CHANGE" acts on the active plan, so the plan is activated first.
  activation.push_back(Powercfg({L"/SETACTIVE", planGuid}));
  if (!RunAll(os, activation)) return std::nullopt;
  // Unless the system now reports the dedicated plan as active (a policy may
  // keep the active plan, a copy may have failed), "/CHANGE" would rewrite
  // the user's own plan: nothing more is run.
  if (!ConfirmDedicatedPlanActive(os, planGuid)) return std::nullopt;

  // One command per table row at most, and the final activation.
  std::vector<std::wstring> commands;
  commands.reserve(std::size(kNumericSettings) + 1);
  for (const NumericSetting& setting : kNumericSettings) {
    const int32_t value = settings.*setting.Field;
    switch (setting.Powercfg) {
      case PowercfgSetting::kChange:
        commands.push_back(ChangeActive(setting.ChangeOption, value));
        break;
      case PowercfgSetting::kAcBrightnessIndex:
        commands.push_back(SetBrightness(L"/SETACVALUEINDEX", planGuid, value));
        break;
      case PowercfgSetting::kDcBrightnessIndex:
        commands.push_back(SetBrightness(L"/SETDCVALUEINDEX", planGuid, value));
        break;
      case PowercfgSetting::kNone:
        break;
    }
  }
  // Activated again so that the values written above take effect.
  commands.push_back(Powercfg({L"/SETACTIVE", planGuid}));
  if (!RunAll(os, commands)) return std::nullopt;
  return AppliedPlan{std::move(plan->Guid), false,
                     plan->MustCreate ? PlanOrigin::kMadeByThisRun : PlanOrigin::kFound};
}

std::optional<PlanOrigin> ConfigurePlanByName(Os& os, const PowerSettings& settings,
                                              bool mustCreate) {
  const std::optional<SchemeChoice> scheme = FindSchemeByName(
      os, mustCreate ? SchemeSearchMode::kBaseOnly : SchemeSearchMode::kDedicatedThenBase);
  if (!scheme) return std::nullopt;
  const std::wstring& baseSchemeName = scheme->BaseSchemeName;
  std::vector<std::wstring> commands;
  commands.reserve(std::size(kNumericSettings) + 3);
  if (scheme->MustCreate) {
    // The new scheme copies the active one: make the base scheme active first.
    commands.push_back(Powercfg({L"/SETACTIVE", Quoted(baseSchemeName)}));
    commands.push_back(Powercfg({L"/CREATE", Quoted(kDedicatedPlanName)}));
  }
  // The Windows XP command set has no brightness: only the "/CHANGE" rows.
  for (const NumericSetting& setting : kNumericSettings) {
    if (setting.Powercfg == PowercfgSetting::kChange)
      commands.push_back(ChangeScheme(setting.ChangeOption, settings.*setting.Field));
  }
  commands.push_back(Powercfg({L"/SETACTIVE", Quoted(kDedicatedPlanName)}));
  if (!RunAll(os, commands)) return std::nullopt;
  return scheme->MustCreate ? PlanOrigin::kMadeByThisRun : PlanOrigin::kFound;
}

bool RemoveDedicatedPlan(Os& os, const std::wstring& planGuid) {
  if (IsWindowsXp(os)) {
    const std::optional<SchemeChoice> scheme = FindSchemeByName(os, SchemeSearchMode::kBaseOnly);
    if (!scheme) return false;
    if (!RunSystemProgramAndWait(os, Powercfg({L"/SETACTIVE", Quoted(scheme->BaseSchemeName)})))
      return false;
    return RunSystemProgramAndWait(os, Powercfg({L"/DELETE", Quoted(kDedicatedPlanName)}));
  }
  if (planGuid.empty()) return false;
  Trace(os, L"remove: plan " + planGuid);
  // The active plan cannot be deleted; a failed activation still tries.
  RunSystemProgramAndWait(os, Powercfg({L"/SETACTIVE", ChooseBasePlanGuid(os)}));
  return RunSystemProgramAndWait(os, Powercfg({L"/DELETE", Quoted(planGuid)}));
}

}  // namespace tav
