#include "app/run_sequence.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "shared/text.h"

namespace tav {
namespace {

// Records every call with its arguments, returns injected results and keeps a
// clock that moves on at every reading.
class FakeRunSteps : public RunSteps {
 public:
  bool ProcessTaskRegistrationList(const std::wstring& listPath) override {
    calls.push_back(L"TaskList:" + listPath);
    return taskListResult;
  }
  bool LoadPowerSettings(const std::wstring& settingsPath, PowerSettings& out) override {
    calls.push_back(L"Load:" + settingsPath);
    out.Name = profileName;
    return loadResult;
  }
  std::optional<AppliedPlan> ApplyPowerSettings(const std::wstring& settingsPath,
                                                const PowerSettings& settings) override {
    calls.push_back(L"Apply:" + settingsPath + L"|" + settings.Name);
    if (!applyResult) return std::nullopt;
    return AppliedPlan{appliedPlanGuid, appliedInDataFolder, appliedOrigin};
  }
  bool WriteCurrentPlanRecord(const std::wstring& settingsPath, const std::wstring& name,
                             const std::wstring& planGuid) override {
    calls.push_back(L"Record:" + settingsPath + L"|" + name + L"|" + planGuid);
    return recordResult;
  }
  bool RemoveDedicatedPlan(const std::wstring& planGuid) override {
    calls.push_back(L"Remove:" + planGuid);
    return removeResult;
  }
  bool HandOffSuspend(bool hibernate, const std::optional<TimeOfDay>& time) override {
    calls.push_back(std::wstring(L"HandOff:") + (hibernate ? L"hibernate" : L"suspend") + L"|" +
                    DecimalText(time ? time->Hour : -1) + L"|" +
                    DecimalText(time ? time->Minute : -1));
    return handOffResult;
  }
  int64_t Now() override {
    calls.push_back(L"CurrentTime");
    return clock++;
  }
  std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) override {
    calls.push_back(L"ToLocalTime:" + DecimalText(static_cast<int32_t>(seconds)));
    bool ok = conversions < static_cast<int>(conversionResults.size())
                  ? conversionResults[conversions]
                  : true;
    ++conversions;
    if (!ok) return std::nullopt;
    return localTime;
  }

