// Runs the built powercfg.exe stand-in with the command lines that the tool
// sends and checks the plan store and the log it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "os/command_line_args.h"
#include "standins/plan_store/plan_store.h"
#include "standins/standin_common.h"

extern char** environ;

namespace tav::standin {
namespace {

constexpr char kBinary[] = TAV_BINARY_DIR "/standins/powercfg.exe";
constexpr char kPowerSaver[] = "a1841308-3541-4fab-bc81-f71556f20b4a";
constexpr char kNewPlan[] = "5c2e1d7a-0b3f-4e21-9a6d-7f0c3b8e4d12";
constexpr char kDisplay[] = "7516b95f-f776-4464-8c53-06167f40cc99";
constexpr char kBrightness[] = "aded5e82-b909-4619-9949-f5d71dac0bcb";
const std::wstring kName = L"Vantrel電源プラン";
const std::wstring kDescription = L"「Vantrel 電源プラン設定ツール」が使用する電源プランです。";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class PowercfgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kBinary)) << "build the standin_powercfg target first";
    char pattern[] = "/tmp/powercfg_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs one command line as the tool writes it; returns the exit code.
  int Run(const std::wstring& commandLine, const std::string& extraEnv = "") {
    std::vector<std::string> args;
    for (const std::wstring& arg : SplitCommandLine(commandLine)) args.push_back(ToUtf8(arg));
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"TAV_STANDIN_DIR=" + dir_};
    if (!extraEnv.empty()) env.push_back(extraEnv);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("TAV_", 0) != 0) envp.push_back(*e);
    envp.push_back(nullptr);
    const std::string out = dir_ + "/stdout.txt";
    pid_t pid = fork();
    if (pid == 0) {
      int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      dup2(fd, 2);
      execve(kBinary, argv.data(), envp.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    output_ = ReadAll(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  PlanStore Store() {
    PlanStore store;
    EXPECT_TRUE(LoadPlanStore(PlanStorePathIn(dir_), store));
    return store;
  }

  std::string dir_;
  std::string output_;
};

std::wstring W(const std::string& text) { return FromUtf8(text); }

// The commands that configure a plan by GUID; with `create` the two that make it.
std::vector<std::wstring> GuidCommands(bool create, int base) {
  const std::wstring guid = W(kNewPlan), p = L"powercfg.exe ";
  auto n = [&](int offset) { return std::to_wstring(base + offset); };
  std::vector<std::wstring> commands;
  if (create) {
    commands.push_back(p + L"/DUPLICATESCHEME " + W(kPowerSaver) + L" " + guid);
    commands.push_back(p + L"/CHANGENAME " + guid + L" \"" + kName + L"\" \"" + kDescription + L"\"");
  }
  const std::wstring brightness = L" " + W(kDisplay) + L" " + W(kBrightness) + L" ";
  for (const std::wstring& rest :
       {L"/SETACTIVE " + guid, L"/CHANGE /monitor-timeout-ac " + n(1),
        L"/CHANGE /monitor-timeout-dc " + n(2), L"/SETACVALUEINDEX " + guid + brightness + n(3),
        L"/SETDCVALUEINDEX " + guid + brightness + n(4), L"/CHANGE /disk-timeout-ac " + n(5),
        L"/CHANGE /disk-timeout-dc " + n(6), L"/CHANGE /standby-timeout-ac " + n(7),
        L"/CHANGE /standby-timeout-dc " + n(8), L"/CHANGE /hibernate-timeout-ac " + n(9),
        L"/CHANGE /hibernate-timeout-dc " + n(10), L"/SETACTIVE " + guid})
    commands.push_back(p + rest);
  return commands;
}

// The Windows XP commands; with `create` the two that make the scheme.
std::vector<std::wstring> XpCommands(bool create, int base) {
  const std::wstring p = L"powercfg.exe ", change = p + L"/CHANGE \"" + kName + L"\" /";
  std::vector<std::wstring> commands;
  if (create) {
    commands.push_back(p + L"/SETACTIVE \"バッテリの最大利用\"");
    commands.push_back(p + L"/CREATE \"" + kName + L"\"");
  }
  int i = 0;
  for (const wchar_t* setting : {L"monitor", L"disk", L"standby", L"hibernate"})
    for (const wchar_t* source : {L"ac", L"dc"})
      commands.push_back(change + setting + L"-timeout-" + source + L" " +
                         std::to_wstring(base + ++i));
  commands.push_back(p + L"/SETACTIVE \"" + kName + L"\"");
  return commands;
}

// Time-outs as XpCommands sends them: base + 1 to base + 8, AC before DC.
void ExpectTimeouts(const PowerValues& values, int base) {
  int i = 0;
  const char* const keys[] = {"monitor-timeout", "disk-timeout", "standby-timeout",
                              "hibernate-timeout"};
  for (const char* key : keys) {
    EXPECT_EQ(values.Ac.at(key), base + ++i) << key;
    EXPECT_EQ(values.Dc.at(key), base + ++i) << key;
  }
}

TEST_F(PowercfgTest, GuidCommandsCreateThenReconfigureThenRemoveThePlan) {
  for (const std::wstring& command : GuidCommands(true, 0)) ASSERT_EQ(Run(command), 0) << output_;
  PlanStore store = Store();
  ASSERT_EQ(store.Plans.size(), 4u);
  const Plan& plan = store.Plans[3];
  EXPECT_EQ(plan.Guid, kNewPlan);
  EXPECT_EQ(plan.Name, ToUtf8(kName));
  EXPECT_EQ(plan.Description, ToUtf8(kDescription));
  EXPECT_EQ(store.ActivePlan, kNewPlan);
  // Monitor values 1 and 2, brightness 3 and 4, then 5 to 10 for the others.
  EXPECT_EQ(plan.Values.Ac.at("monitor-timeout"), 1);
  EXPECT_EQ(plan.Values.Dc.at("monitor-timeout"), 2);
  EXPECT_EQ(plan.Values.Ac.at("brightness"), 3);
  EXPECT_EQ(plan.Values.Dc.at("brightness"), 4);
  EXPECT_EQ(plan.Values.Ac.at("disk-timeout"), 5);
  EXPECT_EQ(plan.Values.Dc.at("hibernate-timeout"), 10);
  // The copied plan keeps its own values.
  EXPECT_TRUE(FindPlan(store, kPowerSaver)->Values.Ac == DefaultPlanStore().Plans[2].Values.Ac);

  for (const std::wstring& command : GuidCommands(false, 100)) ASSERT_EQ(Run(command), 0);
  store = Store();
  ASSERT_EQ(store.Plans.size(), 4u);
  EXPECT_EQ(store.Plans[3].Values.Ac.at("monitor-timeout"), 101);
  EXPECT_EQ(store.Plans[3].Values.Dc.at("brightness"), 104);
  EXPECT_EQ(store.Plans[3].Values.Dc.at("hibernate-timeout"), 110);

  EXPECT_EQ(Run(L"powercfg.exe /SETACTIVE " + W(kPowerSaver)), 0);
  EXPECT_EQ(Run(L"powercfg.exe /DELETE \"" + W(kNewPlan) + L"\""), 0);
  store = Store();
  EXPECT_EQ(store.Plans.size(), 3u);
  EXPECT_EQ(store.ActivePlan, kPowerSaver);
}

TEST_F(PowercfgTest, XpCommandsCreateThenReconfigureThenRemoveTheScheme) {
  for (const std::wstring& command : XpCommands(true, 0)) ASSERT_EQ(Run(command), 0) << output_;
  PlanStore store = Store();
  ASSERT_EQ(store.Schemes.size(), 7u);
  EXPECT_EQ(store.Schemes[6].Name, ToUtf8(kName));
  EXPECT_EQ(store.ActiveScheme, ToUtf8(kName));
  ExpectTimeouts(store.Schemes[6].Values, 0);
  // The plans of later versions are not touched.
  EXPECT_EQ(store.ActivePlan, DefaultPlanStore().ActivePlan);

  for (const std::wstring& command : XpCommands(false, 50)) ASSERT_EQ(Run(command), 0);
  store = Store();
  ASSERT_EQ(store.Schemes.size(), 7u);
  ExpectTimeouts(store.Schemes[6].Values, 50);

  EXPECT_EQ(Run(L"powercfg.exe /SETACTIVE \"バッテリの最大利用\""), 0);
  EXPECT_EQ(Run(L"powercfg.exe /DELETE \"" + kName + L"\""), 0);
  store = Store();
  EXPECT_EQ(store.Schemes.size(), 6u);
  EXPECT_EQ(store.ActiveScheme, "バッテリの最大利用");
}

TEST_F(PowercfgTest, CreateCopiesTheActiveSchemeAndSwitchesIgnoreCase) {
  ASSERT_EQ(Run(L"powercfg.exe /setactive \"常にオン\""), 0);
  ASSERT_EQ(Run(L"powercfg.exe /create \"" + kName + L"\""), 0);
  const PlanStore store = Store();
  EXPECT_TRUE(store.Schemes.back().Values.Dc == FindScheme(store, "常にオン")->Values.Dc);
  EXPECT_EQ(store.ActiveScheme, "常にオン");
}

TEST_F(PowercfgTest, RejectedCommandsLeaveTheStoreByteIdentical) {
  ASSERT_EQ(Run(L"powercfg.exe /DUPLICATESCHEME " + W(kPowerSaver) + L" " + W(kNewPlan)), 0);
  const std::string before = ReadAll(PlanStorePathIn(dir_));
  const std::wstring p = L"powercfg.exe ", active = L"381b4222-f694-41f0-9685-ff5bb260df2e";
  const std::wstring unknown = L"00000000-1111-4222-8333-444444444444";
  const std::wstring brightness = L" " + W(kDisplay) + L" " + W(kBrightness) + L" ";
  const std::wstring rejected[] = {
      p,
      p + L"/NOSUCHSWITCH",
      p + L"/SETACTIVE",
      p + L"/SETACTIVE " + unknown,
      p + L"/SETACTIVE \"no such scheme\"",
      p + L"/CHANGE /monitor-timeout-ac",
      p + L"/CHANGE /monitor-timeout-ac ten",
      p + L"/CHANGE /monitor-timeout-ac 1.5",
      p + L"/CHANGE /screen-timeout-ac 5",
      p + L"/CHANGE \"no such scheme\" /disk-timeout-dc 5",
      p + L"/CHANGENAME " + unknown + L" \"x\"",
      p + L"/DUPLICATESCHEME " + unknown + L" " + W(kNewPlan).substr(0, 35) + L"9",
      p + L"/DUPLICATESCHEME " + W(kPowerSaver) + L" " + W(kNewPlan),
      p + L"/DUPLICATESCHEME " + W(kPowerSaver) + L" not-a-guid",
      p + L"/SETACVALUEINDEX " + unknown + brightness + L"5",
      p + L"/SETDCVALUEINDEX " + W(kNewPlan) + brightness + L"x",
      p + L"/SETDCVALUEINDEX " + W(kNewPlan) + L" " + W(kDisplay) + L" 5",
      p + L"/CREATE \"自宅または会社のデスク\"",
      p + L"/DELETE \"" + active + L"\"",
      p + L"/DELETE \"自宅または会社のデスク\"",
      p + L"/DELETE " + unknown,
  };
  for (const std::wstring& command : rejected) {
    EXPECT_EQ(Run(command), 1) << ToUtf8(command);
    EXPECT_TRUE(ReadAll(PlanStorePathIn(dir_)) == before) << ToUtf8(command);
  }
}

TEST_F(PowercfgTest, EveryStartIsLoggedAsOneLineEvenWhenRejected) {
  const std::wstring commands[] = {
      L"powercfg.exe /CHANGENAME " + W(kPowerSaver) + L" \"" + kName + L"\" \"" + kDescription + L"\"",
      L"powercfg.exe /BOGUS",
      L"powercfg.exe /DELETE \"" + W(kPowerSaver) + L"\"",
  };
  std::string expected;
  for (const std::wstring& command : commands) {
    Run(command);
    // The POSIX build logs the arguments quoted back the Windows way.
    std::wstring requoted;
    for (const std::wstring& arg : SplitCommandLine(command))
      requoted += (requoted.empty() ? L"" : L" ") + QuoteArgument(arg);
    expected += ToUtf8(requoted) + "\n";
  }
  EXPECT_EQ(ReadAll(dir_ + "/powercfg.log"), expected);
}

TEST_F(PowercfgTest, FailAtMakesOnlyTheNamedStartFail) {
  const std::string failSecond = "TAV_POWERCFG_FAIL_AT=2";
  EXPECT_EQ(Run(L"powercfg.exe /CHANGE /disk-timeout-ac 11", failSecond), 0);
  EXPECT_EQ(Run(L"powercfg.exe /CHANGE /disk-timeout-ac 22", failSecond), 1);
  EXPECT_EQ(Store().Plans[0].Values.Ac.at("disk-timeout"), 11);
  EXPECT_EQ(Run(L"powercfg.exe /CHANGE /disk-timeout-ac 33", failSecond), 0);
  EXPECT_EQ(Store().Plans[0].Values.Ac.at("disk-timeout"), 33);
}

// The policy switch: while its file exists, every activation is refused
// whatever its spelling, the store stays as it was, and other commands work.
TEST_F(PowercfgTest, PolicyFileRefusesEveryActivationOnly) {
  ASSERT_EQ(Run(L"powercfg.exe /CHANGE /disk-timeout-ac 7"), 0);  // the store exists
  const std::string activeBefore = Store().ActivePlan;
  ASSERT_NE(activeBefore, kPowerSaver);
  std::ofstream(dir_ + "/policy-keeps-active-plan").close();
  const std::string before = ReadAll(PlanStorePathIn(dir_));
  for (const wchar_t* command : {L"powercfg.exe /SETACTIVE ", L"powercfg.exe /setactive ",
                                 L"powercfg.exe /S ", L"powercfg.exe -SetActive "}) {
    EXPECT_EQ(Run(command + W(kPowerSaver)), 1) << ToUtf8(command);
    EXPECT_TRUE(ReadAll(PlanStorePathIn(dir_)) == before) << ToUtf8(command);
  }
  EXPECT_EQ(Run(L"powercfg.exe /CHANGE /disk-timeout-ac 11"), 0);
  EXPECT_EQ(Store().ActivePlan, activeBefore);

  std::remove((dir_ + "/policy-keeps-active-plan").c_str());
  EXPECT_EQ(Run(L"powercfg.exe /SETACTIVE " + W(kPowerSaver)), 0);
  EXPECT_EQ(Store().ActivePlan, kPowerSaver);
}

TEST_F(PowercfgTest, ListAndQueryShowThePlansWithoutWritingTheStore) {
  ASSERT_EQ(Run(L"powercfg.exe /LIST"), 0);
  EXPECT_NE(output_.find("381b4222-f694-41f0-9685-ff5bb260df2e  (バランス) *\n"), std::string::npos)
      << output_;
  EXPECT_NE(output_.find("(省電力)\n"), std::string::npos);
  ASSERT_EQ(Run(L"powercfg.exe /QUERY " + W(kPowerSaver)), 0);
  EXPECT_NE(output_.find("AC monitor-timeout: 5\n"), std::string::npos) << output_;
  EXPECT_FALSE(std::filesystem::exists(PlanStorePathIn(dir_)));
}

}  // namespace
}  // namespace tav::standin
