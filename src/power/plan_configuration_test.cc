#include "power/plan_configuration.h"

#include <gtest/gtest.h>

#include <functional>

#include "power/plan_discovery.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;
using testing::FakePlan;
using testing::GuidFromText;

const std::wstring kDataFolder = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE";
const std::wstring kUserRecord =
    L"C:\\Users\\User\\AppData\\Local\\VARENTO\\TAV_POWERSAVE\\MySetting.ini";
const std::wstring kSettingsPath = L"D:\\Profiles\\Night.ini";
const std::wstring kNewGuid = L"12345678-9ABC-DEF0-0102-030405060708";  // FakeOs's first
const std::wstring kExistingGuid = L"11111111-2222-3333-4444-555555555555";

const std::vector<std::wstring> kNewPlanCommands = {
    L"powercfg.exe /DUPLICATESCHEME a1841308-3541-4fab-bc81-f71556f20b4a "
    L"12345678-9ABC-DEF0-0102-030405060708",
    L"powercfg.exe /CHANGENAME 12345678-9ABC-DEF0-0102-030405060708 \"Vantrel電源プラン\" "
    L"\"「Vantrel 電源プラン設定ツール」が使用する電源プランです。\"",
    L"powercfg.exe /SETACTIVE 12345678-9ABC-DEF0-0102-030405060708",
    L"powercfg.exe /CHANGE /monitor-timeout-ac 10",
    L"powercfg.exe /CHANGE /monitor-timeout-dc 5",
    L"powercfg.exe /SETACVALUEINDEX 12345678-9ABC-DEF0-0102-030405060708 "
    L"7516b95f-f776-4464-8c53-06167f40cc99 aded5e82-b909-4619-9949-f5d71dac0bcb 70",
    L"powercfg.exe /SETDCVALUEINDEX 12345678-9ABC-DEF0-0102-030405060708 "
    L"7516b95f-f776-4464-8c53-06167f40cc99 aded5e82-b909-4619-9949-f5d71dac0bcb 40",
    L"powercfg.exe /CHANGE /disk-timeout-ac 20",
    L"powercfg.exe /CHANGE /disk-timeout-dc 15",
    L"powercfg.exe /CHANGE /standby-timeout-ac 30",
    L"powercfg.exe /CHANGE /standby-timeout-dc 25",
    L"powercfg.exe /CHANGE /hibernate-timeout-ac 60",
    L"powercfg.exe /CHANGE /hibernate-timeout-dc 0",
    L"powercfg.exe /SETACTIVE 12345678-9ABC-DEF0-0102-030405060708",
};

const std::vector<std::wstring> kExistingPlanCommands = {
    L"powercfg.exe /SETACTIVE 11111111-2222-3333-4444-555555555555",
    L"powercfg.exe /CHANGE /monitor-timeout-ac 10",
    L"powercfg.exe /CHANGE /monitor-timeout-dc 5",
    L"powercfg.exe /SETACVALUEINDEX 11111111-2222-3333-4444-555555555555 "
    L"7516b95f-f776-4464-8c53-06167f40cc99 aded5e82-b909-4619-9949-f5d71dac0bcb 70",
    L"powercfg.exe /SETDCVALUEINDEX 11111111-2222-3333-4444-555555555555 "
    L"7516b95f-f776-4464-8c53-06167f40cc99 aded5e82-b909-4619-9949-f5d71dac0bcb 40",
    L"powercfg.exe /CHANGE /disk-timeout-ac 20",
    L"powercfg.exe /CHANGE /disk-timeout-dc 15",
    L"powercfg.exe /CHANGE /standby-timeout-ac 30",
    L"powercfg.exe /CHANGE /standby-timeout-dc 25",
    L"powercfg.exe /CHANGE /hibernate-timeout-ac 60",
    L"powercfg.exe /CHANGE /hibernate-timeout-dc 0",
    L"powercfg.exe /SETACTIVE 11111111-2222-3333-4444-555555555555",
};

