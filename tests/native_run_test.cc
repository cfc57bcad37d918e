// End-to-end runs of the native tool against the stand-ins: whole processes,
// real files, real child programs, all inside a private sandbox.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include <gtest/gtest.h>

#include "e2e_sandbox.h"
#include "os/command_line_args.h"
#include "standins/standin_common.h"

namespace tav::e2e {
namespace {

using standin::FromUtf8;
using standin::ToUtf8;

constexpr int kFailed = kFailedStatus;
const std::string kPowerSaver = "a1841308-3541-4fab-bc81-f71556f20b4a";
const std::string kBrightness =
    "7516b95f-f776-4464-8c53-06167f40cc99 aded5e82-b909-4619-9949-f5d71dac0bcb";

// A command line as a stand-in logs it on POSIX: split by the Windows rules
// and joined again, which drops quotes that the splitting does not need.
std::string Normalized(const std::string& commandLine) {
  return ToUtf8(JoinCommandLine(SplitCommandLine(FromUtf8(commandLine))));
}
std::vector<std::string> Normalized(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) out.push_back(Normalized(l));
  return out;
}

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return s;
}

bool HasCurrentKey(const std::string& path, const std::string& key) {
  for (const auto& line : Sandbox::Lines(path))
    if (line.rfind(key + "=", 0) == 0) return true;
  return false;
}

const char kProfile[] =
    "[GENERAL]\nVersion=2.00.000\nName=テスト用プロファイル\n"
    "[DISPLAY]\nDisplayAcTime=10\nDisplayDcTime=-5\nDisplayAcBright=47\n"
    "[HDD]\nHddAcTime=20\nHddDcTime=10\n"
    "[SYSTEM]\nSleepAcTime=30\nSleepDcTime=15\nStopAcTime=120\nStopDcTime=60\n";

// The commands that configure the plan with kProfile, after activation.
std::vector<std::string> ConfigureCommands(const std::string& guid) {
  return {"powercfg.exe /CHANGE /monitor-timeout-ac 10",
          "powercfg.exe /CHANGE /monitor-timeout-dc 0",
          "powercfg.exe /SETACVALUEINDEX " + guid + " " + kBrightness + " 45",
          "powercfg.exe /SETDCVALUEINDEX " + guid + " " + kBrightness + " 100",
          "powercfg.exe /CHANGE /disk-timeout-ac 20",
          "powercfg.exe /CHANGE /disk-timeout-dc 10",
          "powercfg.exe /CHANGE /standby-timeout-ac 30",
          "powercfg.exe /CHANGE /standby-timeout-dc 15",
          "powercfg.exe /CHANGE /hibernate-timeout-ac 120",
          "powercfg.exe /CHANGE /hibernate-timeout-dc 60",
          "powercfg.exe /SETACTIVE " + guid};
}

class NativeRun : public ::testing::Test {
 protected:
  std::string MachineProfile() {
    std::string path = box.DataFolder() + "/Setting.ini";
    Sandbox::Write(path, kProfile);
    return path;
  }
  std::vector<std::string> PowercfgSince(size_t start) {
    auto all = box.Log("powercfg.log");
    return std::vector<std::string>(all.begin() + static_cast<long>(std::min(start, all.size())),
                                    all.end());
  }

  Sandbox box;
};

TEST_F(NativeRun, NewPlanIsMadeThenFoundByItsRecordedGuid) {
  std::string settings = MachineProfile();
  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);

  std::string guid = CurrentValue(settings, "GUID");
  ASSERT_EQ(guid.size(), 36u) << guid;
  std::vector<std::string> expected = {
      "powercfg.exe /DUPLICATESCHEME " + kPowerSaver + " " + guid,
      "powercfg.exe /CHANGENAME " + guid +
          " \"Vantrel電源プラン\" \"「Vantrel 電源プラン設定ツール」が使用する電源プランです。\"",
      "powercfg.exe /SETACTIVE " + guid};
  for (const auto& c : ConfigureCommands(guid)) expected.push_back(c);
  EXPECT_EQ(box.Log("powercfg.log"), Normalized(expected));
  EXPECT_EQ(CurrentValue(settings, "ProfilePath"), Sandbox::WinPath(settings));
  EXPECT_EQ(CurrentValue(settings, "ProfileName"), "テスト用プロファイル");
  EXPECT_FALSE(Sandbox::Exists(box.DataFolder() + "/MySetting.ini"));
  // The profile's own sections survive the record.
  EXPECT_NE(Sandbox::Read(settings).find("StopDcTime=60"), std::string::npos);

  // The next run finds the plan by its GUID: no creation, 12 commands.
  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);
  std::vector<std::string> second = {"powercfg.exe /SETACTIVE " + guid};
  for (const auto& c : ConfigureCommands(guid)) second.push_back(c);
  EXPECT_EQ(PowercfgSince(14), Normalized(second));
  EXPECT_EQ(CurrentValue(settings, "GUID"), guid);
}

