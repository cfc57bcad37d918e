#include "companion/companion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/fake_os.h"

namespace tav::companion {
namespace {

using Action = Request::Action;

bool Has(const testing::FakeOs& os, const std::wstring& event) {
  return std::find(os.events.begin(), os.events.end(), event) != os.events.end();
}

TEST(CompanionCommandLine, AcceptsOneSwitchAndAWakeTimeOnlyWhereAllowed) {
  struct Row {
    const wchar_t* Line;
    std::optional<Action> What;  // none: unusable
    std::optional<TimeOfDay> WakeAt;
  };
  const Row rows[] = {
      {L"/CANCEL", Action::kCancel, {}},
      {L"  /suspend  ", Action::kSuspend, {}},
      {L"/Hibernate /t:2359", Action::kHibernate, TimeOfDay{23, 59}},
      {L"/SUSPEND /T:0000", Action::kSuspend, TimeOfDay{0, 0}},
      {L"", {}, {}},
      {L"/SUSPEND /HIBERNATE", {}, {}},
      {L"/CANCEL /T:0630", {}, {}},
      {L"/SLEEP", {}, {}},
      {L"/SUSPEND /T:2400", {}, {}},
      {L"/SUSPEND /T:1260", {}, {}},
      {L"/SUSPEND /T:630", {}, {}},
      {L"/SUSPEND /T:06300", {}, {}},
      {L"/SUSPEND /T:06a0", {}, {}},
      {L"/SUSPEND /T:0630 /T:0630", {}, {}},
      {L"/T:0630 /SUSPEND", {}, {}},
      {L"/WAITER:1700000000 /T:0630", {}, {}},
  };
  for (const Row& row : rows) {
    std::optional<Request> request = ParseCommandLine(row.Line);
    ASSERT_EQ(request.has_value(), row.What.has_value()) << row.Line;
    if (!request) continue;
    EXPECT_EQ(request->What, *row.What) << row.Line;
    EXPECT_EQ(request->WakeAt, row.WakeAt) << row.Line;
  }
  EXPECT_EQ(ParseCommandLine(L"/waiter:1700000000")->WaiterDue, 1700000000);
}

// Central European time: +1 h, summer time (+2 h) from 2026-03-29 01:00 UTC
// (02:00 local becomes 03:00) to 2026-10-25 01:00 UTC (03:00 becomes 02:00).
TEST(CompanionWakeTime, NextLocalOccurrenceAcrossMidnightAndBothClockChanges) {
  struct Row {
    int64_t Now;
    TimeOfDay Time;
    int64_t Due;
  };
  const Row rows[] = {
      {1768516200, {23, 45}, 1768517100},  // 23:30 local: later the same day
      {1768516200, {6, 30}, 1768541400},   // past midnight
      {1768516200, {23, 30}, 1768602600},  // the current minute: tomorrow
      {1774740600, {2, 30}, 1774746000},   // skipped hour: 03:00, the gap's end
      {1774740600, {3, 30}, 1774747800},   // after the gap
      {1792886400, {2, 30}, 1792888200},   // repeated hour: the first one
      {1792889100, {2, 30}, 1792891800},   // ... and its second once the first passed
  };
  testing::FakeOs os;
  os.utcOffset = 3600;
  os.offsetChanges = {{1774746000, 7200}, {1792890000, 3600}};
  for (const Row& row : rows)
    EXPECT_EQ(NextLocalOccurrence(os, row.Now, row.Time), row.Due)
        << row.Now << " " << row.Time.Hour << ":" << row.Time.Minute;
}

TEST(CompanionRun, EachOutcomeHasItsExitCode) {
  struct Row {
    const wchar_t* Name;
    const wchar_t* Line;
    void (*Setup)(testing::FakeOs&);
    int Code;
    const wchar_t* Sleep;  // the sleep requested, or none
  };
  const Row rows[] = {
      {L"suspend", L"/SUSPEND", [](testing::FakeOs&) {}, kExitDone, L"Sleep:suspend"},
      {L"hibernate", L"/HIBERNATE", [](testing::FakeOs&) {}, kExitDone, L"Sleep:hibernate"},
      {L"unusable", L"/SUSPEND /CANCEL", [](testing::FakeOs&) {}, kExitUnusableCommandLine, nullptr},
      {L"no S1-S3", L"/SUSPEND", [](testing::FakeOs& os) { os.sleepCapabilities->S3 = false; },
       kExitStateNotAvailable, nullptr},
      {L"S1 only", L"/SUSPEND", [](testing::FakeOs& os) {
         os.sleepCapabilities->S3 = false;
         os.sleepCapabilities->S1 = true;
       }, kExitDone, L"Sleep:suspend"},
      {L"modern standby", L"/SUSPEND",
       [](testing::FakeOs& os) { os.sleepCapabilities->ModernStandby = true; },
       kExitStateNotAvailable, nullptr},
      {L"no hibernation file", L"/HIBERNATE",
       [](testing::FakeOs& os) { os.sleepCapabilities->HibernationFile = false; },
       kExitStateNotAvailable, nullptr},
      {L"no S4", L"/HIBERNATE", [](testing::FakeOs& os) { os.sleepCapabilities->S4 = false; },
       kExitStateNotAvailable, nullptr},
      {L"capabilities unreadable", L"/HIBERNATE",
       [](testing::FakeOs& os) { os.sleepCapabilities.reset(); }, kExitStateNotAvailable, nullptr},
      {L"privilege", L"/SUSPEND", [](testing::FakeOs& os) { os.shutdownPrivilegeHeld = false; },
       kExitPrivilegeNotHeld, nullptr},
      {L"refused", L"/SUSPEND", [](testing::FakeOs& os) { os.sleepRefused = true; },
       kExitSleepRefused, L"Sleep:suspend"},
      {L"waiter not armed", L"/SUSPEND /T:0630",
       [](testing::FakeOs& os) { os.waiterStart = WaiterStart::kNotArmed; }, kExitWakeTimerNotSet,
       nullptr},
      {L"cancel, nothing pending", L"/CANCEL", [](testing::FakeOs&) {}, kExitDone, nullptr},
      {L"cancel, waiter goes", L"/CANCEL", [](testing::FakeOs& os) { os.waiterPending = true; },
       kExitDone, nullptr},
      {L"cancel, waiter stays", L"/CANCEL", [](testing::FakeOs& os) {
         os.waiterPending = true;
         os.waiterIgnoresCancel = true;
       }, kExitCancelTimedOut, nullptr},
  };
  for (const Row& row : rows) {
    testing::FakeOs os;
    row.Setup(os);
    EXPECT_EQ(companion::Run(os, row.Line), row.Code) << row.Name;
    const bool slept = Has(os, L"Sleep:suspend") || Has(os, L"Sleep:hibernate");
    EXPECT_EQ(slept, row.Sleep != nullptr) << row.Name;
    if (row.Sleep) {
      EXPECT_TRUE(Has(os, row.Sleep)) << row.Name;
    }
  }
}

TEST(CompanionRun, ATimedSleepArmsTheWaiterFirstAndARefusedOneCancelsIt) {
  testing::FakeOs os;
  os.utcOffset = 3600;
  os.now = 1768516200;  // 23:30 local
  EXPECT_EQ(companion::Run(os, L"/SUSPEND /T:0630"), kExitDone);
  const std::vector<std::wstring> order = {L"EnableShutdownPrivilege", L"CurrentTime",
                                           L"StartWaiter:/WAITER:1768541400", L"Sleep:suspend"};
  EXPECT_EQ(os.events, order);

  testing::FakeOs refused;
  refused.sleepRefused = true;
  EXPECT_EQ(companion::Run(refused, L"/HIBERNATE /T:0630"), kExitSleepRefused);
  EXPECT_EQ(refused.events.back(), L"CancelWaiter");
  EXPECT_FALSE(refused.waiterPending);
}

TEST(CompanionWaiter, ArmsWaitsAndEndsOnlyItself) {
  struct Row {
    const wchar_t* Name;
    void (*Setup)(testing::FakeOs&);
    int Code;
    std::vector<std::wstring> Events;
  };
  const Row rows[] = {
      {L"fired", [](testing::FakeOs&) {}, kExitDone,
       {L"ArmWakeTimer:1700003600", L"KeepDisplayOn", L"WaiterGone"}},
      {L"cancelled", [](testing::FakeOs& os) { os.waitEnd = WaitEnd::kCancelled; }, kExitDone,
       {L"ArmWakeTimer:1700003600", L"WaiterGone"}},
      {L"timer not set", [](testing::FakeOs& os) { os.wakeTimerFails = true; },
       kExitWakeTimerNotSet, {L"WaiterGone"}},
      {L"another waiter", [](testing::FakeOs& os) { os.waiterPending = true; }, kExitWaiterBusy, {}},
  };
  for (const Row& row : rows) {
    testing::FakeOs os;
    row.Setup(os);
    EXPECT_EQ(companion::Run(os, L"/WAITER:1700003600"), row.Code) << row.Name;
    EXPECT_EQ(os.events, row.Events) << row.Name;
  }
}

}  // namespace
}  // namespace tav::companion