const std::vector<std::wstring> kXpNewSchemeCommands = {
    L"powercfg.exe /SETACTIVE \"バッテリの最大利用\"",
    L"powercfg.exe /CREATE \"Vantrel電源プラン\"",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /monitor-timeout-ac 10",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /monitor-timeout-dc 5",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /disk-timeout-ac 20",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /disk-timeout-dc 15",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /standby-timeout-ac 30",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /standby-timeout-dc 25",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /hibernate-timeout-ac 60",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /hibernate-timeout-dc 0",
    L"powercfg.exe /SETACTIVE \"Vantrel電源プラン\"",
};

const std::vector<std::wstring> kXpExistingSchemeCommands = {
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /monitor-timeout-ac 10",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /monitor-timeout-dc 5",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /disk-timeout-ac 20",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /disk-timeout-dc 15",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /standby-timeout-ac 30",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /standby-timeout-dc 25",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /hibernate-timeout-ac 60",
    L"powercfg.exe /CHANGE \"Vantrel電源プラン\" /hibernate-timeout-dc 0",
    L"powercfg.exe /SETACTIVE \"Vantrel電源プラン\"",
};

class PlanConfigurationTest : public ::testing::Test {
 protected:
  PlanConfigurationTest() {
    settings.Name = L"Night";
    settings.DisplayAcTime = 10;
    settings.DisplayDcTime = 5;
    settings.DisplayAcBright = 70;
    settings.DisplayDcBright = 40;
    settings.HddAcTime = 20;
    settings.HddDcTime = 15;
    settings.SleepAcTime = 30;
    settings.SleepDcTime = 25;
    settings.StopAcTime = 60;
    settings.StopDcTime = 0;
    Reset();
  }
  // A machine with Windows' own plans, the power saver among them.
  void Reset() {
    os = FakeOs();
    os.AddBuiltInPlans();
  }
  void UseWindowsXp() {
    os.versionMajor = 5;
    os.versionMinor = 1;
  }
  void AddDedicatedPlan() {
    os.plans.push_back(FakePlan{GuidFromText(kExistingGuid), kDedicatedPlanName, true});
  }
  void RecordUserProfile() {
    os.SetProfileValue(kUserRecord, L"Current", L"ProfilePath", kSettingsPath);
    os.SetProfileValue(kUserRecord, L"Current", L"ProfileName", L"Night");
  }
  // The k-th process (1-based) cannot be started.
  void FailRun(int k) {
    os.canStart = [this, k](const std::wstring&) {
      return static_cast<int>(os.commandLines.size()) != k;
    };
  }
  // Applies the settings in a data folder held as the run holds it; the
  // results land in `planGuid` and `inDataFolder`. Events from here on are
  // the step's own.
  bool Apply(const std::wstring& path = kSettingsPath) {
    const PinnedDataFolder dataFolder = PinnedDataFolder::Pin(os);
    os.events.clear();
    const std::optional<AppliedPlan> applied = ApplyPowerSettings(os, dataFolder, path, settings);
    planGuid = applied ? applied->PlanGuid : L"";
    inDataFolder = applied ? (applied->InDataFolder ? 1 : 0) : -1;
    return applied.has_value();
  }
  static std::vector<std::wstring> Prefix(const std::vector<std::wstring>& all, int k) {
    return std::vector<std::wstring>(all.begin(), all.begin() + k);
  }

  FakeOs os;
  PowerSettings settings;
  int inDataFolder = -1;
  std::wstring planGuid = L"stale";
};

TEST_F(PlanConfigurationTest, GuidPathCreatesANewPlan) {
  ASSERT_TRUE(Apply());
  EXPECT_EQ(os.commandLines, kNewPlanCommands);
  EXPECT_EQ(planGuid, kNewGuid);
  EXPECT_EQ(inDataFolder, 0);
}

TEST_F(PlanConfigurationTest, GuidPathConfiguresTheExistingPlanWhateverTheRecordedProfile) {
  AddDedicatedPlan();
  ASSERT_TRUE(Apply());  // no profile recorded, yet discovery finds the plan
  EXPECT_EQ(os.commandLines, kExistingPlanCommands);
  EXPECT_EQ(planGuid, kExistingGuid);

  os.commandLines.clear();
  os.plans.pop_back();  // the dedicated plan
  RecordUserProfile();
  ASSERT_TRUE(Apply());  // a recorded profile does not stop the plan being made
  EXPECT_EQ(os.commandLines.size(), 14u);
}

