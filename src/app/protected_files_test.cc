// Whole runs on the fake platform where files and folders that the elevated
// tool would change are links, hard links or lie behind linked folders: each
// is refused with the outcome the tool promises, nothing outside its own
// files changes, and the trace says which check failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "app/entry.h"
#include "shared/command_runner.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;
using testing::FakePlan;
using testing::GuidFromText;

const std::wstring kVendor = L"C:\\ProgramData\\VARENTO";
const std::wstring kDataFolder = kVendor + L"\\TAV_POWERSAVE";
const std::wstring kMachineFile = kDataFolder + L"\\Setting.ini";
const std::wstring kUserFolder = L"C:\\Users\\User\\AppData\\Local\\VARENTO\\TAV_POWERSAVE";
const std::wstring kUserFile = kUserFolder + L"\\MySetting.ini";
const std::wstring kProfiles = L"D:\\Profiles";
const std::wstring kProfile = kProfiles + L"\\Night.ini";
const std::wstring kBeside = kProfiles + L"\\MySetting.ini";
const std::wstring kFoundGuid = L"0f0e0d0c-0b0a-4090-8070-605040302010";

class ProtectedFilesTest : public ::testing::Test {
 protected:
  ProtectedFilesTest() { os.AddBuiltInPlans(); }
  void AddSettings(const std::wstring& path) {
    os.AddFile(path);
    os.SetProfileValue(path, L"GENERAL", L"Version", L"1.00");
    os.SetProfileValue(path, L"GENERAL", L"Name", L"Night");
  }
  int Run(const std::wstring& commandLine) { return RunEntry(os, commandLine); }
  size_t Count(const std::wstring& prefix) const {
    return static_cast<size_t>(std::count_if(os.events.begin(), os.events.end(),
                                             [&](const std::wstring& e) {
                                               return e.rfind(prefix, 0) == 0;
                                             }));
  }
  bool Traced(const std::wstring& text) const { return !os.TraceLinesWith(text).empty(); }

  FakeOs os;
};

