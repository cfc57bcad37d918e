#include "app/entry.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "shared/windows_version.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

// A FakeOs that also records the start-up calls the entry makes, so that
// their order shows in `events`.
class StartUpOs : public FakeOs {
 public:
  void SelectUserLocale() override {
    events.push_back(L"SelectLocale");
    FakeOs::SelectUserLocale();
  }
  std::optional<uint32_t> SessionOf(uint32_t processId) override {
    events.push_back(L"Session");
    return FakeOs::SessionOf(processId);
  }
  bool Exists(const std::wstring& path) override {
    events.push_back(L"Exists:" + path);
    return FakeOs::Exists(path);
  }
};

// Run steps that write "Step:<name>" into the OS's event list, so that the run
// shows between the mutex events.
class EventSteps : public RunSteps {
 public:
  explicit EventSteps(FakeOs& os) : os_(os) {}
  bool ProcessTaskRegistrationList(const std::wstring&) override { return Step(L"TaskList"); }
  bool LoadPowerSettings(const std::wstring&, PowerSettings& out) override {
    out.Name = L"Eco";
    if (onLoad) onLoad();
    return Step(L"Load");
  }
  std::optional<AppliedPlan> ApplyPowerSettings(const std::wstring&,
                                                const PowerSettings&) override {
    if (!Step(L"Apply")) return std::nullopt;
    return AppliedPlan{};
  }
  bool WriteCurrentPlanRecord(const std::wstring&, const std::wstring&,
                              const std::wstring&) override {
    return Step(L"Record");
  }
  bool RemoveDedicatedPlan(const std::wstring&) override { return Step(L"Remove"); }
  bool HandOffSuspend(bool, const std::optional<TimeOfDay>&) override { return Step(L"HandOff"); }
  int64_t Now() override { return os_.Now(); }
  std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) override {
    return os_.LocalTimeOfDay(seconds);
  }

  int calls = 0;
  bool failLoad = false;
  std::function<void()> onLoad;

 private:
  bool Step(const std::wstring& name) {
    ++calls;
    os_.events.push_back(L"Step:" + name);
    return !(name == L"Load" && failLoad);
  }
  FakeOs& os_;
};

const std::wstring kSettings = L"C:\\data\\Setting.ini";
const std::wstring kValid = L"/N:\"" + kSettings + L"\"";
const std::wstring kFindWindow = L"FindWindow:TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS";

