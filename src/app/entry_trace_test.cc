// The diagnostic trace of whole runs on the fake platform: each failure
// reason a support engineer needs shows up, and the last line says how the
// run ended.
#include <gtest/gtest.h>

#include "app/entry.h"
#include "power/plan_discovery.h"
#include "shared/trace.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

const std::wstring kDataFolder = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE";
const std::wstring kMachineSettings = kDataFolder + L"\\Setting.ini";
const std::wstring kPrefix = L"TAV_PowerSaveSetting[4242]: ";

class EntryTraceTest : public ::testing::Test {
 protected:
  EntryTraceTest() { os.AddBuiltInPlans(); }
  void AddSettings(const std::wstring& path) {
    os.AddFolder(kDataFolder);
    os.AddFile(path);
    os.SetProfileValue(path, L"GENERAL", L"Version", L"1.00");
    os.SetProfileValue(path, L"GENERAL", L"Name", L"夜間");
  }
  int Run(const std::wstring& commandLine) { return RunEntry(os, commandLine); }
  // True when some trace line contains `text`.
  bool Traced(const std::wstring& text) const { return !os.TraceLinesWith(text).empty(); }
  std::wstring LastLine() const { return os.traceLines.empty() ? L"" : os.traceLines.back(); }

  FakeOs os;
};

TEST_F(EntryTraceTest, EveryLineCarriesTheToolAndItsProcess) {
  AddSettings(kMachineSettings);
  ASSERT_EQ(Run(L"/N:\"" + kMachineSettings + L"\""), 0);
  ASSERT_GT(os.traceLines.size(), 20u);
  for (const std::wstring& line : os.traceLines) EXPECT_EQ(line.rfind(kPrefix, 0), 0u);
  EXPECT_EQ(LastLine(), kPrefix + L"exit code 0: the settings were applied and recorded");
}

TEST_F(EntryTraceTest, UnusableCommandLineSaysWhichRule) {
  EXPECT_EQ(Run(L"/X:1/S:0930"), 1280);
  EXPECT_TRUE(Traced(L"command line unusable: no /N: or /F: option"));
  EXPECT_TRUE(Traced(L"options: /N:\"\" /F:\"\" /S:09:30"));
  EXPECT_EQ(LastLine(), kPrefix + L"exit code 1280: the command line is unusable");

  os.traceLines.clear();
  EXPECT_EQ(Run(L"/N:\"C:\\nowhere.ini\"/F:\"C:\\none.txt\""), 1280);
  EXPECT_TRUE(Traced(L"command line unusable: neither the settings file nor the task list exists"));

  os.traceLines.clear();
  EXPECT_EQ(RunEntry(os, L""), 1280);
  EXPECT_TRUE(Traced(L"command line unusable: no /N: or /F: option before the end of the scan"));
}

TEST_F(EntryTraceTest, SecondInstanceAndForeignSession) {
  AddSettings(kMachineSettings);
  os.mutexHeldElsewhere = true;
  EXPECT_EQ(Run(L"/N:\"" + kMachineSettings + L"\""), 0);
  EXPECT_TRUE(Traced(L"mutex: held by another instance"));
  EXPECT_EQ(LastLine(), kPrefix + L"exit code 0: no single-instance mutex: nothing done");

  FakeOs other;
  other.processSession = 2;
  EXPECT_EQ(RunEntry(other, L""), 0);
  EXPECT_FALSE(other.TraceLinesWith(L"session: 2, console session 1").empty());
  EXPECT_EQ(other.traceLines.back(), kPrefix + L"exit code 0: not the console session: nothing done");
}

TEST_F(EntryTraceTest, DiscoveryFailure) {
  AddSettings(kMachineSettings);
  os.powerLibraryAvailable = false;
  EXPECT_EQ(Run(L"/N:\"" + kMachineSettings + L"\""), 1280);
  EXPECT_TRUE(Traced(L"plan: powrprof.dll cannot be loaded"));
  EXPECT_EQ(LastLine(),
            kPrefix + L"exit code 1280: the plan could not be found, made, activated or configured");
}

TEST_F(EntryTraceTest, ChildThatCannotStartAndChildrenThatEnd) {
  AddSettings(kMachineSettings);
  os.canStart = [](const std::wstring& line) { return line.find(L"/CHANGENAME") == std::wstring::npos; };
  EXPECT_EQ(Run(L"/N:\"" + kMachineSettings + L"\""), 1280);
  EXPECT_TRUE(Traced(L"child not started: powercfg.exe /CHANGENAME "));

  // A started child is a success whatever its exit code; the trace shows it
  // with its program, exit code and duration.
  os = FakeOs();
  os.AddBuiltInPlans();
  AddSettings(kMachineSettings);
  os.childExitCode = 3;
  EXPECT_EQ(Run(L"/N:\"" + kMachineSettings + L"\""), 0);
  const auto ended = os.TraceLinesWith(L"child ended: powercfg.exe /SETACTIVE ");
  ASSERT_EQ(ended.size(), 2u);
  EXPECT_NE(ended[0].find(L"(program \"C:\\Windows\\system32\\powercfg.exe\"): exit code 3, 5 ms"),
            std::wstring::npos)
      << ended[0];
}

