#include "settings/power_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "testing/fake_os.h"

namespace tav {
namespace {

// A time's hour and minute as the tables write them: -1 each for none.
int32_t HourOf(const std::optional<TimeOfDay>& time) { return time ? time->Hour : -1; }
int32_t MinuteOf(const std::optional<TimeOfDay>& time) { return time ? time->Minute : -1; }

using testing::FakeOs;

const std::wstring kPath = L"C:\\Profiles\\Night.ini";

class PowerSettingsTest : public ::testing::Test {
 protected:
  void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    os.SetProfileValue(kPath, section, key, value);
  }
  void SetGeneral() {
    Set(L"GENERAL", L"Version", L"2.00.000");
    Set(L"GENERAL", L"Name", L"Night");
  }
  bool Load(PowerSettings& out) { return LoadPowerSettings(os, kPath, out); }

  FakeOs os;
};

TEST_F(PowerSettingsTest, OnlyVersionAndNameLoadsWithDefaults) {
  SetGeneral();
  PowerSettings s;
  ASSERT_TRUE(Load(s));
  EXPECT_EQ(s.Version, L"2.00.000");
  EXPECT_EQ(s.Name, L"Night");
  for (int32_t v : {s.DisplayAcTime, s.DisplayDcTime, s.HddAcTime, s.HddDcTime, s.SleepAcTime,
                    s.SleepDcTime, s.StopAcTime, s.StopDcTime, s.StopCheckBox})
    EXPECT_EQ(v, 0);
  EXPECT_EQ(s.DisplayAcBright, 100);
  EXPECT_EQ(s.DisplayDcBright, 100);
  for (const std::optional<TimeOfDay>& t : {s.SleepStartTime, s.ResumeTime, s.StartTime, s.EndTime})
    EXPECT_EQ(t, std::nullopt);
  for (const TaskEntry& e : {s.TaskSleep, s.StartTaskProfile, s.EndTaskProfile}) {
    EXPECT_EQ(e.TaskName, L"");
    EXPECT_EQ(e.TaskId, -1);
  }
}

TEST_F(PowerSettingsTest, EveryKeyIsStoredInItsField) {
  SetGeneral();
  Set(L"DISPLAY", L"DisplayAcTime", L"1");
  Set(L"DISPLAY", L"DisplayDcTime", L"2");
  Set(L"DISPLAY", L"DisplayAcBright", L"30");
  Set(L"DISPLAY", L"DisplayDcBright", L"40");
  Set(L"HDD", L"HddAcTime", L"3");
  Set(L"HDD", L"HddDcTime", L"4");
  Set(L"SYSTEM", L"SleepAcTime", L"5");
  Set(L"SYSTEM", L"SleepDcTime", L"6");
  Set(L"SYSTEM", L"StopAcTime", L"7");
  Set(L"SYSTEM", L"StopDcTime", L"8");
  Set(L"SYSTEM", L"StopCheckBox", L"1");
  Set(L"SYSTEM", L"SleepStartTime", L"2230");
  Set(L"SYSTEM", L"ResumeTime", L"615");
  Set(L"SETTING", L"StartTime", L"900");
  Set(L"SETTING", L"EndTime", L"1745");
  Set(L"TASK_SLEEP", L"TaskName", L"Sleep");
  Set(L"TASK_SLEEP", L"TaskId", L"11");
  Set(L"START_TASK_PROFILE", L"TaskName", L"Start");
  Set(L"START_TASK_PROFILE", L"TaskId", L"12");
  Set(L"END_TASK_PROFILE", L"TaskName", L"End");
  Set(L"END_TASK_PROFILE", L"TaskId", L"13");
  PowerSettings s;
  ASSERT_TRUE(Load(s));
  EXPECT_EQ(std::vector<int32_t>({s.DisplayAcTime, s.DisplayDcTime, s.DisplayAcBright,
                                  s.DisplayDcBright, s.HddAcTime, s.HddDcTime, s.SleepAcTime,
                                  s.SleepDcTime, s.StopAcTime, s.StopDcTime, s.StopCheckBox}),
            std::vector<int32_t>({1, 2, 30, 40, 3, 4, 5, 6, 7, 8, 1}));
  EXPECT_EQ(std::vector<int32_t>({HourOf(s.SleepStartTime), MinuteOf(s.SleepStartTime),
                                  HourOf(s.ResumeTime), MinuteOf(s.ResumeTime),
                                  HourOf(s.StartTime), MinuteOf(s.StartTime), HourOf(s.EndTime),
                                  MinuteOf(s.EndTime)}),
            std::vector<int32_t>({22, 30, 6, 15, 9, 0, 17, 45}));
  EXPECT_EQ(s.TaskSleep.TaskName, L"Sleep");
  EXPECT_EQ(s.TaskSleep.TaskId, 11);
  EXPECT_EQ(s.StartTaskProfile.TaskName, L"Start");
  EXPECT_EQ(s.StartTaskProfile.TaskId, 12);
  EXPECT_EQ(s.EndTaskProfile.TaskName, L"End");
  EXPECT_EQ(s.EndTaskProfile.TaskId, 13);
}

struct IntCase {
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* text;
  std::function<int32_t(const PowerSettings&)> field;
  int32_t expected;
};

TEST_F(PowerSettingsTest, IntegerClampsAndNormalisation) {
  const std::vector<IntCase> cases = {
      {L"DISPLAY", L"DisplayAcTime", L"-5", [](auto& s) { return s.DisplayAcTime; }, 0},
      {L"DISPLAY", L"DisplayDcTime", L"-2147483648", [](auto& s) { return s.DisplayDcTime; }, 0},
      {L"HDD", L"HddAcTime", L"-1", [](auto& s) { return s.HddAcTime; }, 0},
      {L"HDD", L"HddDcTime", L"2147483647", [](auto& s) { return s.HddDcTime; }, 2147483647},
      {L"SYSTEM", L"SleepAcTime", L"-9", [](auto& s) { return s.SleepAcTime; }, 0},
      {L"SYSTEM", L"SleepDcTime", L"-9", [](auto& s) { return s.SleepDcTime; }, 0},
      {L"SYSTEM", L"StopAcTime", L"-9", [](auto& s) { return s.StopAcTime; }, 0},
      {L"SYSTEM", L"StopDcTime", L"-9", [](auto& s) { return s.StopDcTime; }, 0},
      {L"SYSTEM", L"StopCheckBox", L"2", [](auto& s) { return s.StopCheckBox; }, 0},
      {L"SYSTEM", L"StopCheckBox", L"1", [](auto& s) { return s.StopCheckBox; }, 1},
      {L"SYSTEM", L"StopCheckBox", L"-1", [](auto& s) { return s.StopCheckBox; }, 0},
      {L"DISPLAY", L"DisplayAcBright", L"47", [](auto& s) { return s.DisplayAcBright; }, 45},
      {L"DISPLAY", L"DisplayAcBright", L"4", [](auto& s) { return s.DisplayAcBright; }, 0},
      {L"DISPLAY", L"DisplayAcBright", L"0", [](auto& s) { return s.DisplayAcBright; }, 0},
      {L"DISPLAY", L"DisplayAcBright", L"100", [](auto& s) { return s.DisplayAcBright; }, 100},
      {L"DISPLAY", L"DisplayAcBright", L"101", [](auto& s) { return s.DisplayAcBright; }, 100},
      {L"DISPLAY", L"DisplayAcBright", L"-7", [](auto& s) { return s.DisplayAcBright; }, 100},
      {L"DISPLAY", L"DisplayDcBright", L"73", [](auto& s) { return s.DisplayDcBright; }, 70},
      {L"DISPLAY", L"DisplayDcBright", L"250", [](auto& s) { return s.DisplayDcBright; }, 100},
      {L"DISPLAY", L"DisplayDcBright", L"99", [](auto& s) { return s.DisplayDcBright; }, 95},
      {L"TASK_SLEEP", L"TaskId", L"-7", [](auto& s) { return s.TaskSleep.TaskId; }, -1},
      {L"START_TASK_PROFILE", L"TaskId", L"-7",
       [](auto& s) { return s.StartTaskProfile.TaskId; }, -1},
      {L"END_TASK_PROFILE", L"TaskId", L"-2147483648",
       [](auto& s) { return s.EndTaskProfile.TaskId; }, -1},
      {L"END_TASK_PROFILE", L"TaskId", L"0", [](auto& s) { return s.EndTaskProfile.TaskId; }, 0},
      // Values beyond 32 bits wrap as the platform's reading does.
      {L"DISPLAY", L"DisplayAcTime", L"4294967295", [](auto& s) { return s.DisplayAcTime; }, 0},
      {L"DISPLAY", L"DisplayAcTime", L"4294967301", [](auto& s) { return s.DisplayAcTime; }, 5},
      {L"HDD", L"HddAcTime", L"2147483648", [](auto& s) { return s.HddAcTime; }, 0},
      {L"DISPLAY", L"DisplayDcBright", L"4294967296", [](auto& s) { return s.DisplayDcBright; },
       0},
      {L"DISPLAY", L"DisplayDcBright", L"4294967295", [](auto& s) { return s.DisplayDcBright; },
       100},
      {L"SYSTEM", L"StopCheckBox", L"4294967297", [](auto& s) { return s.StopCheckBox; }, 1},
  };
  for (const IntCase& c : cases) {
    os = FakeOs();
    SetGeneral();
    Set(c.section, c.key, c.text);
    PowerSettings s;
    ASSERT_TRUE(Load(s));
    EXPECT_EQ(c.field(s), c.expected) << c.section << L"/" << c.key << L"=" << c.text;
  }
}

struct TimeCase {
  const wchar_t* text;
  int32_t hour;
  int32_t minute;
};

TEST_F(PowerSettingsTest, TimeRuleForEveryTimeKey) {
  const std::vector<TimeCase> cases = {
      {L"0", 0, 0},       {L"930", 9, 30},     {L"2359", 23, 59},  {L"2460", 23, 59},
      {L"2575", 23, 59},  {L"1299", 12, 59},   {L"-1", -1, -1},    {L"-3", -1, -1},
      {L"59", 0, 59},     {L"2147483647", 23, 47},                 {L"-2147483648", -1, -1},
      {L"4294967295", -1, -1},
  };
  const std::vector<std::pair<const wchar_t*, const wchar_t*>> keys = {
      {L"SYSTEM", L"SleepStartTime"},
      {L"SYSTEM", L"ResumeTime"},
      {L"SETTING", L"StartTime"},
      {L"SETTING", L"EndTime"}};
  for (size_t k = 0; k < keys.size(); ++k) {
    for (const TimeCase& c : cases) {
      os = FakeOs();
      SetGeneral();
      Set(keys[k].first, keys[k].second, c.text);
      PowerSettings s;
      ASSERT_TRUE(Load(s));
      const std::optional<TimeOfDay> times[] = {s.SleepStartTime, s.ResumeTime, s.StartTime,
                                                 s.EndTime};
      EXPECT_EQ(HourOf(times[k]), c.hour) << keys[k].second << L"=" << c.text;
      EXPECT_EQ(MinuteOf(times[k]), c.minute) << keys[k].second << L"=" << c.text;
    }
  }
}

TEST(PowerSettingsRulesTest, SplitTimeOfDayResult) {
  std::optional<TimeOfDay> time;
  EXPECT_EQ(SplitTimeOfDay(2575, time), 2359);
  EXPECT_EQ(SplitTimeOfDay(1299, time), 1259);
  EXPECT_EQ(SplitTimeOfDay(2147483647, time), 2347);
  EXPECT_EQ(SplitTimeOfDay(-2147483647 - 1, time), -2147483647 - 1);
  EXPECT_EQ(time, std::nullopt);
}

TEST(PowerSettingsRulesTest, NormalizeBrightnessBounds) {
  EXPECT_EQ(NormalizeBrightness(-2147483647 - 1), 100);
  EXPECT_EQ(NormalizeBrightness(2147483647), 100);
  EXPECT_EQ(NormalizeBrightness(5), 5);
  EXPECT_EQ(NormalizeBrightness(9), 5);
}

TEST_F(PowerSettingsTest, MissingVersionFailsBeforeNameIsRead) {
  Set(L"GENERAL", L"Name", L"Night");
  PowerSettings s;
  EXPECT_FALSE(Load(s));
  EXPECT_EQ(s.Name, L"");
}

TEST_F(PowerSettingsTest, EmptyNameFails) {
  Set(L"GENERAL", L"Version", L"2.00.000");
  Set(L"GENERAL", L"Name", L"");
  PowerSettings s;
  EXPECT_FALSE(Load(s));
}

TEST_F(PowerSettingsTest, MissingFileFailsAndLeavesDefaults) {
  os.SetProfileValue(L"C:\\Other\\Night.ini", L"GENERAL", L"Name", L"Night");
  PowerSettings s;
  s.Name = L"stale";
  s.DisplayAcTime = 42;
  EXPECT_FALSE(Load(s));
  EXPECT_EQ(s.Version, L"2.00.000");
  EXPECT_EQ(s.Name, L"");
  EXPECT_EQ(s.DisplayAcTime, 0);
  EXPECT_EQ(s.DisplayAcBright, -1);
}

TEST_F(PowerSettingsTest, EmptyPathLoadsNothing) {
  SetGeneral();
  PowerSettings s;
  s.Name = L"kept";
  EXPECT_FALSE(ReadPowerSettingsFile(os, L"", s));
  EXPECT_EQ(s.Name, L"kept");
  EXPECT_FALSE(LoadPowerSettings(os, L"", s));
  EXPECT_EQ(s.Name, L"");  // the output is always written: the defaults
  EXPECT_EQ(s.Version, L"2.00.000");
}

TEST_F(PowerSettingsTest, LongTextValuesAreCutTo1023Characters) {
  const std::wstring longName(1500, L'名');
  Set(L"GENERAL", L"Version", L"2.00.000");
  Set(L"GENERAL", L"Name", longName);
  Set(L"END_TASK_PROFILE", L"TaskName", std::wstring(1024, L'x'));
  PowerSettings s;
  ASSERT_TRUE(Load(s));
  EXPECT_EQ(s.Name, longName.substr(0, 1023));
  EXPECT_EQ(s.EndTaskProfile.TaskName, std::wstring(1023, L'x'));
}

TEST_F(PowerSettingsTest, ReadFileReportsEveryKeyRead) {
  SetGeneral();
  PowerSettings s;
  EXPECT_TRUE(ReadPowerSettingsFile(os, kPath, s));
  const std::wstring missing = L"C:\\none.ini";
  s.Name = L"unchanged";
  EXPECT_FALSE(ReadPowerSettingsFile(os, missing, s));
  EXPECT_EQ(s.Name, L"unchanged");
}

}  // namespace
}  // namespace tav