TEST_F(NativeRun, PlanIsFoundByNameWhenNoGuidIsRecorded) {
  std::string settings = MachineProfile();
  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);
  std::string guid = CurrentValue(settings, "GUID");
  ASSERT_FALSE(guid.empty());

  // Forget the GUID but keep the recorded profile.
  std::string text = Sandbox::Read(settings);
  size_t at = text.find("GUID=");
  ASSERT_NE(at, std::string::npos);
  text.erase(at, text.find('\n', at) - at + 1);
  Sandbox::Write(settings, text);

  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);
  auto run = PowercfgSince(14);
  ASSERT_EQ(run.size(), 12u);
  EXPECT_EQ(Upper(run[0]), Upper("powercfg.exe /SETACTIVE " + guid));
  EXPECT_EQ(Upper(CurrentValue(settings, "GUID")), Upper(guid));
}

TEST_F(NativeRun, ProfileElsewhereIsRecordedBesideItAndInTheDataFolder) {
  std::string settings = box.root + "/Documents/Power Profiles/Office.ini";
  Sandbox::Write(settings, kProfile);
  ASSERT_EQ(box.Run(box.Arg("N", settings)), 0);

  std::string beside = box.root + "/Documents/Power Profiles/MySetting.ini";
  EXPECT_EQ(CurrentValue(beside, "ProfilePath"), Sandbox::WinPath(settings));
  EXPECT_EQ(CurrentValue(beside, "ProfileName"), "テスト用プロファイル");
  EXPECT_FALSE(HasCurrentKey(beside, "GUID"));
  std::string machine = box.DataFolder() + "/Setting.ini";
  EXPECT_EQ(CurrentValue(machine, "ProfilePath"), Sandbox::WinPath(settings));
  EXPECT_EQ(CurrentValue(machine, "GUID").size(), 36u);
  EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
}

TEST_F(NativeRun, FailedRecordInTheDataFolderRemovesThePlanAgain) {
  std::string settings = MachineProfile();
  // A folder without write permission: the record cannot be replaced.
  ASSERT_EQ(chmod(box.DataFolder().c_str(), 0555), 0);
  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  chmod(box.DataFolder().c_str(), 0755);

  auto log = box.Log("powercfg.log");
  ASSERT_EQ(log.size(), 16u);
  std::string guid = log[0].substr(log[0].rfind(' ') + 1);
  EXPECT_EQ(log[14], "powercfg.exe /SETACTIVE " + kPowerSaver);
  EXPECT_EQ(log[15], Normalized("powercfg.exe /DELETE \"" + guid + "\""));
  EXPECT_EQ(Sandbox::Read(settings), kProfile);
  EXPECT_EQ(Sandbox::Read(box.state + "/plan-store.txt").find("Vantrel"), std::string::npos);
}

TEST_F(NativeRun, FailedRecordElsewhereKeepsThePlan) {
  std::string folder = box.root + "/Documents";
  std::string settings = folder + "/Office.ini";
  Sandbox::Write(settings, kProfile);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  chmod(folder.c_str(), 0755);
  EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
  EXPECT_NE(Sandbox::Read(box.state + "/plan-store.txt").find("Vantrel"), std::string::npos);
}

