// End-to-end runs of the native tool on machines that differ from the tidy
// one: no power-saver plan, a policy that keeps the active plan, programs
// planted in the caller's folder, task lists that name links. Each run uses
// the real stand-ins in a private sandbox.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "e2e_sandbox.h"
#include "standins/plan_store/plan_store.h"

namespace tav::e2e {
namespace {

constexpr int kFailed = kFailedStatus;
const std::string kBalanced = "381b4222-f694-41f0-9685-ff5bb260df2e";
const std::string kPowerSaver = "a1841308-3541-4fab-bc81-f71556f20b4a";

const char kProfile[] =
    "[GENERAL]\nVersion=2.00.000\nName=省電力プロファイル\n"
    "[DISPLAY]\nDisplayAcTime=7\nDisplayDcTime=3\nDisplayAcBright=55\nDisplayDcBright=25\n"
    "[HDD]\nHddAcTime=21\nHddDcTime=11\n"
    "[SYSTEM]\nSleepAcTime=31\nSleepDcTime=16\nStopAcTime=121\nStopDcTime=61\n";

class RealMachine : public ::testing::Test {
 protected:
  std::string StorePath() const { return box.state + "/plan-store.txt"; }
  standin::PlanStore Store() const {
    standin::PlanStore store;
    EXPECT_TRUE(standin::LoadPlanStore(StorePath(), store));
    return store;
  }
  void SaveStore(const standin::PlanStore& store) const {
    ASSERT_TRUE(standin::SavePlanStore(StorePath(), store));
  }
  // A machine without the power saver (Modern Standby laptops, OEM images):
  // Balanced alone, and active.
  void OnlyBalanced() const {
    standin::PlanStore store = standin::DefaultPlanStore();
    std::vector<standin::Plan> kept;
    for (const standin::Plan& plan : store.Plans)
      if (plan.Guid == kBalanced) kept.push_back(plan);
    ASSERT_EQ(kept.size(), 1u);
    store.Plans = kept;
    store.ActivePlan = kBalanced;
    SaveStore(store);
  }
  void PolicyKeepsTheActivePlan() const {
    Sandbox::Write(box.state + "/policy-keeps-active-plan", "");
  }
  std::string MachineProfile() const {
    const std::string path = box.DataFolder() + "/Setting.ini";
    Sandbox::Write(path, kProfile);
    return path;
  }
  static const standin::Plan* Plan(const standin::PlanStore& store, const std::string& guid) {
    return standin::FindPlan(store, guid);
  }
  void CheckRefusedActivation(bool planExists);

  Sandbox box;
};

TEST_F(RealMachine, WithoutThePowerSaverTheDedicatedPlanIsACopyOfBalanced) {
  OnlyBalanced();
  const standin::Plan balancedBefore = *Plan(Store(), kBalanced);
  const std::string settings = MachineProfile();
  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);

  const std::string guid = CurrentValue(settings, "GUID");
  ASSERT_EQ(guid.size(), 36u);
  const auto log = box.Log("powercfg.log");
  ASSERT_EQ(log.size(), 14u);
  EXPECT_EQ(log[0], "powercfg.exe /DUPLICATESCHEME " + kBalanced + " " + guid);

  const standin::PlanStore store = Store();
  const standin::Plan* plan = Plan(store, guid);
  ASSERT_NE(plan, nullptr);
  EXPECT_EQ(plan->Name, "Vantrel電源プラン");
  EXPECT_EQ(store.ActivePlan, standin::NormalizeGuidText(guid));
  EXPECT_EQ(plan->Values.Ac.at("monitor-timeout"), 7);
  EXPECT_EQ(plan->Values.Dc.at("hibernate-timeout"), 61);
  EXPECT_EQ(plan->Values.Ac.at("brightness"), 55);
  // Balanced keeps every value it had.
  const standin::Plan* balanced = Plan(store, kBalanced);
  ASSERT_NE(balanced, nullptr);
  EXPECT_EQ(balanced->Values.Ac, balancedBefore.Values.Ac);
  EXPECT_EQ(balanced->Values.Dc, balancedBefore.Values.Dc);

