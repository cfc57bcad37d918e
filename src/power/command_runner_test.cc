#include "power/command_runner.h"

#include <gtest/gtest.h>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

// A platform whose process creation writes into the buffer it is given, as
// CreateProcessW may.
class ScribblingOs : public FakeOs {
 public:
  std::unique_ptr<OsProcess> CreateHiddenProcess(std::wstring& commandLine) override {
    auto process = FakeOs::CreateHiddenProcess(commandLine);
    commandLine.assign(commandLine.size(), L'#');
    return process;
  }
};

TEST(CommandRunnerTest, StartedProcessIsWaitedForThenClosed) {
  FakeOs os;
  EXPECT_NE(RunProcessAndWait(os, L"powercfg.exe /SETACTIVE x"), 0);
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{L"powercfg.exe /SETACTIVE x"});
  EXPECT_EQ(os.events, (std::vector<std::wstring>{L"Run:powercfg.exe /SETACTIVE x",
                                                  L"Exited:powercfg.exe /SETACTIVE x",
                                                  L"CloseProcess"}));
}

TEST(CommandRunnerTest, ProcessThatCannotStartGivesZeroAndNothingToWaitFor) {
  FakeOs os;
  os.canStart = [](const std::wstring&) { return false; };
  EXPECT_EQ(RunProcessAndWait(os, L"missing.exe /x"), 0);
  EXPECT_EQ(os.events, std::vector<std::wstring>{L"RunFailed:missing.exe /x"});
}

TEST(CommandRunnerTest, CallersStringIsUnchanged) {
  ScribblingOs os;
  const std::wstring original = L"\"C:\\Program Files\\VARENTO\\TAV_PowerSaveSuspend.exe\" /S";
  std::wstring commandLine = original;
  EXPECT_NE(RunProcessAndWait(os, commandLine), 0);
  EXPECT_EQ(commandLine, original);
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{original});
}

}  // namespace
}  // namespace tav