TEST_F(EntryTraceTest, RecordFailureWithRollBack) {
  AddSettings(kMachineSettings);
  os.failingProfileWrites.insert(L"c:\\programdata\\varento\\tav_powersave\\setting.ini");
  EXPECT_EQ(Run(L"/N:\"" + kMachineSettings + L"\""), 1280);
  EXPECT_TRUE(Traced(L"record: ProfilePath=" + kMachineSettings + L" in \"" + kMachineSettings +
                     L"\": failed"));
  EXPECT_TRUE(Traced(L"roll-back: the plan made for the data folder's settings file is removed"));
  EXPECT_TRUE(Traced(L"remove: plan "));
  EXPECT_TRUE(Traced(L"child ended: powercfg.exe /DELETE "));
  EXPECT_EQ(LastLine(),
            kPrefix + L"exit code 1280: the record could not be written; the plan was removed again");
}

TEST_F(EntryTraceTest, TaskEntriesAndTheHandOffCheckSayWhy) {
  const std::wstring list = L"C:\\Lists\\tasks.txt";
  os.AddFile(L"C:\\Tasks\\a.xml");
  os.AddFile(L"C:\\Tasks\\b.xml");
  os.AddFile(L"C:\\Tasks\\link.xml", L"", kFileAttributeReparsePoint);
  os.AddFile(list,
             L"/TN:A/XML:C:\\Tasks\\a.xml\n/TN:B/XML:C:\\Tasks\\missing.xml\n"
             L"/TN:C/XML:C:\\Tasks\\link.xml\n/TN:D\"x/XML:C:\\Tasks\\b.xml\n/TN:E\n\n");
  os.localTime = {12, 0};
  EXPECT_EQ(Run(L"/F:\"" + list + L"\"/S:1201"), 0);
  EXPECT_TRUE(Traced(L"task list: line 1: registered \"A\" from \"C:\\Tasks\\a.xml\"; the XML file was deleted"));
  EXPECT_TRUE(Traced(L"task list: line 2: skipped \"B\" from \"C:\\Tasks\\missing.xml\": the XML "
                     L"file does not exist"));
  EXPECT_TRUE(Traced(L"task list: line 3: skipped \"C\" from \"C:\\Tasks\\link.xml\": the XML path "
                     L"is a link, junction, folder or device"));
  EXPECT_TRUE(Traced(L"task list: line 4: skipped \"D\"x\" from \"C:\\Tasks\\b.xml\": a value "
                     L"holds a double quote or ends in a backslash"));
  EXPECT_TRUE(Traced(L"task list: line 5: no complete entry"));
  EXPECT_TRUE(os.TraceLinesWith(L"line 6").empty());  // a blank line says nothing
  EXPECT_TRUE(Traced(L"task list: 6 line(s) read; the list was deleted"));
  EXPECT_EQ(LastLine(), kPrefix + L"exit code 0: the task list was handled");

  // With a settings file the action time is checked against the clock.
  os = FakeOs();
  os.AddBuiltInPlans();
  AddSettings(kMachineSettings);
  os.localTime = {12, 0};
  EXPECT_EQ(Run(L"/N:\"" + kMachineSettings + L"\"/S:1201"), 0);
  EXPECT_TRUE(Traced(L"hand-off: action time 12:01, local time 12:00: not due"));
  os.traceLines.clear();
  EXPECT_EQ(Run(L"/N:\"" + kMachineSettings + L"\"/H:1200/T:0705"), 0);
  EXPECT_TRUE(Traced(L"hand-off: action time 12:00, local time 12:00: due"));
  EXPECT_EQ(LastLine(), kPrefix + L"exit code 0: the settings were applied and recorded; the "
                                   L"request was handed off");
}

TEST(TraceTest, LongLinesAreCutAndSaySo) {
  FakeOs os;
  Trace(os, std::wstring(10000, L'x'));
  Trace(os, std::wstring(kTraceLineLimit - 28, L'y'));  // with the prefix, exactly the limit
  ASSERT_EQ(os.traceLines.size(), 2u);
  EXPECT_EQ(os.traceLines[0].size(), kTraceLineLimit);
  EXPECT_EQ(os.traceLines[0].substr(os.traceLines[0].size() - 19), L" ... (cut at 4 KiB)");
  EXPECT_EQ(os.traceLines[1].size(), kTraceLineLimit);
  EXPECT_EQ(os.traceLines[1].back(), L'y');

  // Where nobody can read the trace (the native build without the
  // variable) no line is even made.
  FakeOs quiet;
  quiet.debugOutputOn = false;
  Trace(quiet, L"x");
  quiet.AddFile(L"C:\\l.txt", L"/TN:A/XML:C:\\a.xml\n/TN:B\n");
  const std::wstring list = L"/F:\"C:\\l.txt\"";
  EXPECT_EQ(RunEntry(quiet, list), 0);
  EXPECT_TRUE(quiet.traceLines.empty());

  // A 1 MiB command line is traced cut, and the run goes on as always.
  const std::wstring huge = L"/N:" + std::wstring(1 << 20, L'a');
  EXPECT_EQ(RunEntry(os, huge), 1280);
  for (const std::wstring& line : os.traceLines) EXPECT_LE(line.size(), kTraceLineLimit);
}

}  // namespace
}  // namespace tav