  std::vector<std::wstring> calls;
  bool taskListResult = true, loadResult = true, applyResult = true, recordResult = true,
       removeResult = true, handOffResult = true;
  std::wstring profileName = L"Eco";
  bool appliedInDataFolder = false;
  // Steps that cannot tell where the plan came from count it as made here.
  PlanOrigin appliedOrigin = PlanOrigin::kMadeByThisRun;
  std::wstring appliedPlanGuid = L"a1841308-3541-4fab-bc81-f71556f20b4a";
  int64_t clock = 1000;
  TimeOfDay localTime{9, 30};
  std::vector<bool> conversionResults;  // per conversion; true past the end
  int conversions = 0;
};

const std::wstring kSettings = L"C:\\data\\Setting.ini";
const std::wstring kList = L"C:\\data\\list.txt";
const std::wstring kGuid = L"a1841308-3541-4fab-bc81-f71556f20b4a";

LaunchOptions Options(std::wstring settings, std::wstring list) {
  LaunchOptions o;
  o.SettingsPath = std::move(settings);
  o.TaskListPath = std::move(list);
  return o;
}

LaunchOptions WithAction(LaunchOptions o, bool suspend, bool hibernate, int32_t hour,
                         int32_t minute, int32_t handOffHour = -1, int32_t handOffMinute = -1) {
  o.SuspendRequested = suspend;
  o.HibernateRequested = hibernate;
  // -1 for none, as the tables write it.
  if (hour >= 0 && minute >= 0) o.ActionTime = TimeOfDay{hour, minute};
  if (handOffHour >= 0 && handOffMinute >= 0) o.HandOffTime = TimeOfDay{handOffHour, handOffMinute};
  return o;
}

const std::wstring kApply = L"Apply:" + kSettings + L"|Eco";
const std::wstring kRecord = L"Record:" + kSettings + L"|Eco|" + kGuid;

struct SequenceCase {
  const char* name;
  LaunchOptions options;
  std::function<void(FakeRunSteps&)> setUp;
  bool result;
  std::vector<std::wstring> calls;
};

TEST(RunSequenceTest, CallsStepsInOrderAndStopsAtTheFirstFailure) {
  auto none = [](FakeRunSteps&) {};
  const LaunchOptions both = Options(kSettings, kList);
  const LaunchOptions settingsOnly = Options(kSettings, L"");
  const SequenceCase cases[] = {
      {"nothing named", Options(L"", L""), none, 0, {}},
      {"list only", Options(L"", kList), none, 1, {L"TaskList:" + kList}},
      {"list only ignores a due time", WithAction(Options(L"", kList), true, true, 9, 30), none,
       1, {L"TaskList:" + kList}},
      {"list fails", both, [](FakeRunSteps& s) { s.taskListResult = false; }, 0,
       {L"TaskList:" + kList}},
      {"settings only", settingsOnly, none, 1, {L"Load:" + kSettings, kApply, kRecord}},
      {"list and settings", both, none, 1,
       {L"TaskList:" + kList, L"Load:" + kSettings, kApply, kRecord}},
      {"load fails after the tasks", both, [](FakeRunSteps& s) { s.loadResult = false; }, 0,
       {L"TaskList:" + kList, L"Load:" + kSettings}},
      {"apply fails: nothing recorded or removed", settingsOnly,
       [](FakeRunSteps& s) {
         s.applyResult = false;
         s.appliedInDataFolder = true;
       },
       0, {L"Load:" + kSettings, kApply}},
      {"record fails outside the data folder", settingsOnly,
       [](FakeRunSteps& s) { s.recordResult = false; }, 0, {L"Load:" + kSettings, kApply, kRecord}},
      {"record fails in the data folder", settingsOnly,
       [](FakeRunSteps& s) {
         s.recordResult = false;
         s.appliedInDataFolder = true;
       },
       0, {L"Load:" + kSettings, kApply, kRecord, L"Remove:" + kGuid}},
      {"failed removal changes nothing", settingsOnly,
       [](FakeRunSteps& s) {
         s.recordResult = false;
         s.appliedInDataFolder = true;
         s.removeResult = false;
       },
       0, {L"Load:" + kSettings, kApply, kRecord, L"Remove:" + kGuid}},
      {"a plan found, not made, stays", settingsOnly,
       [](FakeRunSteps& s) {
         s.recordResult = false;
         s.appliedInDataFolder = true;
         s.appliedOrigin = PlanOrigin::kFound;
       },
       0, {L"Load:" + kSettings, kApply, kRecord}},
      {"empty plan GUID is passed on as it is", settingsOnly,
       [](FakeRunSteps& s) {
         s.appliedPlanGuid = L"";
         s.recordResult = false;
         s.appliedInDataFolder = true;
       },
       0, {L"Load:" + kSettings, kApply, L"Record:" + kSettings + L"|Eco|", L"Remove:"}},
      {"in the data folder without a failure", settingsOnly,
       [](FakeRunSteps& s) { s.appliedInDataFolder = true; }, 1,
       {L"Load:" + kSettings, kApply, kRecord}},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRunSteps steps;
    c.setUp(steps);
    EXPECT_EQ(RunSequence(steps, c.options).Succeeded, c.result);
    EXPECT_EQ(steps.calls, c.calls);
  }
}

TEST(RunSequenceTest, TimeMatchAfterTheRecordWithOneReading) {
  auto none = [](FakeRunSteps&) {};
  const LaunchOptions settings = Options(kSettings, L"");
  const std::vector<std::wstring> applied = {L"Load:" + kSettings, kApply, kRecord};
  auto then = [&](std::vector<std::wstring> more) {
    std::vector<std::wstring> all = applied;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  const std::wstring read = L"CurrentTime";
  const std::wstring convert = L"ToLocalTime:1000";  // the one reading, both times
  const SequenceCase cases[] = {
      {"suspend due", WithAction(settings, true, false, 9, 30, 6, 45), none, 1,
       then({read, convert, convert, L"HandOff:suspend|6|45"})},
      {"hibernate due", WithAction(settings, false, true, 9, 30), none, 1,
       then({read, convert, convert, L"HandOff:hibernate|-1|-1"})},
      {"both due: hibernate", WithAction(settings, true, true, 9, 30), none, 1,
       then({read, convert, convert, L"HandOff:hibernate|-1|-1"})},
      {"other hour", WithAction(settings, true, false, 10, 30), none, 1, then({read, convert})},
      {"other minute", WithAction(settings, true, false, 9, 31), none, 1,
       then({read, convert, convert})},
      {"hour 24 never matches midnight", WithAction(settings, true, false, 24, 0),
       [](FakeRunSteps& s) { s.localTime = {0, 0}; }, 1, then({read, convert})},
      {"hand-off fails", WithAction(settings, true, false, 9, 30),
       [](FakeRunSteps& s) { s.handOffResult = false; }, 0,
       then({read, convert, convert, L"HandOff:suspend|-1|-1"})},
      {"no request: clock not read", WithAction(settings, false, false, 9, 30), none, 1, applied},
      {"failed hour conversion", WithAction(settings, true, false, 9, 30),
       [](FakeRunSteps& s) { s.conversionResults = {false}; }, 1, then({read, convert})},
      {"failed minute conversion", WithAction(settings, true, false, 9, 30),
       [](FakeRunSteps& s) { s.conversionResults = {true, false}; }, 1,
       then({read, convert, convert})},
      // A rejected H: behind an accepted S: leaves the action time at -1: an
      // unreadable clock must not count as that time.
      {"failed conversions never match a reset time", WithAction(settings, true, false, -1, -1),
       [](FakeRunSteps& s) { s.conversionResults = {false, false}; }, 1, then({read, convert})},
      {"no time match when the record fails", WithAction(settings, true, false, 9, 30),
       [](FakeRunSteps& s) { s.recordResult = false; }, 0, applied},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRunSteps steps;
    c.setUp(steps);
    EXPECT_EQ(RunSequence(steps, c.options).Succeeded, c.result);
    EXPECT_EQ(steps.calls, c.calls);
  }
}

}  // namespace
}  // namespace tav
