// Task lists and XML files that are links, hard links or lie behind linked
// folders: an XML entry is finished as handled (not registered, unprotected
// or deleted; the other lines go on), a list counts as missing (nothing run,
// nothing deleted). A file held while schtasks runs is deleted only if it is
// still the file that was checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "shared/command_runner.h"
#include "schedule/task_registration_list.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

const std::wstring kList = L"C:\\Lists\\tasks.txt";
const std::wstring kTasks = L"C:\\Tasks";
const std::wstring kXmlA = kTasks + L"\\a.xml";
const std::wstring kXmlB = L"C:\\Other\\b.xml";

std::wstring Schtasks(const std::wstring& name, const std::wstring& xml) {
  return L"schtasks /Create /TN \"" + name + L"\" /XML \"" + xml + L"\" /F";
}

bool Has(const std::vector<std::wstring>& events, const std::wstring& event) {
  return std::find(events.begin(), events.end(), event) != events.end();
}

TEST(TaskListPins, RefusedXmlEntriesAreFinishedAndTheNextLineGoesOn) {
  struct Case {
    const char* name;
    std::function<void(FakeOs&)> setUp;
    const wchar_t* reason;
  };
  const Case cases[] = {
      {"hard-linked XML file", [](FakeOs& os) { os.SetLinkCount(kXmlA, 2); },
       L"skipped \"A\" from \"C:\\Tasks\\a.xml\": the XML file has more than one name"},
      {"XML behind a linked folder", [](FakeOs& os) { os.AddLinkedFolder(kTasks); },
       L"the XML file lies elsewhere: a folder on its path is a link or junction"},
      {"XML that cannot be opened", [](FakeOs& os) { os.MakeUnopenable(kXmlA); },
       L"the XML file cannot be opened or examined"},
      {"XML that is a link", [](FakeOs& os) { os.AddFile(kXmlA, L"", kFileAttributeReparsePoint | kFileAttributeReadOnly); },
       L"the XML path is a link, junction, folder or device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeOs os;
    os.AddFile(kXmlA, L"", kFileAttributeReadOnly);
    os.AddFile(kXmlB);
    os.AddFile(kList, L"/TN:A/XML:" + kXmlA + L"\n/TN:B/XML:" + kXmlB + L"\n");
    c.setUp(os);
    EXPECT_TRUE(ProcessTaskRegistrationList(os, kList));
    EXPECT_EQ(os.commandLines, std::vector<std::wstring>{Schtasks(L"B", kXmlB)});
    EXPECT_TRUE(os.HasFile(kXmlA));
    EXPECT_EQ(os.Attributes(kXmlA) & kFileAttributeReadOnly, kFileAttributeReadOnly);
    EXPECT_FALSE(Has(os.events, L"SetAttributes:" + kXmlA));
    EXPECT_FALSE(os.HasFile(kXmlB));
    EXPECT_FALSE(os.HasFile(kList));
    EXPECT_FALSE(os.TraceLinesWith(c.reason).empty());
  }
}

TEST(TaskListPins, RefusedListCountsAsMissing) {
  struct Case {
    const char* name;
    std::function<void(FakeOs&)> setUp;
    const wchar_t* reason;
  };
  const Case cases[] = {
      {"hard-linked list", [](FakeOs& os) { os.SetLinkCount(kList, 2); },
       L"has more than one name (a hard link): handled as a missing list"},
      {"list behind a linked folder", [](FakeOs& os) { os.AddLinkedFolder(L"C:\\Lists"); },
       L"lies elsewhere: a folder on its path is a link or junction: handled as a missing list"},
      {"list that is a link", [](FakeOs& os) { os.AddFile(kList, L"/TN:A/XML:C:\\Tasks\\a.xml\n", kFileAttributeReparsePoint); },
       L"is a link, junction or other reparse point: handled as a missing list"},
      {"list that cannot be opened", [](FakeOs& os) { os.MakeUnopenable(kList); },
       L"cannot be opened for reading"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeOs os;
    os.AddFile(kXmlA);
    os.AddFile(kList, L"/TN:A/XML:" + kXmlA + L"\n", kFileAttributeReadOnly);
    c.setUp(os);
    EXPECT_FALSE(ProcessTaskRegistrationList(os, kList));
    EXPECT_TRUE(os.commandLines.empty());
    EXPECT_TRUE(os.HasFile(kList));
    EXPECT_TRUE(os.HasFile(kXmlA));
    EXPECT_FALSE(Has(os.events, L"SetAttributes:" + kList));
    EXPECT_FALSE(os.TraceLinesWith(c.reason).empty());
  }
}

// The XML file is held while schtasks reads it; one swapped for another file
// meanwhile (possible where the system cannot refuse it) is not deleted.
TEST(TaskListPins, XmlIsHeldWhileSchtasksRunsAndASwappedFileIsNotDeleted) {
  FakeOs os;
  os.AddFile(kXmlA);
  os.AddFile(kList, L"/TN:A/XML:" + kXmlA + L"\n");
  int heldWhileRunning = -1;
  os.onRun = [&](const std::wstring&) {
    heldWhileRunning = os.heldPins;
    os.AddFile(kXmlA, L"<other/>");  // another file under the same name
  };
  EXPECT_TRUE(ProcessTaskRegistrationList(os, kList));
  EXPECT_EQ(heldWhileRunning, 2);  // the list and the XML file
  // Nobody may change what schtasks reads after the check.
  EXPECT_EQ(os.pinSharing[L"c:\\lists\\tasks.txt"], PinSharing::kReadOnly);
  EXPECT_EQ(os.pinSharing[L"c:\\tasks\\a.xml"], PinSharing::kReadOnly);
  EXPECT_TRUE(os.HasFile(kXmlA));
  EXPECT_TRUE(Has(os.events, L"DeleteFailed:" + kXmlA));
  EXPECT_FALSE(os.TraceLinesWith(L"the XML file could not be deleted").empty());
  EXPECT_FALSE(os.HasFile(kList));
  EXPECT_EQ(os.heldPins, 0);
}

// schtasks that never ends is ended after the limit; the line then goes the
// way of a schtasks that could not be started: its XML file is deleted.
TEST(TaskListPins, SchtasksThatNeverEndsIsEndedAndTheLineFinishes) {
  FakeOs os;
  os.AddFile(kXmlA);
  os.AddFile(kXmlB);
  os.AddFile(kList, L"/TN:A/XML:" + kXmlA + L"\n/TN:B/XML:" + kXmlB + L"\n");
  os.neverEnds = [](const std::wstring& command) { return command == Schtasks(L"A", kXmlA); };
  EXPECT_TRUE(ProcessTaskRegistrationList(os, kList));
  EXPECT_TRUE(Has(os.events, L"Terminated:" + Schtasks(L"A", kXmlA)));
  EXPECT_TRUE(Has(os.events, L"Exited:" + Schtasks(L"B", kXmlB)));
  EXPECT_FALSE(os.HasFile(kXmlA));
  EXPECT_EQ(os.waitLimits, (std::vector<std::chrono::milliseconds>{kSystemProgramTimeLimit,
                                                                   kSystemProgramTimeLimit}));
}

// The runner: an injected limit is the one waited for; a child within it
// succeeds; the companion's start waits without a limit.
TEST(TaskListPins, RunnerLimitsSystemProgramsOnly) {
  FakeOs os;
  EXPECT_EQ(RunSystemProgramAndWait(os, L"schtasks /Query", std::chrono::milliseconds(50)), 1);
  os.neverEnds = [](const std::wstring&) { return true; };
  EXPECT_EQ(RunSystemProgramAndWait(os, L"schtasks /Query", std::chrono::milliseconds(50)), 0);
  EXPECT_EQ(os.waitLimits, (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(50),
                                                                   std::chrono::milliseconds(50)}));
  EXPECT_TRUE(Has(os.events, L"Terminated:schtasks /Query"));
  EXPECT_FALSE(os.TraceLinesWith(L"child ended by the tool after its time limit of 0 s").empty());
  EXPECT_EQ(RunProcessAndWait(os, L"\"C:\\Tools\\TAV_PowerSaveSuspend.exe\" /CANCEL"), 1);
  EXPECT_EQ(os.waitLimits.size(), 2u);  // no limited wait for the companion
  EXPECT_TRUE(Has(os.events, L"Exited:\"C:\\Tools\\TAV_PowerSaveSuspend.exe\" /CANCEL"));
}

}  // namespace
}  // namespace tav
