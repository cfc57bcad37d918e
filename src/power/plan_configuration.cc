#include "power/plan_configuration.h"

#include <vector>

#include "app/windows_version.h"
#include "power/command_runner.h"
#include "power/plan_discovery.h"
#include "settings/current_plan_record.h"
#include "settings/data_folder.h"
#include "settings/record_file_checks.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

// "powercfg.exe <arguments...>", the arguments separated by single blanks.
std::wstring Powercfg(std::initializer_list<std::wstring> arguments) {
  std::wstring line = kPowercfgProgram;
  for (const std::wstring& argument : arguments) line += L" " + argument;
  return line;
}

// Runs the commands in order; the first one that cannot be started ends the
// sequence with 0. Exit codes of powercfg.exe are not read.
int RunAll(Os& os, const std::vector<std::wstring>& commands) {
  for (const std::wstring& command : commands) {
    if (!RunSystemProgramAndWait(os, command)) return 0;
  }
  return 1;
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

// The settings file's folder: everything before its last backslash.
std::wstring FolderOf(const std::wstring& path) {
  size_t separator = path.rfind(L'\\');
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace

int ApplyPowerSettings(Os& os, int& inDataFolder, const std::wstring* settingsPath,
                       PowerSettings settings, std::wstring& planGuid) {
  PlanOrigin origin = PlanOrigin::kFound;
  return ApplyPowerSettings(os, inDataFolder, settingsPath, std::move(settings), planGuid, origin);
}

int ApplyPowerSettings(Os& os, int& inDataFolder, const std::wstring* settingsPath,
                       PowerSettings settings, std::wstring& planGuid, PlanOrigin& origin) {
  planGuid.clear();
  if (settingsPath == nullptr) return 0;
  // Nothing is changed for records that could not be written safely.
  if (!RecordFilesUsable(os, *settingsPath)) return 0;
  int mustCreate = CheckRecordedProfile(os, *settingsPath, inDataFolder);
  if (IsWindowsXp(os)) {
    Trace(os, L"apply: Windows XP, schemes by name");
    return ConfigurePlanByName(os, settings, mustCreate, origin);
  }
  Trace(os, L"apply: plans by GUID");
  return ConfigurePlanByGuid(os, settings, mustCreate, planGuid, origin);
}

int CheckRecordedProfile(Os& os, const std::wstring& settingsPath, int& inDataFolder) {
  inDataFolder = 0;
  if (EqualsIgnoreCase(FolderOf(settingsPath), GetDataFolder(os))) inDataFolder = 1;
  CurrentRecordFile record = OpenCurrentRecordFile(os, inDataFolder);
  std::wstring profilePath;
  std::wstring profileName;
  ReadCurrentProfile(os, record, profilePath, profileName);
  const int noProfile = (profilePath.empty() || profileName.empty()) ? 1 : 0;
  Trace(os, std::wstring(inDataFolder ? L"profile: in the data folder; " : L"profile: elsewhere; ") +
                (noProfile ? L"none recorded in " : L"recorded in ") + Quoted(record.Path));
  return noProfile;
}

int ConfigurePlanByGuid(Os& os, const PowerSettings& settings, int mustCreate,
                        std::wstring& planGuid) {
  PlanOrigin origin = PlanOrigin::kFound;
  return ConfigurePlanByGuid(os, settings, mustCreate, planGuid, origin);
}

int ConfigurePlanByGuid(Os& os, const PowerSettings& settings, int mustCreate,
                        std::wstring& planGuid, PlanOrigin& origin) {
  // Discovery alone decides whether the plan is made on this path.
  if (!FindDedicatedPlanGuid(os, mustCreate, planGuid)) return 0;
  origin = mustCreate == 1 ? PlanOrigin::kMadeByThisRun : PlanOrigin::kFound;
  std::vector<std::wstring> activation;
  if (mustCreate == 1) {
    activation.push_back(
        Powercfg({L"/DUPLICATESCHEME", ChooseBasePlanGuid(os), planGuid}));
    activation.push_back(Powercfg({L"/CHANGENAME", planGuid, Quoted(kDedicatedPlanName),
                                   Quoted(kDedicatedPlanDescription)}));
  }
  // "/CHANGE" acts on the active plan, so the plan is activated first.
  activation.push_back(Powercfg({L"/SETACTIVE", planGuid}));
  if (!RunAll(os, activation)) return 0;
  // Unless the system now reports the dedicated plan as active (a policy may
  // keep the active plan, a copy may have failed), "/CHANGE" would rewrite
  // the user's own plan: nothing more is run.
  if (!ConfirmDedicatedPlanActive(os, planGuid)) return 0;

  std::vector<std::wstring> commands;
  commands.push_back(ChangeActive(L"/monitor-timeout-ac", settings.DisplayAcTime));
  commands.push_back(ChangeActive(L"/monitor-timeout-dc", settings.DisplayDcTime));
  commands.push_back(SetBrightness(L"/SETACVALUEINDEX", planGuid, settings.DisplayAcBright));
  commands.push_back(SetBrightness(L"/SETDCVALUEINDEX", planGuid, settings.DisplayDcBright));
  commands.push_back(ChangeActive(L"/disk-timeout-ac", settings.HddAcTime));
  commands.push_back(ChangeActive(L"/disk-timeout-dc", settings.HddDcTime));
  commands.push_back(ChangeActive(L"/standby-timeout-ac", settings.SleepAcTime));
  commands.push_back(ChangeActive(L"/standby-timeout-dc", settings.SleepDcTime));
  commands.push_back(ChangeActive(L"/hibernate-timeout-ac", settings.StopAcTime));
  commands.push_back(ChangeActive(L"/hibernate-timeout-dc", settings.StopDcTime));
  // Activated again so that the values written above take effect.
  commands.push_back(Powercfg({L"/SETACTIVE", planGuid}));
  return RunAll(os, commands);
}

int ConfigurePlanByName(Os& os, const PowerSettings& settings, int mustCreate) {
  PlanOrigin origin = PlanOrigin::kFound;
  return ConfigurePlanByName(os, settings, mustCreate, origin);
}

int ConfigurePlanByName(Os& os, const PowerSettings& settings, int mustCreate,
                        PlanOrigin& origin) {
  std::wstring baseSchemeName;
  if (!FindSchemeByName(os, mustCreate, baseSchemeName)) return 0;
  origin = mustCreate == 1 ? PlanOrigin::kMadeByThisRun : PlanOrigin::kFound;
  std::vector<std::wstring> commands;
  if (mustCreate == 1) {
    // The new scheme copies the active one: make the base scheme active first.
    commands.push_back(Powercfg({L"/SETACTIVE", Quoted(baseSchemeName)}));
    commands.push_back(Powercfg({L"/CREATE", Quoted(kDedicatedPlanName)}));
  }
  commands.push_back(ChangeScheme(L"/monitor-timeout-ac", settings.DisplayAcTime));
  commands.push_back(ChangeScheme(L"/monitor-timeout-dc", settings.DisplayDcTime));
  commands.push_back(ChangeScheme(L"/disk-timeout-ac", settings.HddAcTime));
  commands.push_back(ChangeScheme(L"/disk-timeout-dc", settings.HddDcTime));
  commands.push_back(ChangeScheme(L"/standby-timeout-ac", settings.SleepAcTime));
  commands.push_back(ChangeScheme(L"/standby-timeout-dc", settings.SleepDcTime));
  commands.push_back(ChangeScheme(L"/hibernate-timeout-ac", settings.StopAcTime));
  commands.push_back(ChangeScheme(L"/hibernate-timeout-dc", settings.StopDcTime));
  commands.push_back(Powercfg({L"/SETACTIVE", Quoted(kDedicatedPlanName)}));
  return RunAll(os, commands);
}

int RemoveDedicatedPlan(Os& os, const std::wstring* planGuid) {
  if (IsWindowsXp(os)) {
    int mustCreate = 1;  // looks only for the base scheme
    std::wstring baseSchemeName;
    if (!FindSchemeByName(os, mustCreate, baseSchemeName)) return 0;
    if (!RunSystemProgramAndWait(os, Powercfg({L"/SETACTIVE", Quoted(baseSchemeName)}))) return 0;
    return RunSystemProgramAndWait(os, Powercfg({L"/DELETE", Quoted(kDedicatedPlanName)}));
  }
  if (planGuid == nullptr) return 0;
  Trace(os, L"remove: plan " + *planGuid);
  // The active plan cannot be deleted; a failed activation still tries.
  RunSystemProgramAndWait(os, Powercfg({L"/SETACTIVE", ChooseBasePlanGuid(os)}));
  return RunSystemProgramAndWait(os, Powercfg({L"/DELETE", Quoted(*planGuid)}));
}

}  // namespace tav
