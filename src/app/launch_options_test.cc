#include "app/launch_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

// Records every existence test, in order.
class ExistenceRecordingOs : public FakeOs {
 public:
  bool Exists(const std::wstring& path) override {
    existenceTests.push_back(path);
    return everythingExists || FakeOs::Exists(path);
  }
  std::vector<std::wstring> existenceTests;
  bool everythingExists = false;
};

// --- Tokens, separators, keys and quotes ------------------------------------

struct TokenCase {
  const char* name;
  std::wstring commandLine;
  bool pathOptionSeen;
  std::wstring settingsPath;
  std::wstring taskListPath;
  bool skipOnXp;
};

TEST(LaunchOptionsGrammarTest, TokensKeysAndQuotes) {
  const TokenCase cases[] = {
      {"quoted settings path", L"/N:\"C:\\p\\s.ini\"", true, L"C:\\p\\s.ini", L"", false},
      {"first token needs no slash", L"N:\"C:\\s.ini\"", true, L"C:\\s.ini", L"", false},
      {"runs of slashes are one separator", L"///N:a////F:b//", true, L"a", L"b", false},
      {"no blank between options", L"/N:a/F:b/I", true, L"a", L"b", true},
      {"white space around and between", L" \t /N:a \r\n /F:b \v\f ", true, L"a", L"b", false},
      {"blank token stops the scan", L"/I / /N:a", false, L"", L"", true},
      {"tab-only token stops the scan", L"/F:b/\t/N:a", true, L"", L"b", false},
      {"forward slash cuts a path", L"/N:C:/Windows/s.ini", true, L"C:", L"", false},
      {"second option wins", L"/N:a /N:b /F:c /F:d", true, L"b", L"d", false},
      {"lower-case keys", L"/n:a /f:b /i", true, L"a", L"b", true},
      {"I with blanks around it", L"/ I /N:a", true, L"a", L"", true},
      {"IX is no option", L"/IX /N:a", true, L"a", L"", false},
      {"I: is no option", L"/I: /N:a", true, L"a", L"", false},
      {"unknown keys ignored", L"/X:1 /NN:2 /Q /N:a", true, L"a", L"", false},
      {"key without colon is unknown", L"/N /F", false, L"", L"", false},
      {"empty N: value", L"/N:", true, L"", L"", false},
      {"N: of two quotes", L"/N:\"\"", true, L"", L"", false},
      {"N: of one quote", L"/N:\"", true, L"", L"", false},
      {"doubled quotes around x", L"/N:\"\"x\"\"", true, L"x", L"", false},
      {"unbalanced quotes", L"/N:\"\"\"a\" /F:b\"\"", true, L"a", L"b", false},
      {"inner quotes stay", L"/N:a\"b\"c", true, L"a\"b\"c", L"", false},
      {"blank inside quotes stays", L"/N:\"C:\\my dir\\s.ini\"", true, L"C:\\my dir\\s.ini", L"",
       false},
      {"blank before the opening quote stays", L"/N: \"C:\\s.ini\"", true, L" \"C:\\s.ini", L"",
       false},
      {"text behind a closing quote", L"/F:\"C:\\l.txt\" x", true, L"", L"C:\\l.txt\" x", false},
      {"empty command line", L"", false, L"", L"", false},
      {"blank command line", L" \t\r\n", false, L"", L"", false},
      {"slashes only", L"////", false, L"", L"", false},
      {"times only", L"/S:0930 /T:0100", false, L"", L"", false},
      {"I only", L"/I", false, L"", L"", true},
      {"text behind a NUL is not read", std::wstring(L"/N:a\0/F:b", 9), true, L"a", L"", false},
  };
  for (const TokenCase& c : cases) {
    SCOPED_TRACE(c.name);
    LaunchOptions options;
    options.SettingsPath = L"stale";
    options.SkipOnXp = true;
    EXPECT_EQ(ParseLaunchOptions(c.commandLine, options), c.pathOptionSeen);
    EXPECT_EQ(options.SettingsPath, c.settingsPath);
    EXPECT_EQ(options.TaskListPath, c.taskListPath);
    EXPECT_EQ(options.SkipOnXp, c.skipOnXp);
  }
}

// --- Time values --------------------------------------------------------------

// A time's hour and minute as the tables write them: -1 each for none.
int32_t HourOf(const std::optional<TimeOfDay>& time) { return time ? time->Hour : -1; }
int32_t MinuteOf(const std::optional<TimeOfDay>& time) { return time ? time->Minute : -1; }

struct TimeCase {
  const char* name;
  std::wstring commandLine;
  bool suspend;
  bool hibernate;
  int32_t actionHour, actionMinute, handOffHour, handOffMinute;
};