TEST_F(PlanConfigurationTest, GuidPathStopsAtTheFirstCommandThatCannotStart) {
  for (int k : {1, 2, 3, 6, 13, 14}) {
    Reset();
    FailRun(k);
    EXPECT_FALSE(Apply()) << k;
    EXPECT_EQ(os.commandLines, Prefix(kNewPlanCommands, k)) << k;
    // The commands used discovery's GUID; a failed application hands none back.
    EXPECT_NE(os.commandLines.front().find(kNewGuid), std::wstring::npos) << k;
    EXPECT_EQ(planGuid, L"") << k;
  }
  for (int k : {1, 4, 12}) {
    Reset();
    AddDedicatedPlan();
    FailRun(k);
    EXPECT_FALSE(Apply()) << k;
    EXPECT_EQ(os.commandLines, Prefix(kExistingPlanCommands, k)) << k;
  }
}

// "/CHANGE" names no plan: unless the system reports the dedicated plan as
// active after "/SETACTIVE", nothing more runs and the user's plan keeps its
// values.
TEST_F(PlanConfigurationTest, GuidPathStopsWhenThePlanIsNotActiveAfterActivation) {
  struct Case {
    const char* what;
    std::function<void(FakeOs&)> machine;
    bool activeUnchanged;  // the activation itself did not happen
  };
  const std::vector<Case> cases = {
      {"a policy keeps the active plan", [](FakeOs& os) { os.activationRefused = true; }, true},
      {"the copy was not made (no base plan at all)", [](FakeOs& os) { os.plans.clear(); }, true},
      {"PowerGetActiveScheme fails", [](FakeOs& os) { os.getActiveSchemeError = 2; }, false},
  };
  for (const Case& c : cases) {
    Reset();
    c.machine(os);
    const Guid activeBefore = os.activePlan;
    EXPECT_FALSE(Apply()) << c.what;
    ASSERT_EQ(os.commandLines.size(), 3u) << c.what;
    EXPECT_EQ(os.commandLines[2], kNewPlanCommands[2]) << c.what;  // the "/SETACTIVE"
    if (c.activeUnchanged) {
      EXPECT_TRUE(os.activePlan == activeBefore) << c.what;
    }
    EXPECT_NE(os.commandLines[2].find(kNewGuid), std::wstring::npos) << c.what;
    EXPECT_EQ(planGuid, L"") << c.what;  // a failed application hands no GUID back
  }
  // An existing plan whose activation is refused: one command only.
  Reset();
  AddDedicatedPlan();
  os.activationRefused = true;
  EXPECT_FALSE(Apply());
  EXPECT_EQ(os.commandLines, Prefix(kExistingPlanCommands, 1));
}

TEST_F(PlanConfigurationTest, GuidPathWithoutThePowerSaverCopiesBalanced) {
  os.plans.pop_back();  // Modern Standby machines ship without the power saver
  ASSERT_TRUE(Apply());
  std::vector<std::wstring> expected = kNewPlanCommands;
  expected[0] = L"powercfg.exe /DUPLICATESCHEME 381b4222-f694-41f0-9685-ff5bb260df2e " + kNewGuid;
  EXPECT_EQ(os.commandLines, expected);
  EXPECT_TRUE(os.activePlan == GuidFromText(kNewGuid));
}

TEST_F(PlanConfigurationTest, WithoutPowerGetActiveSchemeThePlanMustExist) {
  os.getActiveSchemeAvailable = false;
  ASSERT_TRUE(Apply());
  EXPECT_EQ(os.commandLines, kNewPlanCommands);

  Reset();
  os.getActiveSchemeAvailable = false;
  os.plans.clear();  // the copy cannot be made
  EXPECT_FALSE(Apply());
  EXPECT_EQ(os.commandLines.size(), 3u);
}

