#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/posix_test_support.h"
#include "os/posix/unique_fd.h"

namespace tav::posix::testing {
namespace {

// A shell script that writes each of its arguments as "[arg]" into `out`.
void WriteArgumentScript(const std::string& path, const std::string& out) {
  WriteFile(path,
            "#!/bin/sh\n"
            ": > '" + out + "'\n"
            "for a in \"$@\"; do printf '[%s]\\n' \"$a\" >> '" + out + "'; done\n",
            0755);
}

class PosixProcessTest : public ::testing::Test {
 protected:
  std::unique_ptr<OsProcess> Run(const std::wstring& commandLine) {
    auto process = os_->processes().StartHidden(L"", commandLine);
    if (process) process->Wait(std::nullopt);
    return process;
  }

  TempDir dir_;
  std::unique_ptr<Os> os_ = MakePosixOs(dir_.Config());
};

TEST_F(PosixProcessTest, ArgumentsReachTheChildSplitByWindowsRules) {
  const std::string script = dir_ / "args.sh";
  const std::string out = dir_ / "args.out";
  WriteArgumentScript(script, out);
  const std::wstring program = FromUtf8(script);
  struct Case {
    std::wstring arguments;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {L"a \"b c\" d", {"[a]", "[b c]", "[d]"}},
      {L"x   y\tz", {"[x]", "[y]", "[z]"}},
      {L"d\\\"e", {"[d\"e]"}},
      {L"\"f\\\\\" g", {"[f\\]", "[g]"}},
      {L"a\\\\b", {"[a\\\\b]"}},
      {L"\"\" tail", {"[]", "[tail]"}},
      {L"/TN \"My Task\" /XML \"C:\\x y\\t.xml\" /F",
       {"[/TN]", "[My Task]", "[/XML]", "[C:\\x y\\t.xml]", "[/F]"}},
      {L"\"バッテリの 最大利用\"", {"[バッテリの 最大利用]"}},
      {L"", {}},
  };
  for (const Case& c : cases) {
    std::remove(out.c_str());
    const std::wstring commandLine = program + (c.arguments.empty() ? L"" : L" " + c.arguments);
    ASSERT_NE(Run(commandLine), nullptr) << ToUtf8(commandLine);
    EXPECT_EQ(ReadLines(out), c.expected) << ToUtf8(c.arguments);
  }
}

TEST_F(PosixProcessTest, QuotedProgramPathsWithBlanksAndBackslashesWork) {
  ASSERT_EQ(mkdir((dir_ / "with blanks").c_str(), 0755), 0);
  const std::string script = dir_ / "with blanks/prog";
  const std::string out = dir_ / "prog.out";
  WriteArgumentScript(script, out);
  const std::wstring forms[] = {
      L"\"" + FromUtf8(script) + L"\" /CANCEL",
      L"\"" + WindowsPath(script) + L"\" /CANCEL",
  };
  for (const std::wstring& commandLine : forms) {
    std::remove(out.c_str());
    ASSERT_NE(Run(commandLine), nullptr) << ToUtf8(commandLine);
    EXPECT_EQ(ReadLines(out), std::vector<std::string>{"[/CANCEL]"});
  }
  // Unquoted, the blank ends the program name: "<dir>/with" does not exist.
  EXPECT_EQ(Run(FromUtf8(script) + L" /CANCEL"), nullptr);
}

TEST_F(PosixProcessTest, NothingIsStartedForMissingOrUnusablePrograms) {
  // Each would leave a marker file if it ran.
  const std::string marker = dir_ / "ran";
  const std::string body = "#!/bin/sh\ntouch '" + marker + "'\n";
  WriteFile(dir_ / "not-executable", body, 0644);
  ASSERT_EQ(mkdir((dir_ / "folder").c_str(), 0755), 0);
  ScopedEnv path("PATH", dir_.path());
  const std::wstring commandLines[] = {
      L"",
      L"   ",
      L"no-such-program-here",
      L"\"" + FromUtf8(dir_ / "missing") + L"\" /X",
      FromUtf8(dir_ / "not-executable"),
      L"not-executable",
      FromUtf8(dir_ / "folder"),
      L"folder",
  };
  for (const std::wstring& commandLine : commandLines) {
    EXPECT_EQ(os_->processes().StartHidden(L"", commandLine), nullptr) << ToUtf8(commandLine);
  }
  EXPECT_FALSE(FileExists(marker));
}

TEST_F(PosixProcessTest, ChildThatFailsStillCountsAsStarted) {
  WriteFile(dir_ / "fails", "#!/bin/sh\nexit 7\n", 0755);
  EXPECT_NE(Run(FromUtf8(dir_ / "fails")), nullptr);
}

TEST_F(PosixProcessTest, CallersStringIsUnchanged) {
  WriteFile(dir_ / "p", "#!/bin/sh\nexit 0\n", 0755);
  const std::wstring original = L"\"" + WindowsPath(dir_ / "p") + L"\" \"a b\" c\\\"d";
  std::wstring commandLine = original;
  auto process = os_->processes().StartHidden(L"", commandLine);
  ASSERT_NE(process, nullptr);
  process->Wait(std::nullopt);
  EXPECT_EQ(commandLine, original);
}

TEST_F(PosixProcessTest, WaitWaitsAndTheHandleNeverLeavesAZombie) {
  const std::string marker = dir_ / "done";
  WriteFile(dir_ / "slow", "#!/bin/sh\nsleep 0.3\ntouch '" + marker + "'\n", 0755);
  std::wstring commandLine = FromUtf8(dir_ / "slow");
  auto waited = os_->processes().StartHidden(L"", commandLine);
  ASSERT_NE(waited, nullptr);
  EXPECT_TRUE(waited->Wait(std::nullopt));
  EXPECT_TRUE(FileExists(marker));
  EXPECT_TRUE(waited->Wait(std::nullopt));  // a second wait returns at once

  std::remove(marker.c_str());
  auto dropped = os_->processes().StartHidden(L"", commandLine);
  ASSERT_NE(dropped, nullptr);
  dropped.reset();  // never waited for: the handle reaps the child itself
  EXPECT_TRUE(FileExists(marker));
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD) << "a child was left behind";
}

TEST_F(PosixProcessTest, ChildIsDetachedFromTerminalAndInheritsNoHandles) {
  const std::string out = dir_ / "hidden.out";
  WriteFile(dir_ / "hidden",
            "#!/bin/sh\n"
            "out='" + out + "'\n"
            "in=$(readlink /proc/$$/fd/0) o=$(readlink /proc/$$/fd/1) e=$(readlink /proc/$$/fd/2)\n"
            "sid=$(cut -d' ' -f6 /proc/$$/stat)\n"
            "fds=$(for f in /proc/$$/fd/*; do echo \"fd ${f##*/}\"; done)\n"
            "printf '%s\\n' \"$in\" \"$o\" \"$e\" $$ \"$sid\" \"$fds\" > \"$out\"\n",
            0755);
  // A descriptor of the tool without close-on-exec must still stay behind.
  const UniqueFd opened(open("/dev/null", O_RDONLY));
  UniqueFd leaked(dup2(opened.get(), 57));
  ASSERT_EQ(leaked.get(), 57);
  auto process = Run(FromUtf8(dir_ / "hidden"));
  leaked.Reset();
  ASSERT_NE(process, nullptr);
  std::vector<std::string> lines = ReadLines(out);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "/dev/null");
  EXPECT_EQ(lines[1], "/dev/null");
  EXPECT_EQ(lines[2], "/dev/null");
  EXPECT_EQ(lines[3], lines[4]) << "the child leads a session of its own";
  for (const std::string& line : lines) EXPECT_NE(line, "fd 57");
}

