// The native entry and the POSIX stand-ins for the main window and a second
// instance, run as real processes against a private runtime folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/posix_test_support.h"

extern char** environ;

namespace tav::posix::testing {
namespace {

const std::string kBinaryDir = TAV_BINARY_DIR;
constexpr char kFinishedLine[] = "message=0x83E8 wParam=0 lParam=0";

class PosixEntryTest : public ::testing::Test {
 protected:
  ~PosixEntryTest() override {
    for (pid_t pid : started_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Starts `program` with the sandbox's environment; -1 on failure.
  pid_t Start(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> variables = {
        "TAV_POSIX_COMMON_APPDATA=" + dir_ / "common", "TAV_POSIX_LOCAL_APPDATA=" + dir_ / "local",
        "TAV_POSIX_RUNTIME_DIR=" + dir_.path(), "TAV_STANDIN_DIR=" + dir_.path(),
        "PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8"};
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    started_.push_back(pid);
    return pid;
  }

  // Waits for a started process; its exit status, -1 when killed.
  int Finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    std::erase(started_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int RunTool(const std::vector<std::string>& arguments) {
    pid_t pid = Start(kBinaryDir + "/TAV_PowerSaveSetting", arguments);
    return pid < 0 ? -2 : Finish(pid);
  }

  // Starts a stand-in and waits until it says it is ready.
  pid_t StartStandin(const std::string& name, std::vector<std::string> arguments) {
    const std::string ready = dir_ / (name + ".ready");
    arguments.insert(arguments.end(), {"--ready", ready});
    pid_t pid = Start(kBinaryDir + "/standins/" + name, arguments);
    EXPECT_TRUE(pid > 0 && WaitFor([&] { return FileExists(ready); })) << name;
    return pid;
  }

  pid_t StartMainWindow() { return StartStandin("main_window", {"--log", dir_ / "window.log"}); }

  std::vector<std::string> WindowLog() { return ReadLines(dir_ / "window.log"); }

  TempDir dir_;
  std::vector<pid_t> started_;
};

TEST_F(PosixEntryTest, UnusableCommandLineEndsWithFiveAndOneMessage) {
  pid_t window = StartMainWindow();
  EXPECT_EQ(RunTool({"/I", "/S:1200"}), 5);  // 1280 cannot be an exit status
  EXPECT_EQ(RunTool({}), 5);
  kill(window, SIGTERM);
  EXPECT_EQ(Finish(window), 0);
  EXPECT_EQ(WindowLog(), (std::vector<std::string>{kFinishedLine, kFinishedLine}));
}

TEST_F(PosixEntryTest, WindowStoppedJustAfterAPostStillLogsIt) {
  // The post waits in the window's queue while the window is stopped; the
  // stop request then arrives before the window looks at its queue again.
  pid_t window = StartMainWindow();
  ASSERT_EQ(kill(window, SIGSTOP), 0);
  EXPECT_EQ(RunTool({}), 5);
  ASSERT_EQ(kill(window, SIGTERM), 0);
  ASSERT_EQ(kill(window, SIGCONT), 0);
  EXPECT_EQ(Finish(window), 0);
  EXPECT_EQ(WindowLog(), (std::vector<std::string>{kFinishedLine}));
}

TEST_F(PosixEntryTest, CommandLineReachesTheCoreVerbatimAndRunsWithoutAWindow) {
  // An empty task list, named with blanks and quotes split over arguments.
  ASSERT_EQ(mkdir((dir_ / "a b").c_str(), 0755), 0);
  const std::string list = dir_ / "a b/list.txt";
  WriteFile(list, "");
  const std::string quoted = "/F:\"" + ToUtf8(WindowsPath(list)) + "\"";
  const size_t blank = quoted.find(' ');
  EXPECT_EQ(RunTool({quoted.substr(0, blank), quoted.substr(blank + 1)}), 0);
  EXPECT_FALSE(FileExists(list)) << "the list is consumed";
  EXPECT_FALSE(FileExists(dir_ / "window.log"));
}

TEST_F(PosixEntryTest, SecondInstanceStepsAsideWhileTheMutexIsHeld) {
  const std::string list = dir_ / "list.txt";
  WriteFile(list, "");
  const std::string option = "/F:" + ToUtf8(WindowsPath(list));
  pid_t window = StartMainWindow();
  pid_t holder = StartStandin("mutex_holder", {});

  // Another holder is refused while the first holds the lock.
  EXPECT_EQ(Finish(Start(kBinaryDir + "/standins/mutex_holder", {})), 3);
  EXPECT_EQ(RunTool({option}), 0);
  EXPECT_TRUE(FileExists(list)) << "nothing is touched";

  kill(holder, SIGTERM);
  EXPECT_EQ(Finish(holder), 0);
  EXPECT_EQ(RunTool({option}), 0);
  EXPECT_FALSE(FileExists(list));
  kill(window, SIGTERM);
  Finish(window);
  EXPECT_EQ(WindowLog(), (std::vector<std::string>{kFinishedLine, kFinishedLine}));
}

TEST_F(PosixEntryTest, StandinsEndOnTheirOwnAfterTheirTime) {
  pid_t window = Start(kBinaryDir + "/standins/main_window",
                       {"--log", dir_ / "window.log", "--seconds", "1"});
  pid_t holder = Start(kBinaryDir + "/standins/mutex_holder", {dir_ / "held", "1"});
  ASSERT_GT(window, 0);
  ASSERT_GT(holder, 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Finish(window), 0);
  EXPECT_EQ(Finish(holder), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(FileExists(dir_ / "held"));
  // The window's socket is gone with it.
  EXPECT_FALSE(MakePosixOs(dir_.Config())
                   ->system()
                   .PostToWindowOfClass(L"TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS", 0x83E8));
}

}  // namespace
}  // namespace tav::posix::testing