// Record files and data folders that fail a check: 1280 before any plan is
// changed, nothing unprotected or written, and the reason in the trace.
TEST_F(ProtectedFilesTest, RefusedRecordOrDataFolderEndsTheRunBeforeAnyPlanChange) {
  struct Case {
    const char* name;
    bool profileInDataFolder;
    std::function<void(FakeOs&)> setUp;
    const wchar_t* reason;
  };
  const Case cases[] = {
      {"VARENTO is a junction", false,
       [](FakeOs& os) { os.AddLinkedFolder(kVendor); os.AddFolder(kDataFolder); },
       L"\"C:\\ProgramData\\VARENTO\" is a link, junction or other reparse point"},
      {"TAV_POWERSAVE is a junction", false,
       [](FakeOs& os) { os.AddFolder(kVendor); os.AddLinkedFolder(kDataFolder); },
       L"TAV_POWERSAVE\" is a link, junction or other reparse point"},
      {"data folder cannot be opened", false,
       [](FakeOs& os) { os.AddFolder(kVendor); os.AddFolder(kDataFolder); os.MakeUnopenable(kDataFolder); },
       L"cannot be opened or examined"},
      {"Setting.ini is a hard link", false,
       [](FakeOs& os) { os.AddFile(kMachineFile, L"", kFileAttributeReadOnly); os.SetLinkCount(kMachineFile, 2); },
       L"has more than one name (a hard link)"},
      {"Setting.ini is a symbolic link", false,
       [](FakeOs& os) { os.AddFile(kMachineFile, L"", kFileAttributeReparsePoint); },
       L"is a link, junction or other reparse point"},
      {"Setting.ini is a folder", false,
       [](FakeOs& os) { os.AddFolder(kMachineFile); },
       L"is a folder, device or pipe, not a file"},
      {"MySetting.ini beside the profile is a hard link", false,
       [](FakeOs& os) { os.AddFile(kBeside, L"", kFileAttributeReadOnly); os.SetLinkCount(kBeside, 3); },
       L"has more than one name"},
      {"the user's MySetting.ini is a link", false,
       [](FakeOs& os) { os.AddFolder(kUserFolder); os.AddFile(kUserFile, L"", kFileAttributeReparsePoint | kFileAttributeReadOnly); },
       L"is a link, junction or other reparse point"},
      {"hard-linked Setting.ini that is the profile itself", true,
       [](FakeOs& os) { os.SetLinkCount(kMachineFile, 2); },
       L"has more than one name"},
      {"MySetting.ini beside the profile is an object link elsewhere", false,
       [](FakeOs& os) { os.AddFile(kBeside); os.SetFinalPath(kBeside, L"C:\\Windows\\run.ini"); },
       L"MySetting.ini\" not used: it lies elsewhere"},
      {"the profile itself is a link", false,
       [](FakeOs& os) { os.AddFile(kProfile, L"", kFileAttributeReparsePoint); },
       L"settings: \"D:\\Profiles\\Night.ini\" not used: it is a link"},
      {"the user's VARENTO is a junction", false,
       [](FakeOs& os) { os.AddLinkedFolder(L"C:\\Users\\User\\AppData\\Local\\VARENTO"); },
       L"the user's data folder's \"C:\\Users\\User\\AppData\\Local\\VARENTO\" is a link"},
      {"TAV_POWERSAVE turns into a junction once it is made", false,
       [](FakeOs& os) {
         os.afterCreateDirectory = [&os](const std::wstring& path) {
           if (path == kDataFolder) os.AddLinkedFolder(path);
         };
       },
       L"TAV_POWERSAVE\" is a link, junction or other reparse point"},
      {"VARENTO is still missing after its creation", false,
       [](FakeOs& os) { os.failingFolderCreations.insert(L"c:\\programdata\\varento"); },
       L"VARENTO\" does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    os = FakeOs();
    os.AddBuiltInPlans();
    os.AddFolder(kProfiles);
    const std::wstring profile = c.profileInDataFolder ? kMachineFile : kProfile;
    if (c.profileInDataFolder) {
      os.AddFolder(kVendor);
      os.AddFolder(kDataFolder);
    }
    AddSettings(profile);
    c.setUp(os);
    EXPECT_EQ(Run(L"/N:\"" + profile + L"\""), 1280);
    EXPECT_TRUE(os.commandLines.empty());
    // Nothing is made below a data-folder level that failed.
    if (!os.HasFolder(kVendor)) EXPECT_EQ(Count(L"CreateDirectory:" + kDataFolder), 0u);
    EXPECT_EQ(Count(L"SetAttributes:"), 0u);
    EXPECT_EQ(Count(L"WriteProfile"), 0u);
    EXPECT_EQ(Count(L"CreateUnicodeFile:"), 0u);
    EXPECT_TRUE(Traced(c.reason));
    EXPECT_EQ(os.heldPins, 0);
  }
}

// The user's own folders may be redirected: a MySetting.ini behind a linked
// folder is used, without a final-path comparison; Setting.ini is compared.
TEST_F(ProtectedFilesTest, UserFoldersMayBeLinksButTheDataFolderFileMayNotLieElsewhere) {
  os.AddLinkedFolder(kProfiles);
  AddSettings(kProfile);
  os.AddFile(kBeside, L"", kFileAttributeReadOnly);
  EXPECT_EQ(Run(L"/N:\"" + kProfile + L"\""), 1280);  // read-only: the write fails as before
  EXPECT_EQ(os.commandLines.size(), 14u);
  EXPECT_NE(os.ProfileValue(kMachineFile, L"Current", L"GUID"), nullptr);

  os = FakeOs();
  os.AddBuiltInPlans();
  AddSettings(kProfile);
  os.AddFolder(kVendor);
  os.AddFolder(kDataFolder);
  // Setting.ini itself is fine, but the run's data folder lies below a link.
  os.AddLinkedFolder(L"C:\\ProgramData");
  os.AddFolder(kVendor);
  EXPECT_EQ(Run(L"/N:\"" + kProfile + L"\""), 1280);
  EXPECT_TRUE(os.commandLines.empty());
  EXPECT_TRUE(Traced(L"lies elsewhere: a folder on its path is a link or junction"));
}

// Every record write happens while its file and, for Setting.ini, both data
// folders are held; nothing stays held after the run.
class HeldCountingOs : public FakeOs {
 public:
  std::vector<std::pair<std::wstring, int>> heldAtWrites;
  bool WriteString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value, const std::wstring& path) override {
    heldAtWrites.emplace_back(path, heldPins);
    return FakeOs::WriteString(section, key, value, path);
  }
};

TEST(ProtectedFilesHeld, RecordWritesHappenWhileTheFileAndFoldersAreHeld) {
  HeldCountingOs os;
  os.AddBuiltInPlans();
  os.AddFolder(kProfiles);
  os.AddFile(kProfile);
  os.SetProfileValue(kProfile, L"GENERAL", L"Version", L"1.00");
  os.SetProfileValue(kProfile, L"GENERAL", L"Name", L"Night");
  const std::wstring commandLine = L"/N:\"" + kProfile + L"\"";
  ASSERT_EQ(RunEntry(os, commandLine), 0);
  ASSERT_EQ(os.heldAtWrites.size(), 5u);  // two beside the profile, three in Setting.ini
  for (const auto& [path, held] : os.heldAtWrites) {
    SCOPED_TRACE(path);
    // VARENTO, TAV_POWERSAVE, the settings file with its folder, the record file.
    EXPECT_EQ(held, 5);
  }
  EXPECT_EQ(os.heldPins, 0);
}