std::vector<std::wstring> Concat(std::initializer_list<std::vector<std::wstring>> parts) {
  std::vector<std::wstring> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

void ExpectFinishedMessageOnce(const FakeOs& os, bool windowExists) {
  if (!windowExists) {
    EXPECT_TRUE(os.postedMessages.empty());
    return;
  }
  ASSERT_EQ(os.postedMessages.size(), 1u);
  EXPECT_EQ(os.postedMessages[0].Window, 0x1234u);
  EXPECT_EQ(os.postedMessages[0].Message, 0x83E8u);
  EXPECT_EQ(os.postedMessages[0].WParam, 0u);
  EXPECT_EQ(os.postedMessages[0].LParam, 0);
}

struct EntryCase {
  const char* name;
  std::function<void(StartUpOs&, EventSteps&)> setUp;
  std::wstring commandLine;
  int exitCode;
  std::vector<std::wstring> events;  // with a main window; PostMessage dropped without one
};

TEST(EntryTest, EveryPathEndsWithItsExitCodeAndOneMessage) {
  const std::vector<std::wstring> start = {L"SelectLocale", L"Session"};
  const std::vector<std::wstring> parse = {L"Exists:" + kSettings};
  const std::vector<std::wstring> run = {
      L"CreateMutex:MUTEX_TAV_POWERSAVE_SETTING", L"Step:Load", L"Step:Apply", L"Step:Record",
      L"ReleaseMutex", L"CloseMutex"};
  const std::vector<std::wstring> notify = {kFindWindow, L"PostMessage"};
  auto none = [](StartUpOs&, EventSteps&) {};

  const EntryCase cases[] = {
      {"success", none, kValid, 0, Concat({start, parse, run, notify})},
      {"session 0 is the console session", [](StartUpOs& os,
                                              EventSteps&) { os.processSession = os.consoleSession = 0; },
       kValid, 0, Concat({start, parse, run, notify})},
      {"other session: not parsed", [](StartUpOs& os, EventSteps&) { os.processSession = 2; },
       kValid, 0, Concat({start, notify})},
      {"session unknown: not parsed", [](StartUpOs& os, EventSteps&) { os.sessionCallFails = true; },
       kValid, 0, Concat({start, notify})},
      {"empty command line", none, L"", 1280, Concat({start, notify})},
      {"no path option", none, L"/S:0930", 1280, Concat({start, notify})},
      {"missing settings file", none, L"/N:C:\\none.ini", 1280,
       Concat({start, {L"Exists:C:\\none.ini"}, notify})},
      {"I on XP does nothing",
       [](StartUpOs& os, EventSteps&) {
         os.versionMajor = 5;
         os.versionMinor = 1;
       },
       L"/I " + kValid, 0, Concat({start, parse, {L"VerifyVersion"}, notify})},
      {"I on Server 2003 changes nothing",
       [](StartUpOs& os, EventSteps&) {
         os.versionMajor = 5;
         os.versionMinor = 2;
       },
       L"/I " + kValid, 0, Concat({start, parse, {L"VerifyVersion"}, run, notify})},
      {"XP without I runs; version not asked",
       [](StartUpOs& os, EventSteps&) {
         os.versionMajor = 5;
         os.versionMinor = 1;
       },
       kValid, 0, Concat({start, parse, run, notify})},
      {"mutex held elsewhere", [](StartUpOs& os, EventSteps&) { os.mutexHeldElsewhere = true; },
       kValid, 0,
       Concat({start, parse,
               {L"CreateMutex:MUTEX_TAV_POWERSAVE_SETTING", L"ReleaseMutex", L"CloseMutex"},
               notify})},
      {"mutex not creatable", [](StartUpOs& os, EventSteps&) { os.mutexCreationFails = true; },
       kValid, 0,
       Concat({start, parse, {L"CreateMutex:MUTEX_TAV_POWERSAVE_SETTING"}, notify})},
      {"run fails", [](StartUpOs&, EventSteps& steps) { steps.failLoad = true; }, kValid, 1280,
       Concat({start, parse,
               {L"CreateMutex:MUTEX_TAV_POWERSAVE_SETTING", L"Step:Load", L"ReleaseMutex",
                L"CloseMutex"},
               notify})},
  };
  for (const EntryCase& c : cases) {
    for (bool windowExists : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (windowExists ? "" : ", no main window"));
      StartUpOs os;
      os.windowExists = windowExists;
      os.AddFile(kSettings);
      EventSteps steps(os);
      c.setUp(os, steps);

      const int exitCode = RunEntry(os, steps, c.commandLine);

      EXPECT_EQ(exitCode, c.exitCode);
      std::vector<std::wstring> expected = c.events;
      if (!windowExists) expected.pop_back();  // no PostMessage
      EXPECT_EQ(os.events, expected);
      ExpectFinishedMessageOnce(os, windowExists);
      EXPECT_EQ(os.localeSelections, 1);
    }
  }
}

TEST(EntryTest, SecondStartDuringARunStepsAsideAndMutexIsFreeAfterwards) {
  StartUpOs os;
  os.AddFile(kSettings);
  EventSteps first(os);
  EventSteps second(os);
  int secondExit = -1;
  first.onLoad = [&] { secondExit = RunEntry(os, second, kValid); };

  EXPECT_EQ(RunEntry(os, first, kValid), 0);
  EXPECT_EQ(secondExit, 0);
  EXPECT_EQ(second.calls, 0);
  EXPECT_EQ(os.postedMessages.size(), 2u);  // one for each start

  // The first start released its ownership: a third start runs.
  EventSteps third(os);
  EXPECT_EQ(RunEntry(os, third, kValid), 0);
  EXPECT_EQ(third.calls, 3);
}

TEST(EntryTest, InstanceMutexHelpers) {
  FakeOs os;
  std::unique_ptr<OsMutex> owned = AcquireInstanceMutex(os);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(AcquireInstanceMutex(os), nullptr);  // this process owns it already
  ReleaseInstanceMutex(std::move(owned));
  ReleaseInstanceMutex(nullptr);  // no handle: nothing happens
  EXPECT_EQ(os.events, (std::vector<std::wstring>{
                           L"CreateMutex:MUTEX_TAV_POWERSAVE_SETTING",
                           L"CreateMutex:MUTEX_TAV_POWERSAVE_SETTING", L"ReleaseMutex",
                           L"CloseMutex", L"ReleaseMutex", L"CloseMutex"}));
  EXPECT_NE(AcquireInstanceMutex(os), nullptr);  // free again
}

