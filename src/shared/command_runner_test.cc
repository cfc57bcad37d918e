#include "shared/command_runner.h"

#include <gtest/gtest.h>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

TEST(CommandRunnerTest, StartedProcessIsWaitedForThenClosed) {
  FakeOs os;
  EXPECT_TRUE(RunProcessAndWait(os, L"powercfg.exe /SETACTIVE x"));
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{L"powercfg.exe /SETACTIVE x"});
  EXPECT_EQ(os.events, (std::vector<std::wstring>{L"Run:powercfg.exe /SETACTIVE x",
                                                  L"Exited:powercfg.exe /SETACTIVE x",
                                                  L"CloseProcess"}));
}

TEST(CommandRunnerTest, ProcessThatCannotStartGivesZeroAndNothingToWaitFor) {
  FakeOs os;
  os.canStart = [](const std::wstring&) { return false; };
  EXPECT_FALSE(RunProcessAndWait(os, L"missing.exe /x"));
  EXPECT_EQ(os.events, std::vector<std::wstring>{L"RunFailed:missing.exe /x"});
}

TEST(CommandRunnerTest, CompanionIsStartedWithoutAnApplicationName) {
  FakeOs os;
  EXPECT_TRUE(RunProcessAndWait(os, L"\"C:\\x\\y.exe\" /CANCEL"));
  EXPECT_EQ(os.applicationNames, std::vector<std::wstring>{L""});
}

// System programs come from the tool's folder or the system folder, never
// from a search that includes the caller's current folder; the command line
// reaches them unchanged.
TEST(CommandRunnerTest, SystemProgramPathChoosesATrustedFolder) {
  const std::wstring toolFolder = L"C:\\Program Files\\VARENTO";
  const std::wstring system = L"C:\\Windows\\system32";
  struct Case {
    const char* what;
    std::wstring commandLine;
    std::wstring besideTool;  // file added in the tool's folder ("" none)
    bool besideIsFolder;
    std::wstring moduleFileName;  // "" keeps the default
    std::wstring systemDirectory;
    std::wstring expected;  // "" nothing is started
  };
  const std::wstring longModule = L"C:\\" + std::wstring(300, L'a') + L"\\tool.exe";
  const std::vector<Case> cases = {
      {"system folder", L"powercfg.exe /SETACTIVE x", L"", false, L"", system,
       system + L"\\powercfg.exe"},
      {"tool's folder first", L"powercfg.exe /SETACTIVE x", L"powercfg.exe", false, L"", system,
       toolFolder + L"\\powercfg.exe"},
      {"'.exe' added to a bare name", L"schtasks /Create /TN \"a\" /XML \"b\" /F",
       L"schtasks.exe", false, L"", system, toolFolder + L"\\schtasks.exe"},
      {"bare name from the system folder", L"schtasks /Create", L"", false, L"", system,
       system + L"\\schtasks.exe"},
      {"a folder of that name is no program", L"powercfg.exe /x", L"powercfg.exe", true, L"",
       system, system + L"\\powercfg.exe"},
      {"cut module path: system folder", L"powercfg.exe /x", L"", false, longModule, system,
       system + L"\\powercfg.exe"},
      {"no system folder: nothing starts", L"powercfg.exe /x", L"", false, L"", L"", L""},
  };
  for (const Case& c : cases) {
    FakeOs os;
    os.systemDirectory = c.systemDirectory;
    if (!c.moduleFileName.empty()) os.moduleFileName = c.moduleFileName;
    if (!c.besideTool.empty()) {
      const std::wstring path = toolFolder + L"\\" + c.besideTool;
      if (c.besideIsFolder) {
        os.AddFolder(path);
      } else {
        os.AddFile(path);
      }
    }
    const int result = RunSystemProgramAndWait(os, c.commandLine);
    if (c.expected.empty()) {
      EXPECT_EQ(result, 0) << c.what;
      EXPECT_TRUE(os.commandLines.empty()) << c.what;
      continue;
    }
    EXPECT_NE(result, 0) << c.what;
    EXPECT_EQ(os.applicationNames, std::vector<std::wstring>{c.expected}) << c.what;
    EXPECT_EQ(os.commandLines, std::vector<std::wstring>{c.commandLine}) << c.what;
  }
}

}  // namespace
}  // namespace tav