// The roll-back removes the plan only when this run made it.
TEST_F(ProtectedFilesTest, RollBackKeepsAPlanFoundBeforeTheRun) {
  for (bool found : {true, false}) {
    SCOPED_TRACE(found ? "plan found by its recorded GUID" : "plan made by the run");
    os = FakeOs();
    os.AddBuiltInPlans();
    os.AddFolder(kVendor);
    os.AddFolder(kDataFolder);
    AddSettings(kMachineFile);
    if (found) {
      os.plans.push_back(FakePlan{GuidFromText(kFoundGuid), L"Vantrel電源プラン", true});
      os.SetProfileValue(kMachineFile, L"Current", L"GUID", kFoundGuid);
    }
    os.failingProfileWrites.insert(L"c:\\programdata\\varento\\tav_powersave\\setting.ini");
    EXPECT_EQ(Run(L"/N:\"" + kMachineFile + L"\""), 1280);
    const bool deleted = std::any_of(os.commandLines.begin(), os.commandLines.end(),
                                     [](const std::wstring& c) {
                                       return c.rfind(L"powercfg.exe /DELETE ", 0) == 0;
                                     });
    EXPECT_EQ(deleted, !found);
    EXPECT_EQ(os.commandLines.size(), found ? 12u : 16u);
    if (found) {
      EXPECT_TRUE(Traced(L"the plan was there before the run and stays"));
      EXPECT_EQ(os.plans.back().Guid, GuidFromText(kFoundGuid));
    }
  }
}

// A powercfg.exe that never ends is ended after the limit and counts as not
// started: the run fails with 1280 and nothing is recorded.
TEST_F(ProtectedFilesTest, PowercfgThatNeverEndsFailsTheRun) {
  os.AddFolder(kVendor);
  os.AddFolder(kDataFolder);
  AddSettings(kMachineFile);
  os.neverEnds = [](const std::wstring& command) {
    return command.find(L"/CHANGE /disk-timeout-ac") != std::wstring::npos;
  };
  EXPECT_EQ(Run(L"/N:\"" + kMachineFile + L"\""), 1280);
  EXPECT_EQ(Count(L"Terminated:powercfg.exe /CHANGE /disk-timeout-ac"), 1u);
  EXPECT_EQ(os.ProfileValue(kMachineFile, L"Current", L"GUID"), nullptr);
  ASSERT_FALSE(os.waitLimits.empty());
  for (auto limit : os.waitLimits) EXPECT_EQ(limit, kSystemProgramTimeLimit);
  EXPECT_TRUE(Traced(L"child ended by the tool after its time limit of 120 s: powercfg.exe "
                     L"/CHANGE /disk-timeout-ac"));
}

// The data folder is pinned once for the step, at its start, and held through
// every powercfg.exe run until the record is written: in no window between
// the checks and the writes can a folder be swapped for a link.
TEST_F(ProtectedFilesTest, DataFolderIsPinnedOnceAndHeldUntilTheRecordIsWritten) {
  for (const bool profileInDataFolder : {true, false}) {
    SCOPED_TRACE(profileInDataFolder ? "profile in the data folder" : "profile elsewhere");
    os = FakeOs();
    os.AddBuiltInPlans();
    const std::wstring profile = profileInDataFolder ? kMachineFile : kProfile;
    AddSettings(profile);
    std::vector<int> heldWhileRunning;
    os.onRun = [&](const std::wstring&) { heldWhileRunning.push_back(os.heldPins); };
    for (int run = 0; run < 2; ++run) {  // a first run, then an everyday one
      os.pinLog.clear();
      heldWhileRunning.clear();
      ASSERT_EQ(Run(L"/N:\"" + profile + L"\""), 0);
      // Once more as the settings file's own folder when that is the data folder.
      EXPECT_EQ(std::count(os.pinLog.begin(), os.pinLog.end(), L"PinFolder:" + kDataFolder),
                profileInDataFolder ? 2 : 1);
      EXPECT_EQ(std::count(os.pinLog.begin(), os.pinLog.end(), L"PinFolder:" + kVendor), 1);
      ASSERT_FALSE(heldWhileRunning.empty());
      for (int held : heldWhileRunning)
        EXPECT_EQ(held, 4) << "both data folders, the settings file and its folder";
      EXPECT_EQ(os.heldPins, 0);
    }
  }
}

}  // namespace
}  // namespace tav