TEST_F(PlanConfigurationTest, PowercfgIsStartedFromTheSystemFolderWithItsCommandLineUnchanged) {
  ASSERT_TRUE(Apply());
  ASSERT_EQ(os.applicationNames.size(), kNewPlanCommands.size());
  for (const std::wstring& application : os.applicationNames)
    EXPECT_EQ(application, L"C:\\Windows\\system32\\powercfg.exe");
  EXPECT_EQ(os.commandLines, kNewPlanCommands);
}

TEST_F(PlanConfigurationTest, DiscoveryFailureRunsNothing) {
  os.powerLibraryAvailable = false;
  EXPECT_FALSE(Apply());
  EXPECT_TRUE(os.commandLines.empty());
}

TEST_F(PlanConfigurationTest, WindowsXpCreatesTheSchemeWhenNoProfileIsRecorded) {
  UseWindowsXp();
  os.xpSchemes = {L"Home", kDedicatedPlanName, kXpBaseSchemeName};
  ASSERT_TRUE(Apply());  // created even though the scheme exists
  EXPECT_EQ(os.commandLines, kXpNewSchemeCommands);
  EXPECT_EQ(planGuid, L"");
}

TEST_F(PlanConfigurationTest, WindowsXpConfiguresTheExistingScheme) {
  UseWindowsXp();
  RecordUserProfile();
  os.xpSchemes = {L"Home", kDedicatedPlanName};
  ASSERT_TRUE(Apply());
  EXPECT_EQ(os.commandLines, kXpExistingSchemeCommands);
  EXPECT_EQ(planGuid, L"");
}

TEST_F(PlanConfigurationTest, WindowsXpCreatesAMissingSchemeFromTheBase) {
  UseWindowsXp();
  RecordUserProfile();
  os.xpSchemes = {L"Home", kXpBaseSchemeName, L"Office"};
  ASSERT_TRUE(Apply());
  EXPECT_EQ(os.commandLines, kXpNewSchemeCommands);
}

TEST_F(PlanConfigurationTest, WindowsXpStopsAtTheFirstCommandThatCannotStart) {
  for (int k : {1, 2, 5, 11}) {
    Reset();
    UseWindowsXp();
    os.xpSchemes = {kXpBaseSchemeName};
    FailRun(k);
    EXPECT_FALSE(Apply()) << k;
    EXPECT_EQ(os.commandLines, Prefix(kXpNewSchemeCommands, k)) << k;
    EXPECT_EQ(planGuid, L"");
  }
  Reset();
  UseWindowsXp();
  os.enumPwrSchemesFails = true;
  EXPECT_FALSE(Apply());
  EXPECT_TRUE(os.commandLines.empty());
}

TEST_F(PlanConfigurationTest, EmptySettingsPathFailsAndRunsNothing) {
  EXPECT_FALSE(Apply(L""));
  EXPECT_EQ(planGuid, L"");
  EXPECT_TRUE(os.commandLines.empty());
  EXPECT_TRUE(os.events.empty());
}

struct RecordCase {
  std::wstring settingsPath;
  std::wstring recordFile;  // where the profile is recorded; empty: nowhere
  bool withName;
  bool inDataFolder;
  bool mustCreate;
};