TEST(WindowsVersionTest, OnlyVersionFiveOneIsXp) {
  struct {
    uint32_t major, minor;
    bool xp;
  } const cases[] = {{5, 1, true},   {5, 0, false}, {5, 2, false}, {6, 0, false},
                     {6, 1, false},  {10, 0, false}, {4, 1, false}, {6, 3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
    FakeOs os;
    os.versionMajor = c.major;
    os.versionMinor = c.minor;
    EXPECT_EQ(IsWindowsXp(os), c.xp);
  }
}

// --- Hostile command lines ------------------------------------------------------

std::wstring RandomCommandLine(std::mt19937& rng, size_t maxLength) {
  static const std::wstring interesting = L"//////\"\"\"   \t\r\n\v\fNnFfSsHhTtIi::0123456789\\.";
  std::uniform_int_distribution<size_t> length(0, maxLength);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_int_distribution<uint32_t> anyChar(0, 0x10FFFF);
  std::uniform_int_distribution<size_t> fromSet(0, interesting.size());  // includes the NUL
  std::wstring text;
  const size_t n = length(rng);
  for (size_t i = 0; i < n; ++i) {
    if (pick(rng) < 7) {
      size_t k = fromSet(rng);
      text += k < interesting.size() ? interesting[k] : L'\0';
    } else {
      text += static_cast<wchar_t>(anyChar(rng));
    }
  }
  return text;
}

std::vector<std::wstring> HugeCommandLines() {
  constexpr size_t kMegabyte = 1 << 20;
  std::wstring random;
  std::mt19937 rng(7);
  while (random.size() < kMegabyte) random += RandomCommandLine(rng, 4096);
  auto repeat = [](const std::wstring& piece) {
    std::wstring s;
    while (s.size() < kMegabyte) s += piece;
    return s;
  };
  return {
      std::wstring(kMegabyte, L'/'),
      std::wstring(kMegabyte, L'"'),
      std::wstring(kMegabyte, L'\0'),
      std::wstring(kMegabyte, L' '),
      L"/N:" + std::wstring(kMegabyte, L'a'),
      L"/F:" + std::wstring(kMegabyte, L'"'),
      L"/N:\"C:\\" + std::wstring(kMegabyte, L'\\') + L"\"",
      repeat(L"/N:\""),
      repeat(L"/S:0930/H:22/T:0100"),
      repeat(L"/I/n:x/f:y"),
      repeat(L"/\"/"),
      std::wstring(L"/N:x\0", 5) + std::wstring(kMegabyte, L'\0'),
      random,
  };
}

// Without any file on the machine no command line is usable: every start ends
// with 1280 and the message, and touches nothing.
TEST(EntryTest, HostileCommandLinesTouchNothing) {
  std::vector<std::wstring> lines = HugeCommandLines();
  std::mt19937 rng(20240611);
  for (int i = 0; i < 3000; ++i) lines.push_back(RandomCommandLine(rng, i < 2900 ? 200 : 20000));

  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE("command line #" + std::to_string(i));
    FakeOs os;
    ASSERT_EQ(RunEntry(os, lines[i]), 1280);
    ASSERT_EQ(os.events, (std::vector<std::wstring>{kFindWindow, L"PostMessage"}));
    ASSERT_TRUE(os.commandLines.empty());
    ASSERT_EQ(os.postedMessages.size(), 1u);
  }
}

// With a usable path somewhere in the noise, every start still ends with 0 or
// 1280, posts once and leaves the mutex free.
TEST(EntryTest, NoisyCommandLinesAroundAUsablePath) {
  std::mt19937 rng(99);
  for (int i = 0; i < 2000; ++i) {
    const std::wstring line =
        RandomCommandLine(rng, 60) + L" /" + kValid + L" /" + RandomCommandLine(rng, 60);
    SCOPED_TRACE("command line #" + std::to_string(i));
    FakeOs os;
    os.AddFile(kSettings);
    os.versionMajor = i % 2 ? 5 : 6;
    os.versionMinor = 1;
    EventSteps steps(os);
    const int exitCode = RunEntry(os, steps, line);
    ASSERT_TRUE(exitCode == 0 || exitCode == 1280) << exitCode;
    ASSERT_EQ(os.postedMessages.size(), 1u);
    ASSERT_GE(os.events.size(), 2u);
    ASSERT_EQ(os.events[os.events.size() - 2], kFindWindow);
    EXPECT_NE(AcquireInstanceMutex(os), nullptr);
  }
}

}  // namespace
}  // namespace tav