TEST(LaunchOptionsTimeTest, SuspendHibernateAndHandOffTimes) {
  const TimeCase cases[] = {
      {"suspend", L"/N:a /S:0930", true, false, 9, 30, -1, -1},
      {"hibernate", L"/N:a /H:2200", false, true, 22, 0, -1, -1},
      {"lower-case keys", L"/s:0930 /h:2200 /t:0105", true, true, 22, 0, 1, 5},
      {"midnight", L"/S:0000", true, false, 0, 0, -1, -1},
      {"no range test", L"/S:2460", true, false, 24, 60, -1, -1},
      {"largest value", L"/S:9999", true, false, 99, 99, -1, -1},
      {"three digits", L"/S:930", false, false, -1, -1, -1, -1},
      {"five digits", L"/S:09300", false, false, -1, -1, -1, -1},
      {"colon inside", L"/S:09:30", false, false, -1, -1, -1, -1},
      {"blank after the key", L"/S: 0930", false, false, -1, -1, -1, -1},
      {"letter among the digits", L"/S:09a0", false, false, -1, -1, -1, -1},
      {"sign", L"/S:-930", false, false, -1, -1, -1, -1},
      {"full-width digits", L"/S:\xFF10\xFF19\xFF13\xFF10", false, false, -1, -1, -1, -1},
      {"empty time", L"/S:", false, false, -1, -1, -1, -1},
      {"both, H: last", L"/S:0930 /H:2200", true, true, 22, 0, -1, -1},
      {"both, S: last", L"/H:2200 /S:0930", true, true, 9, 30, -1, -1},
      {"rejected H: resets the action time", L"/S:0930 /H:22", true, false, -1, -1, -1, -1},
      {"last S: wins", L"/S:0930 /S:1015", true, false, 10, 15, -1, -1},
      {"flag stays after a rejected S:", L"/S:0930 /S:x", true, false, -1, -1, -1, -1},
      {"T: alone is dropped", L"/N:a /T:0630", false, false, -1, -1, -1, -1},
      {"T: after S:", L"/S:2330 /T:0630", true, false, 23, 30, 6, 30},
      {"T: before S:", L"/T:0630 /S:2330", true, false, 23, 30, 6, 30},
      {"T: with a rejected S:", L"/T:0630 /S:23", false, false, -1, -1, -1, -1},
      {"malformed T:", L"/S:2330 /T:063", true, false, 23, 30, -1, -1},
      {"rejected T: resets the hand-off time", L"/S:2330 /T:0630 /T:6", true, false, 23, 30, -1,
       -1},
      {"times behind a blank token are not read", L"/S:0930 / /H:2200", true, false, 9, 30, -1,
       -1},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.name);
    LaunchOptions options;
    ParseLaunchOptions(c.commandLine, options);
    EXPECT_EQ(options.SuspendRequested, c.suspend);
    EXPECT_EQ(options.HibernateRequested, c.hibernate);
    EXPECT_EQ(HourOf(options.ActionTime), c.actionHour);
    EXPECT_EQ(MinuteOf(options.ActionTime), c.actionMinute);
    EXPECT_EQ(HourOf(options.HandOffTime), c.handOffHour);
    EXPECT_EQ(MinuteOf(options.HandOffTime), c.handOffMinute);
  }
}

TEST(LaunchOptionsTimeTest, TimeValueResetsBeforeTesting) {
  EXPECT_EQ(ParseTimeValue(L""), std::nullopt);
  const std::wstring shortToken = L"S";
  EXPECT_EQ(ParseTimeValue(shortToken), std::nullopt);
  // The key is not checked here: any two characters are skipped.
  const std::wstring token = L"xy1234";
  EXPECT_EQ(ParseTimeValue(token), (TimeOfDay{12, 34}));
}

// --- Validity -----------------------------------------------------------------

struct ValidityCase {
  const char* name;
  std::wstring commandLine;
  bool valid;
  std::vector<std::wstring> existenceTests;
};