TEST_F(PosixProcessTest, BareNameIsFoundOnThePath) {
  const std::string out = dir_ / "tool.out";
  ASSERT_EQ(mkdir((dir_ / "bin").c_str(), 0755), 0);
  WriteArgumentScript(dir_ / "bin/tool.exe", out);
  ScopedEnv path("PATH", dir_ / "nothing-here" + ":" + dir_ / "bin");
  ASSERT_NE(Run(L"tool /Create"), nullptr);
  EXPECT_EQ(ReadLines(out), std::vector<std::string>{"[/Create]"});
}

// Program lookup, with the folders given directly.
class FindProgramTest : public ::testing::Test {
 protected:
  std::string Folder(const std::string& name) {
    std::string path = dir_ / name;
    mkdir(path.c_str(), 0755);
    return path;
  }
  void Program(const std::string& path) { WriteFile(path, "#!/bin/sh\n", 0755); }

  TempDir dir_;
};

TEST_F(FindProgramTest, ModuleFolderComesBeforeThePathInOrder) {
  std::string module = Folder("module"), first = Folder("first"), second = Folder("second");
  const std::string path = first + ":" + second;
  Program(second + "/prog");
  EXPECT_EQ(FindProgram(L"prog", module, path), second + "/prog");
  Program(first + "/prog");
  EXPECT_EQ(FindProgram(L"prog", module, path), first + "/prog");
  Program(module + "/prog");
  EXPECT_EQ(FindProgram(L"prog", module, path), module + "/prog");
  EXPECT_EQ(FindProgram(L"other", module, path), "");
  EXPECT_EQ(FindProgram(L"", module, path), "");
}