TEST_F(NativeRun, TaskListIsRegisteredAndConsumedAndADueSuspendHandedOff) {
  std::string settings = MachineProfile();
  std::string tasks = box.root + "/Temp";
  Sandbox::Write(tasks + "/a.xml", "<Task>A</Task>");
  Sandbox::Write(tasks + "/b b.xml", "<Task>B</Task>");
  ASSERT_EQ(chmod((tasks + "/b b.xml").c_str(), 0444), 0);
  std::string list = tasks + "/list.txt";
  Sandbox::Write(list, "/TN:\"Sleep\" /XML:\"" + Sandbox::WinPath(tasks + "/a.xml") + "\"\r\n" +
                           "/TN:\"スタート\" /XML:\"" + Sandbox::WinPath(tasks + "/b b.xml") +
                           "\"\r\n" + "/TN:\"Missing\" /XML:\"" +
                           Sandbox::WinPath(tasks + "/missing.xml") + "\"\r\n");
  ASSERT_EQ(chmod(list.c_str(), 0444), 0);

  std::string hhmm = CurrentHhmm();
  ASSERT_EQ(box.Run(box.Arg("F", list) + " " + box.Arg("N", settings) + " /S:" + hhmm + " /T:0705"), 0);

  EXPECT_EQ(box.Log("schtasks.log"),
            Normalized(std::vector<std::string>{
                "schtasks /Create /TN \"Sleep\" /XML \"" + Sandbox::WinPath(tasks + "/a.xml") +
                    "\" /F",
                "schtasks /Create /TN \"スタート\" /XML \"" +
                    Sandbox::WinPath(tasks + "/b b.xml") + "\" /F"}));
  std::string registry = Sandbox::Read(box.state + "/schtasks-registry.txt");
  EXPECT_NE(registry.find("Sleep\t<Task>A</Task>"), std::string::npos) << registry;
  EXPECT_NE(registry.find("スタート\t<Task>B</Task>"), std::string::npos) << registry;
  EXPECT_FALSE(Sandbox::Exists(tasks + "/a.xml"));
  EXPECT_FALSE(Sandbox::Exists(tasks + "/b b.xml"));
  EXPECT_FALSE(Sandbox::Exists(list));

  std::string companion = Sandbox::WinPath(box.bin + "/TAV_PowerSaveSuspend.exe");
  EXPECT_EQ(box.Log("companion.log"),
            Normalized(std::vector<std::string>{"\"" + companion + "\" /CANCEL",
                                                "\"" + companion + "\" /SUSPEND /T:0705"}));
  // The plan was applied and recorded before the hand-off.
  EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
  EXPECT_FALSE(CurrentValue(settings, "GUID").empty());
}

TEST_F(NativeRun, HibernateWinsAndATimeOtherThanNowHandsNothingOff) {
  std::string settings = MachineProfile();
  std::string hhmm = CurrentHhmm();
  std::string other = hhmm == "0000" ? "0001" : "0000";
  ASSERT_EQ(box.Run(box.Arg("N", settings) + " /S:" + other), 0);
  EXPECT_TRUE(box.Log("companion.log").empty());

  hhmm = CurrentHhmm();
  ASSERT_EQ(box.Run(box.Arg("N", settings) + " /S:" + hhmm + " /H:" + hhmm), 0);
  auto log = box.Log("companion.log");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[1].find("/HIBERNATE"), std::string::npos);
  EXPECT_EQ(log[1].find("/T:"), std::string::npos);
}

TEST_F(NativeRun, ListAloneEndsWithoutATimeMatch) {
  std::string list = box.root + "/list.txt";
  Sandbox::Write(list, "");
  ASSERT_EQ(box.Run(box.Arg("F", list) + " /S:" + CurrentHhmm()), 0);
  EXPECT_FALSE(Sandbox::Exists(list));
  EXPECT_TRUE(box.Log("companion.log").empty());
  EXPECT_TRUE(box.Log("powercfg.log").empty());
}