TEST(LaunchOptionsValidityTest, SettingsPathFirstThenListPath) {
  const std::wstring settings = L"C:\\data\\Setting.ini";
  const std::wstring list = L"C:\\data\\list.txt";
  const ValidityCase cases[] = {
      {"settings file", L"/N:\"" + settings + L"\"", true, {settings}},
      {"list file", L"/F:\"" + list + L"\"", true, {list}},
      {"both exist: list not tested", L"/N:" + settings + L" /F:" + list, true, {settings}},
      {"missing settings, existing list", L"/N:C:\\none.ini /F:" + list, true,
       {L"C:\\none.ini", list}},
      {"existing settings, missing list", L"/N:" + settings + L" /F:C:\\none.txt", true,
       {settings}},
      {"neither exists", L"/N:C:\\none.ini /F:C:\\none.txt", false,
       {L"C:\\none.ini", L"C:\\none.txt"}},
      {"empty N: beside a list", L"/N: /F:" + list, true, {list}},
      {"empty N: alone", L"/N:\"\"", false, {}},
      {"I alone", L"/I", false, {}},
      {"I with a settings file", L"/I /N:" + settings, true, {settings}},
      {"no path option", L"/S:0930", false, {}},
      {"a folder exists too", L"/N:C:\\data", true, {L"C:\\data"}},
      {"path cut at a forward slash names a drive", L"/N:C:/x/s.ini", true, {L"C:"}},
      {"blank before the quote", L"/N: \"" + settings + L"\"", false,
       {L" \"" + settings}},
      {"path case is the platform's", L"/N:c:\\DATA\\setting.INI", true,
       {L"c:\\DATA\\setting.INI"}},
  };
  for (const ValidityCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExistenceRecordingOs os;
    os.AddFolder(L"C:");
    os.AddFolder(L"C:\\data");
    os.AddFile(settings);
    os.AddFile(list);
    LaunchOptions options;
    EXPECT_EQ(ReadLaunchOptions(os, c.commandLine, options), c.valid);
    EXPECT_EQ(os.existenceTests, c.existenceTests);
    EXPECT_TRUE(os.events.empty());  // nothing but existence tests
  }
}

TEST(LaunchOptionsValidityTest, EmptyPathNeverExistsWhateverThePlatformSays) {
  ExistenceRecordingOs os;
  os.everythingExists = true;
  for (const std::wstring commandLine : {L"/N:", L"/F:\"\"", L"/N: /F:"}) {
    LaunchOptions options;
    EXPECT_FALSE(ReadLaunchOptions(os, commandLine, options));
  }
}

TEST(LaunchOptionsValidityTest, OptionsAreAlwaysFullyWritten) {
  FakeOs os;
  LaunchOptions stale;
  stale.SettingsPath = L"x";
  stale.TaskListPath = L"y";
  stale.SkipOnXp = stale.SuspendRequested = stale.HibernateRequested = true;
  stale.ActionTime = stale.HandOffTime = TimeOfDay{5, 5};

  // Empty command line: every field back to its default.
  LaunchOptions options = stale;
  EXPECT_FALSE(ReadLaunchOptions(os, L"", options));
  EXPECT_EQ(options.SettingsPath, L"");
  EXPECT_EQ(options.TaskListPath, L"");
  EXPECT_FALSE(options.SkipOnXp || options.SuspendRequested || options.HibernateRequested);
  EXPECT_EQ(HourOf(options.ActionTime), -1);
  EXPECT_EQ(MinuteOf(options.ActionTime), -1);
  EXPECT_EQ(HourOf(options.HandOffTime), -1);
  EXPECT_EQ(MinuteOf(options.HandOffTime), -1);

  // Unusable command line: what was parsed, nothing of the old values.
  options = stale;
  const std::wstring commandLine = L"/N:C:\\none.ini /H:0100";
  EXPECT_FALSE(ReadLaunchOptions(os, commandLine, options));
  EXPECT_EQ(options.SettingsPath, L"C:\\none.ini");
  EXPECT_EQ(options.TaskListPath, L"");
  EXPECT_FALSE(options.SkipOnXp || options.SuspendRequested);
  EXPECT_TRUE(options.HibernateRequested);
  EXPECT_EQ(HourOf(options.ActionTime), 1);
  EXPECT_EQ(MinuteOf(options.ActionTime), 0);
  EXPECT_EQ(HourOf(options.HandOffTime), -1);
  EXPECT_EQ(MinuteOf(options.HandOffTime), -1);
}

TEST(LaunchOptionsValidityTest, WellFormedCommandLineFillsEveryField) {
  FakeOs os;
  os.AddFile(L"C:\\Program Data\\Setting.ini");
  const std::wstring commandLine =
      L"/N:\"C:\\Program Data\\Setting.ini\" /F:\"C:\\Program Data\\list.txt\" /I /S:2330 "
      L"/T:0645";
  LaunchOptions options;
  ASSERT_TRUE(ReadLaunchOptions(os, commandLine, options));
  EXPECT_EQ(options.SettingsPath, L"C:\\Program Data\\Setting.ini");
  EXPECT_EQ(options.TaskListPath, L"C:\\Program Data\\list.txt");
  EXPECT_TRUE(options.SkipOnXp);
  EXPECT_TRUE(options.SuspendRequested);
  EXPECT_FALSE(options.HibernateRequested);
  EXPECT_EQ(HourOf(options.ActionTime), 23);
  EXPECT_EQ(MinuteOf(options.ActionTime), 30);
  EXPECT_EQ(HourOf(options.HandOffTime), 6);
  EXPECT_EQ(MinuteOf(options.HandOffTime), 45);
}

}  // namespace
}  // namespace tav