  // The next run finds the plan by its recorded GUID: 12 commands.
  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);
  EXPECT_EQ(box.Log("powercfg.log").size(), 26u);
  EXPECT_EQ(CurrentValue(settings, "GUID"), guid);
  EXPECT_EQ(Store().Plans.size(), 2u);
}

// Under a policy that keeps the active plan every "/SETACTIVE" is refused:
// the run fails before any "/CHANGE" reaches the user's plan, and nothing is
// recorded.
void RealMachine::CheckRefusedActivation(bool planExists) {
  const std::string settings = MachineProfile();
  if (planExists) {
    ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);
  }
  const std::string profileBefore = Sandbox::Read(settings);
  // Whatever plan is active now is the user's own under the policy.
  standin::PlanStore store = Store();
  store.ActivePlan = kBalanced;
  SaveStore(store);
  const standin::Plan balancedBefore = *Plan(store, kBalanced);
  const size_t before = box.Log("powercfg.log").size();
  PolicyKeepsTheActivePlan();

  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  const auto log = box.Log("powercfg.log");
  // Up to the refused "/SETACTIVE", and not one "/CHANGE".
  EXPECT_EQ(log.size() - before, planExists ? 1u : 3u);
  EXPECT_EQ(log.back().rfind("powercfg.exe /SETACTIVE ", 0), 0u);
  const standin::PlanStore after = Store();
  EXPECT_EQ(after.ActivePlan, kBalanced);
  EXPECT_EQ(Plan(after, kBalanced)->Values.Ac, balancedBefore.Values.Ac);
  EXPECT_EQ(Plan(after, kBalanced)->Values.Dc, balancedBefore.Values.Dc);
  EXPECT_EQ(Sandbox::Read(settings), profileBefore) << "nothing recorded";
}

TEST_F(RealMachine, RefusedActivationOfANewPlanFailsTheRun) { CheckRefusedActivation(false); }

TEST_F(RealMachine, RefusedActivationOfTheExistingPlanFailsTheRun) {
  CheckRefusedActivation(true);
}

TEST_F(RealMachine, RollBackWithoutThePowerSaverActivatesBalancedAndDeletesThePlan) {
  OnlyBalanced();
  const standin::Plan balancedBefore = *Plan(Store(), kBalanced);
  const std::string settings = MachineProfile();
  // A folder without write permission: the record cannot be replaced.
  ASSERT_EQ(chmod(box.DataFolder().c_str(), 0555), 0);
  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  chmod(box.DataFolder().c_str(), 0755);

  const auto log = box.Log("powercfg.log");
  ASSERT_EQ(log.size(), 16u);
  const std::string guid = log[0].substr(log[0].rfind(' ') + 1);
  EXPECT_EQ(log[14], "powercfg.exe /SETACTIVE " + kBalanced);
  EXPECT_EQ(log[15], "powercfg.exe /DELETE " + guid);  // quotes dropped by the stand-in's log
  const standin::PlanStore store = Store();
  ASSERT_EQ(store.Plans.size(), 1u);
  EXPECT_EQ(store.ActivePlan, kBalanced);
  EXPECT_EQ(store.Plans[0].Values.Ac, balancedBefore.Values.Ac);
  EXPECT_EQ(store.Plans[0].Values.Dc, balancedBefore.Values.Dc);
  EXPECT_EQ(Sandbox::Read(settings), kProfile);
}