TEST_F(NativeRun, MissingSettingsFileAfterAGoodListFailsWithTheTasksRegistered) {
  Sandbox::Write(box.root + "/a.xml", "<Task/>");
  std::string list = box.root + "/list.txt";
  Sandbox::Write(list, "/TN:A /XML:" + Sandbox::WinPath(box.root + "/a.xml") + "\n");
  EXPECT_EQ(box.Run(box.Arg("F", list) + " " + box.Arg("N", box.root + "/none.ini")), kFailed);
  EXPECT_EQ(box.Log("schtasks.log").size(), 1u);
  EXPECT_TRUE(box.Log("powercfg.log").empty());
}

TEST_F(NativeRun, MissingCompanionFailsAfterThePlanWasAppliedAndRecorded) {
  std::string settings = MachineProfile();
  ASSERT_EQ(unlink((box.bin + "/TAV_PowerSaveSuspend.exe").c_str()), 0);
  EXPECT_EQ(box.Run(box.Arg("N", settings) + " /S:" + CurrentHhmm()), kFailed);
  EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
  EXPECT_FALSE(CurrentValue(settings, "GUID").empty());
}

TEST_F(NativeRun, UnusableCommandLinesFailAndTouchNothing) {
  for (const std::string& line : std::vector<std::string>{
           "", "/I", "/S:2330", "/N:\"" + Sandbox::WinPath(box.root + "/none.ini") + "\"",
        "/I / /N:\"" + Sandbox::WinPath(box.root + "/x") + "\"", std::string(100000, '/'),
        "/N: \"" + Sandbox::WinPath(box.root) + "\""}) {
    SCOPED_TRACE(line.substr(0, 80));
    EXPECT_EQ(box.Run(line), kFailed);
  }
  EXPECT_FALSE(Sandbox::Exists(box.common + "/VARENTO"));
  EXPECT_FALSE(Sandbox::Exists(box.local + "/VARENTO"));
  EXPECT_TRUE(box.Log("powercfg.log").empty());
}

