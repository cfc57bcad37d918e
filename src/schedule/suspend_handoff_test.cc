#include "schedule/suspend_handoff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/path_strings.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

const std::wstring kCompanion = L"\"C:\\Program Files\\VARENTO\\TAV_PowerSaveSuspend.exe\"";
const std::wstring kCancel = kCompanion + L" /CANCEL";

// The table's -1 means no time; half a time is none as well.
std::optional<TimeOfDay> TimeOf(int32_t hour, int32_t minute) {
  if (hour < 0 || minute < 0) return std::nullopt;
  return TimeOfDay{hour, minute};
}

struct HandOffCase {
  bool hibernate;
  int32_t hour;
  int32_t minute;
  std::wstring request;
};

class SuspendHandOffCommandLines : public ::testing::TestWithParam<HandOffCase> {};

TEST_P(SuspendHandOffCommandLines, CancelsThenRequests) {
  const HandOffCase& c = GetParam();
  FakeOs os;
  EXPECT_TRUE(HandOffSuspend(os, c.hibernate, TimeOf(c.hour, c.minute)));
  EXPECT_EQ(os.commandLines, (std::vector<std::wstring>{kCancel, kCompanion + c.request}));
  // The cancel run has ended before the request run starts.
  EXPECT_EQ(os.events, (std::vector<std::wstring>{
                           L"Run:" + kCancel, L"Exited:" + kCancel, L"CloseProcess",
                           L"Run:" + kCompanion + c.request, L"Exited:" + kCompanion + c.request,
                           L"CloseProcess"}));
}

INSTANTIATE_TEST_SUITE_P(
    SuspendHandOff, SuspendHandOffCommandLines,
    ::testing::Values(HandOffCase{false, -1, -1, L" /SUSPEND"},
                      HandOffCase{true, -1, -1, L" /HIBERNATE"},
                      HandOffCase{false, 6, 30, L" /SUSPEND /T:0630"},
                      HandOffCase{true, 23, 5, L" /HIBERNATE /T:2305"},
                      HandOffCase{false, 0, 0, L" /SUSPEND /T:0000"},
                      HandOffCase{false, 7, 5, L" /SUSPEND /T:0705"},
                      HandOffCase{false, 99, 99, L" /SUSPEND /T:9999"},
                      HandOffCase{false, -1, 30, L" /SUSPEND"},
                      HandOffCase{true, 6, -1, L" /HIBERNATE"}));

TEST(SuspendHandOffFailures, MissingCompanionGivesZeroAfterOneAttempt) {
  FakeOs os;
  os.canStart = [](const std::wstring&) { return false; };
  EXPECT_FALSE(HandOffSuspend(os, true, TimeOfDay{6, 30}));
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{kCancel});
}

TEST(SuspendHandOffFailures, RequestThatCannotStartGivesZeroAfterTheCancelRan) {
  FakeOs os;
  os.canStart = [](const std::wstring& commandLine) { return commandLine == kCancel; };
  EXPECT_FALSE(HandOffSuspend(os, false, std::nullopt));
  EXPECT_EQ(os.commandLines, (std::vector<std::wstring>{kCancel, kCompanion + L" /SUSPEND"}));
  ASSERT_GE(os.events.size(), 2u);
  EXPECT_EQ(os.events[1], L"Exited:" + kCancel);
  EXPECT_EQ(os.events.back(), L"RunFailed:" + kCompanion + L" /SUSPEND");
}

// A module path that filled the whole MAX_PATH buffer may be cut; its folder
// would be some other folder, so no companion is started from it.
TEST(SuspendHandOffFailures, CutModulePathStartsNothing) {
  FakeOs os;
  os.moduleFileName = L"C:\\" + std::wstring(250, L'a') + L"\\TAV_PowerSaveSetting.exe";
  EXPECT_FALSE(HandOffSuspend(os, false, std::nullopt));
  EXPECT_TRUE(os.commandLines.empty());

  // One character shorter than the buffer still fits whole.
  os.moduleFileName = L"C:\\" + std::wstring(kMaxPath - 1 - 3 - 9, L'a') + L"\\tool.exe";
  ASSERT_EQ(os.moduleFileName.size(), kMaxPath - 1);
  EXPECT_TRUE(HandOffSuspend(os, false, std::nullopt));
}

TEST(SuspendHandOffFailures, CompanionIsLookedForBesideTheTool) {
  FakeOs os;
  os.moduleFileName = L"D:\\Tools\\tool.exe";
  EXPECT_TRUE(HandOffSuspend(os, false, std::nullopt));
  ASSERT_EQ(os.commandLines.size(), 2u);
  EXPECT_EQ(os.commandLines[0], L"\"D:\\Tools\\TAV_PowerSaveSuspend.exe\" /CANCEL");

  // A tool in a drive's root: the folder keeps its backslash and the path is
  // joined with one more, which Windows accepts.
  os.commandLines.clear();
  os.moduleFileName = L"D:\\tool.exe";
  EXPECT_TRUE(HandOffSuspend(os, false, std::nullopt));
  ASSERT_EQ(os.commandLines.size(), 2u);
  EXPECT_EQ(os.commandLines[0], L"\"D:\\\\TAV_PowerSaveSuspend.exe\" /CANCEL");
}

}  // namespace
}  // namespace tav