// Where the tool's folder has no stand-in, the system folder's program runs;
// one planted in the caller's current folder, or in a folder of PATH, never.
TEST_F(RealMachine, ProgramsPlantedInTheCurrentFolderAreNeverStarted) {
  const std::string system = box.root + "/system32";
  fs::create_directories(system);
  for (const char* name : {"powercfg.exe", "schtasks.exe"}) {
    fs::rename(box.bin + "/" + name, system + "/" + name);
    const std::string planted = box.work + "/" + name;
    Sandbox::Write(planted, "#!/bin/sh\necho planted >> \"" + box.root + "/planted.log\"\n");
    chmod(planted.c_str(), 0755);
  }
  box.extraEnv = {{"TAV_POSIX_SYSTEM_DIR", system}, {"PATH", box.work + ":/usr/bin:/bin"}};
  const std::string xml = box.root + "/Temp/a.xml";
  Sandbox::Write(xml, "<Task>A</Task>");
  const std::string list = box.root + "/Temp/tasks.txt";
  Sandbox::Write(list, "/TN:\"Sleep\" /XML:\"" + Sandbox::WinPath(xml) + "\"\n");
  const std::string settings = MachineProfile();

  ASSERT_EQ(box.Run(box.Arg("F", list) + " " + box.Arg("N", settings)), 0);
  EXPECT_FALSE(Sandbox::Exists(box.root + "/planted.log"));
  EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
  EXPECT_EQ(box.Log("schtasks.log").size(), 1u);
  EXPECT_FALSE(Sandbox::Exists(xml));

  // Without a program in either trusted folder nothing is started at all.
  fs::remove(system + "/powercfg.exe");
  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  EXPECT_FALSE(Sandbox::Exists(box.root + "/planted.log"));
}

// The elevated tool neither registers, nor unprotects, nor deletes what a
// link in the task list points to; the rest of the list is handled.
TEST_F(RealMachine, TaskListEntriesThatAreLinksOrFoldersAreLeftAlone) {
  const std::string target = box.root + "/Protected/system.xml";
  Sandbox::Write(target, "<Task>secret</Task>");
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  const std::string link = box.root + "/Temp/link.xml";
  fs::create_directories(box.root + "/Temp");
  fs::create_symlink(target, link);
  const std::string folder = box.root + "/Temp/folder.xml";
  fs::create_directories(folder);
  const std::string good = box.root + "/Temp/good.xml";
  Sandbox::Write(good, "<Task>B</Task>");
  const std::string list = box.root + "/Temp/tasks.txt";
  Sandbox::Write(list, "/TN:\"Link\" /XML:\"" + Sandbox::WinPath(link) + "\"\n" +
                           "/TN:\"Folder\" /XML:\"" + Sandbox::WinPath(folder) + "\"\n" +
                           "/TN:\"Good\" /XML:\"" + Sandbox::WinPath(good) + "\"\n");

  ASSERT_EQ(box.Run(box.Arg("F", list)), 0);
  const auto log = box.Log("schtasks.log");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Good"), std::string::npos);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Sandbox::Read(target), "<Task>secret</Task>");
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0444u);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(Sandbox::Exists(good));
  EXPECT_FALSE(Sandbox::Exists(list));
}

// Records the tool creates are UTF-16 LE with a byte-order mark; one that
// exists keeps its encoding.
TEST_F(RealMachine, CreatedRecordsAreUtf16AndExistingOnesKeepTheirEncoding) {
  const std::string settings = box.root + "/Documents/Night.ini";
  Sandbox::Write(settings, kProfile);
  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);
  for (const std::string& record :
       {box.root + "/Documents/MySetting.ini", box.DataFolder() + "/Setting.ini"}) {
    const std::string bytes = Sandbox::Read(record);
    EXPECT_TRUE(Sandbox::IsUtf16Le(bytes)) << record;
    EXPECT_EQ(CurrentValue(record, "ProfileName"), "省電力プロファイル") << record;
  }
  // The profile itself was UTF-8 and stays so.
  EXPECT_EQ(Sandbox::Read(settings), kProfile);

  const std::string machine = MachineProfile();
  ASSERT_EQ(box.Run(box.Arg("N", machine)), 0);
  EXPECT_FALSE(Sandbox::IsUtf16Le(Sandbox::Read(machine)));
  EXPECT_EQ(CurrentValue(machine, "ProfileName"), "省電力プロファイル");
}

}  // namespace
}  // namespace tav::e2e