// Runs a stand-in from the build tree in the background until it is ready.
pid_t StartStandin(const Sandbox& box, const std::string& name,
                   const std::vector<std::string>& args, const std::string& ready) {
  pid_t pid = fork();
  if (pid == 0) {
    setenv("TAV_POSIX_RUNTIME_DIR", box.runtime.c_str(), 1);
    std::string program = std::string(TAV_BINARY_DIR) + "/standins/" + name;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  for (int i = 0; i < 500 && !Sandbox::Exists(ready); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return pid;
}
void Stop(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

TEST_F(NativeRun, MainWindowGetsExactlyOneMessagePerRun) {
  std::string log = box.root + "/window.log";
  pid_t window = StartStandin(box, "main_window",
                              {"--log", log, "--ready", box.root + "/window.ready"},
                              box.root + "/window.ready");
  std::string settings = MachineProfile();
  EXPECT_EQ(box.Run(box.Arg("N", settings)), 0);    // success
  EXPECT_EQ(box.Run("/S:0000"), kFailed);       // unusable command line
  EXPECT_EQ(box.Run(box.Arg("N", box.root)), kFailed);  // the settings "file" is a folder
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Stop(window);
  EXPECT_EQ(Sandbox::Lines(log), std::vector<std::string>(3, "message=0x83E8 wParam=0 lParam=0"));
}

TEST_F(NativeRun, SecondInstanceEndsAtOnceAndTouchesNothing) {
  pid_t holder = StartStandin(box, "mutex_holder", {"--ready", box.root + "/mutex.ready"},
                              box.root + "/mutex.ready");
  std::string settings = MachineProfile();
  std::string list = box.root + "/list.txt";
  Sandbox::Write(list, "");
  EXPECT_EQ(box.Run(box.Arg("F", list) + " " + box.Arg("N", settings)), 0);
  Stop(holder);
  EXPECT_TRUE(Sandbox::Exists(list));
  EXPECT_TRUE(box.Log("powercfg.log").empty());
  EXPECT_EQ(Sandbox::Read(settings), kProfile);

  // Once the holder is gone, the same command line runs.
  EXPECT_EQ(box.Run(box.Arg("F", list) + " " + box.Arg("N", settings)), 0);
  EXPECT_FALSE(Sandbox::Exists(list));
  EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
}

// The diagnostic trace: on standard error only when TAV_POWERSAVE_TRACE=1,
// never in a file, and a standard error nobody reads changes nothing.
TEST_F(NativeRun, TraceGoesToStandardErrorOnlyWhenAskedFor) {
  const std::string settings = MachineProfile();
  const std::string errors = box.root + "/stderr.txt";
  auto runWithStderr = [&](const std::string& commandLine) {
    const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    box.stderrFd = fd;
    const int status = box.Run(commandLine);
    close(fd);
    box.stderrFd = -1;
    return status;
  };

  ASSERT_EQ(runWithStderr(box.Arg("N", settings)), 0);
  EXPECT_EQ(Sandbox::Read(errors), "") << "no trace without the variable";

  box.extraEnv = {{"TAV_POWERSAVE_TRACE", "1"}};
  ASSERT_EQ(runWithStderr(box.Arg("N", settings)), 0);
  const auto lines = Sandbox::Lines(errors);
  ASSERT_GT(lines.size(), 20u);
  const std::string prefix = "TAV_PowerSaveSetting[";
  for (const std::string& line : lines) EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
  const std::string all = Sandbox::Read(errors);
  EXPECT_NE(all.find("]: plan: found by its recorded GUID"), std::string::npos);
  EXPECT_NE(all.find("]: child ended: powercfg.exe /SETACTIVE "), std::string::npos);
  EXPECT_NE(all.find(" ms\n"), std::string::npos);
  EXPECT_NE(lines.back().find("]: exit code 0: the settings were applied and recorded"),
            std::string::npos)
      << lines.back();

  // An unusable command line says which rule it broke; the exit code is as
  // ever.
  ASSERT_EQ(runWithStderr("/N:\"" + Sandbox::WinPath(box.root + "/missing.ini") + "\""),
            kFailed);
  EXPECT_NE(Sandbox::Read(errors).find(
                "command line unusable: neither the settings file nor the task list exists"),
            std::string::npos);

  // A closed standard error, or a pipe whose reader is gone: same result.
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  close(pipeEnds[0]);
  box.stderrFd = pipeEnds[1];
  EXPECT_EQ(box.Run(box.Arg("N", settings)), 0);
  close(pipeEnds[1]);
  box.stderrFd = -1;
  box.beforeExec = [] { close(2); };
  EXPECT_EQ(box.Run(box.Arg("N", settings)), 0);
  EXPECT_EQ(CurrentValue(settings, "ProfileName"), "テスト用プロファイル");
}

// Whatever the caller left ignored, each child starts with every signal's
// default action, as a Windows child does: a powercfg.exe that ignored the
// signal that ends it could not be ended when it hangs.
TEST_F(NativeRun, ChildrenStartWithDefaultSignalsWhateverTheToolInherited) {
  const std::string settings = MachineProfile();
  const std::string masks = box.root + "/masks";
  const std::string powercfg = box.bin + "/powercfg.exe";
  ASSERT_EQ(rename(powercfg.c_str(), (powercfg + ".real").c_str()), 0);
  Sandbox::Write(powercfg, "#!/bin/sh\ngrep '^SigIgn:' /proc/$$/status >> '" + masks +
                               "'\nexec \"$0.real\" \"$@\"\n");
  chmod(powercfg.c_str(), 0755);
  static constexpr int kIgnored[] = {SIGHUP, SIGINT, SIGTERM, SIGUSR1, SIGPIPE, SIGXFSZ};
  box.beforeExec = [] {
    for (int sig : kIgnored) signal(sig, SIG_IGN);
  };
  EXPECT_EQ(box.Run(box.Arg("N", settings)), 0);
  const std::vector<std::string> lines = Sandbox::Lines(masks);
  EXPECT_EQ(lines.size(), 14u) << "every child of a first run";
  for (const std::string& line : lines) {
    // "SigIgn:\t<hex mask>", bit n - 1 standing for signal n.
    const unsigned long long mask = std::stoull(line.substr(line.find('\t') + 1), nullptr, 16);
    for (int sig : kIgnored)
      EXPECT_EQ(mask >> (sig - 1) & 1, 0u) << "signal " << sig << ": " << line;
  }
}

}  // namespace
}  // namespace tav::e2e