TEST_F(PlanConfigurationTest, CheckRecordedProfile) {
  const std::wstring machineRecord = kDataFolder + L"\\Setting.ini";
  const std::vector<RecordCase> cases = {
      {kDataFolder + L"\\Setting.ini", machineRecord, true, true, false},
      {L"c:\\PROGRAMDATA\\varento\\Tav_PowerSave\\Other.ini", machineRecord, true, true, false},
      {kDataFolder + L"\\Setting.ini", machineRecord, false, true, true},
      // the user's record is not read
      {kDataFolder + L"\\Setting.ini", kUserRecord, true, true, true},
      {kSettingsPath, kUserRecord, true, false, false},
      {kSettingsPath, kUserRecord, false, false, true},
      {kSettingsPath, machineRecord, true, false, true},
      {kSettingsPath, L"", false, false, true},
      {kDataFolder + L"\\Sub\\Setting.ini", machineRecord, true, false, true},
      {L"Setting.ini", kUserRecord, true, false, false},  // no folder at all
  };
  for (const RecordCase& c : cases) {
    Reset();
    if (!c.recordFile.empty()) {
      os.SetProfileValue(c.recordFile, L"Current", L"ProfilePath", c.settingsPath);
      if (c.withName) os.SetProfileValue(c.recordFile, L"Current", L"ProfileName", L"Night");
    }
    const ProfileCheck check = CheckRecordedProfile(os, PinnedDataFolder::Pin(os), c.settingsPath);
    EXPECT_EQ(check.NoProfileRecorded, c.mustCreate) << c.settingsPath;
    EXPECT_EQ(check.InDataFolder, c.inDataFolder) << c.settingsPath;
  }
}

TEST_F(PlanConfigurationTest, RemovalOnTheGuidPathQuotesTheGuid) {
  const std::wstring guid = kExistingGuid;
  EXPECT_TRUE(RemoveDedicatedPlan(os, guid));
  EXPECT_EQ(os.commandLines,
            (std::vector<std::wstring>{
                L"powercfg.exe /SETACTIVE a1841308-3541-4fab-bc81-f71556f20b4a",
                L"powercfg.exe /DELETE \"11111111-2222-3333-4444-555555555555\""}));
}

TEST_F(PlanConfigurationTest, RemovalWithoutThePowerSaverActivatesBalanced) {
  os.plans.pop_back();
  const std::wstring guid = kExistingGuid;
  EXPECT_TRUE(RemoveDedicatedPlan(os, guid));
  EXPECT_EQ(os.commandLines,
            (std::vector<std::wstring>{
                L"powercfg.exe /SETACTIVE 381b4222-f694-41f0-9685-ff5bb260df2e",
                L"powercfg.exe /DELETE \"11111111-2222-3333-4444-555555555555\""}));
}

TEST_F(PlanConfigurationTest, RemovalOnTheGuidPathDeletesEvenWhenActivationFails) {
  const std::wstring guid = kExistingGuid;
  FailRun(1);
  EXPECT_TRUE(RemoveDedicatedPlan(os, guid));
  EXPECT_EQ(os.commandLines.size(), 2u);

  Reset();
  FailRun(2);
  EXPECT_FALSE(RemoveDedicatedPlan(os, guid));

  Reset();
  EXPECT_FALSE(RemoveDedicatedPlan(os, L""));
  EXPECT_TRUE(os.commandLines.empty());
}

TEST_F(PlanConfigurationTest, RemovalOnWindowsXpActivatesTheBaseScheme) {
  UseWindowsXp();
  os.xpSchemes = {kDedicatedPlanName, kXpBaseSchemeName, L"Office"};
  EXPECT_TRUE(RemoveDedicatedPlan(os, L""));
  EXPECT_EQ(os.commandLines, (std::vector<std::wstring>{
                                 L"powercfg.exe /SETACTIVE \"バッテリの最大利用\"",
                                 L"powercfg.exe /DELETE \"Vantrel電源プラン\""}));
}

TEST_F(PlanConfigurationTest, RemovalOnWindowsXpStopsWhenActivationFails) {
  UseWindowsXp();
  os.xpSchemes = {kXpBaseSchemeName};
  FailRun(1);
  EXPECT_FALSE(RemoveDedicatedPlan(os, L""));
  EXPECT_EQ(os.commandLines.size(), 1u);

  Reset();
  UseWindowsXp();
  os.xpSchemes = {kXpBaseSchemeName};
  FailRun(2);
  EXPECT_FALSE(RemoveDedicatedPlan(os, L""));
  EXPECT_EQ(os.commandLines.size(), 2u);

  Reset();
  UseWindowsXp();
  os.enumPwrSchemesFails = true;
  EXPECT_FALSE(RemoveDedicatedPlan(os, L""));
  EXPECT_TRUE(os.commandLines.empty());
}

}  // namespace
}  // namespace tav