TEST_F(FindProgramTest, FoldersAreSkippedAndTheCurrentFolderIsNotSearched) {
  std::string module = Folder("module"), bin = Folder("bin"), cwd = Folder("cwd");
  Folder("module/prog");
  Program(bin + "/prog");
  EXPECT_EQ(FindProgram(L"prog", module, bin), bin + "/prog");

  Program(cwd + "/only-here");
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  std::string found = FindProgram(L"only-here", module, ":" + bin + "::");
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(found, "");
}

TEST_F(FindProgramTest, ExeIsAppendedOnlyToNamesWithoutExtension) {
  std::string bin = Folder("bin");
  Program(bin + "/tool.exe");
  EXPECT_EQ(FindProgram(L"tool", "", bin), bin + "/tool.exe");
  EXPECT_EQ(FindProgram(L"tool.exe", "", bin), bin + "/tool.exe");
  EXPECT_EQ(FindProgram(FromUtf8(bin + "/tool"), "", ""), bin + "/tool.exe");
  EXPECT_EQ(FindProgram(WindowsPath(bin + "/tool"), "", ""), bin + "/tool.exe");
  Program(bin + "/tool");  // the name as given wins
  EXPECT_EQ(FindProgram(L"tool", "", bin), bin + "/tool");
  Program(bin + "/task.cmd.exe");
  EXPECT_EQ(FindProgram(L"task.cmd", "", bin), "");
}

// A given application path is started as it is, with the command line's
// first token passed on untouched; no search takes place.
TEST_F(PosixProcessTest, ApplicationPathIsStartedWithoutASearch) {
  const std::string script = dir_ / "real program.sh";
  const std::string out = dir_ / "args.out";
  WriteArgumentScript(script, out);
  std::wstring commandLine = L"powercfg.exe /SETACTIVE x";
  const std::wstring application = WindowsPath(script);
  auto process = os_->processes().StartHidden(application, commandLine);
  ASSERT_NE(process, nullptr);
  process->Wait(std::nullopt);
  EXPECT_EQ(ReadFile(out), "[/SETACTIVE]\n[x]\n");

  ASSERT_EQ(mkdir((dir_ / "folder.exe").c_str(), 0755), 0);
  for (const std::string& missing : {dir_ / "missing.exe", dir_ / "folder.exe"}) {
    const std::wstring path = WindowsPath(missing);
    EXPECT_EQ(os_->processes().StartHidden(path, L"powercfg.exe /x"), nullptr) << missing;
  }
}

TEST_F(PosixProcessTest, SystemFolderIsTheConfiguredFolder) {
  PosixConfig config = dir_.Config();
  config.SystemDir = dir_ / "system32";
  EXPECT_EQ(MakePosixOs(config)->processes().SystemFolder(), WindowsPath(config.SystemDir));
  config.SystemDir.clear();
  EXPECT_EQ(MakePosixOs(config)->processes().SystemFolder(), L"");
}

}  // namespace
}  // namespace tav::posix::testing
