#include "settings/current_plan_record.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

const std::wstring kDataFolder = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE";
const std::wstring kUserFolder = L"C:\\Users\\User\\AppData\\Local\\VARENTO\\TAV_POWERSAVE";
const std::wstring kMachineFile = kDataFolder + L"\\Setting.ini";
const std::wstring kUserFile = kUserFolder + L"\\MySetting.ini";
const std::wstring kOtherFolder = L"D:\\Profiles";
const std::wstring kOtherRecord = kOtherFolder + L"\\MySetting.ini";

class CurrentPlanRecordTest : public ::testing::Test {
 protected:
  CurrentPlanRecordTest() {
    os.AddFolder(kDataFolder);
    os.AddFolder(kUserFolder);
    os.AddFolder(kOtherFolder);
  }
  // The value of a "Current" key, or "<none>" when it is missing.
  std::wstring Value(const std::wstring& path, const std::wstring& key) const {
    const std::wstring* v = os.ProfileValue(path, L"Current", key);
    return v ? *v : L"<none>";
  }
  std::vector<std::wstring> Events(const std::wstring& prefix) const {
    std::vector<std::wstring> out;
    for (const auto& e : os.events)
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
  }
  size_t IndexOf(const std::wstring& event) const {
    return static_cast<size_t>(std::find(os.events.begin(), os.events.end(), event) -
                               os.events.begin());
  }

  FakeOs os;
};

TEST_F(CurrentPlanRecordTest, OpenNamesTheFileAndClearsOnlyReadOnly) {
  os.AddFile(kMachineFile, L"", kFileAttributeReadOnly | kFileAttributeHidden);
  CurrentRecordFile machine =
      OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kMachine);
  EXPECT_EQ(machine.Which, RecordFile::kMachine);
  EXPECT_EQ(machine.Folder, kDataFolder);
  EXPECT_EQ(machine.Path, kMachineFile);
  EXPECT_EQ(os.Attributes(kMachineFile), kFileAttributeHidden);

  CurrentRecordFile user = OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kUser);
  EXPECT_EQ(user.Which, RecordFile::kUser);
  EXPECT_EQ(user.Folder, kUserFolder);
  EXPECT_EQ(user.Path, kUserFile);
  EXPECT_FALSE(os.HasFile(kUserFile));  // a missing file is not made
}

TEST_F(CurrentPlanRecordTest, UnnamedDataFolderGivesBareFileName) {
  os.commonAppDataFails = true;
  CurrentRecordFile machine =
      OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kMachine);
  EXPECT_EQ(machine.Folder, L"");
  EXPECT_EQ(machine.Path, L"Setting.ini");
}

TEST_F(CurrentPlanRecordTest, ReadsGuidOnlyFromTheMachineWideFile) {
  os.SetProfileValue(kMachineFile, L"Current", L"GUID", L"{abc}");
  os.SetProfileValue(kUserFile, L"Current", L"GUID", L"user");
  EXPECT_EQ(ReadCurrentPlanGuid(
                os, OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kUser)),
            std::nullopt);
  EXPECT_EQ(ReadCurrentPlanGuid(
                os, OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kMachine)),
            std::optional<std::wstring>(L"{abc}"));  // braces are left to the reader

  FakeOs empty;
  EXPECT_EQ(ReadCurrentPlanGuid(empty, OpenCurrentRecordFile(empty, PinnedDataFolder::Pin(empty),
                                                             RecordFile::kMachine)),
            std::optional<std::wstring>(L""));
}

TEST_F(CurrentPlanRecordTest, ReadsProfileWithEmptyValuesForMissingKeys) {
  os.SetProfileValue(kUserFile, L"Current", L"ProfilePath", L"D:\\Profiles\\Night.ini");
  RecordedProfile user = ReadCurrentProfile(
      os, OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kUser));
  EXPECT_EQ(user.Path, L"D:\\Profiles\\Night.ini");
  EXPECT_EQ(user.Name, L"");
  RecordedProfile machine = ReadCurrentProfile(
      os, OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kMachine));
  EXPECT_EQ(machine.Path, L"");
  EXPECT_EQ(machine.Name, L"");
}

struct Placement {
  std::wstring settingsPath;
  std::wstring profileRecord;  // where ProfilePath/ProfileName land first
  bool separateRecord;         // the data folder's Setting.ini is written as well
};

TEST_F(CurrentPlanRecordTest, WritesIntoTheRightFiles) {
  const std::vector<Placement> cases = {
      {kDataFolder + L"\\Setting.ini", kMachineFile, false},
      {L"c:\\programdata\\Varento\\tav_powersave\\Other.ini",
       L"c:\\programdata\\Varento\\tav_powersave\\Setting.ini", false},
      {kUserFile, kUserFile, true},
      {kOtherFolder + L"\\Night.ini", kOtherRecord, true},
  };
  for (const Placement& c : cases) {
    os = FakeOs();
    os.AddFolder(kUserFolder);
    os.AddFolder(kOtherFolder);
    const std::wstring name = L"夜間";
    const std::wstring guid = L"a1b2c3d4-0000-1111-2222-333344445555";
    EXPECT_TRUE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), c.settingsPath, name, guid))
        << c.settingsPath;
    EXPECT_EQ(Value(kMachineFile, L"ProfilePath"), c.settingsPath);
    EXPECT_EQ(Value(kMachineFile, L"ProfileName"), name);
    EXPECT_EQ(Value(kMachineFile, L"GUID"), guid);
    EXPECT_EQ(Value(c.profileRecord, L"ProfilePath"), c.settingsPath);
    EXPECT_EQ(Value(c.profileRecord, L"ProfileName"), name);
    if (c.separateRecord) {
      EXPECT_EQ(Value(c.profileRecord, L"GUID"), L"<none>") << c.settingsPath;
      EXPECT_EQ(Events(L"WriteProfile"), (std::vector<std::wstring>{
                                             L"WriteProfile:" + c.profileRecord + L"|ProfilePath",
                                             L"WriteProfile:" + c.profileRecord + L"|ProfileName",
                                             L"WriteProfile:" + kMachineFile + L"|ProfilePath",
                                             L"WriteProfile:" + kMachineFile + L"|ProfileName",
                                             L"WriteProfile:" + kMachineFile + L"|GUID"}));
      EXPECT_EQ(Events(L"Flush:"), (std::vector<std::wstring>{L"Flush:" + c.profileRecord,
                                                               L"Flush:" + kMachineFile}));
    } else {
      EXPECT_FALSE(os.HasFile(kDataFolder + L"\\MySetting.ini"));
      EXPECT_EQ(Events(L"WriteProfile").size(), 3u) << c.settingsPath;
      EXPECT_EQ(Events(L"Flush:"), std::vector<std::wstring>{L"Flush:" + c.profileRecord});
    }
    // The data folder's record is flushed last, after every write.
    EXPECT_EQ(os.events.back(), L"Flush:" + (c.separateRecord ? kMachineFile : c.profileRecord));
  }
}

// Records the tool makes are UTF-16 LE with a byte-order mark, so that the
// profile functions keep a Japanese name on any ANSI code page; files that
// exist keep their encoding and are not made again.
TEST_F(CurrentPlanRecordTest, NewRecordFilesAreMadeUnicodeBeforeTheFirstWrite) {
  const std::wstring name = L"夜間";
  const std::wstring guid = L"a1b2c3d4-0000-1111-2222-333344445555";
  const std::wstring settings = kOtherFolder + L"\\Night.ini";
  os.AddFolder(kOtherFolder);
  ASSERT_TRUE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, name, guid));
  EXPECT_TRUE(os.IsUnicodeFile(kOtherRecord));
  EXPECT_TRUE(os.IsUnicodeFile(kMachineFile));
  for (const std::wstring& file : {kOtherRecord, kMachineFile}) {
    const size_t created = IndexOf(L"CreateUnicodeFile:" + file);
    const size_t firstWrite = IndexOf(L"WriteProfile:" + file + L"|ProfilePath");
    EXPECT_LT(created, firstWrite);
    EXPECT_LT(firstWrite, os.events.size());
  }

  // Existing files, whatever their encoding, are written as they are.
  os = FakeOs();
  os.AddFile(kMachineFile, L"[GENERAL]\n");
  os.AddFile(kOtherRecord, L"");
  ASSERT_TRUE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, name, guid));
  EXPECT_TRUE(Events(L"CreateUnicodeFile").empty());
  EXPECT_FALSE(os.IsUnicodeFile(kMachineFile));
}

TEST_F(CurrentPlanRecordTest, ReadOnlyTargetFailsButEveryWriteIsAttempted) {
  os.AddFile(kMachineFile, L"", kFileAttributeReadOnly);
  const std::wstring settings = kOtherFolder + L"\\Night.ini";
  const std::wstring name = L"Night";
  const std::wstring guid = L"g";
  EXPECT_FALSE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, name, guid));
  EXPECT_EQ(Value(kOtherRecord, L"ProfileName"), L"Night");  // the writable file is written
  EXPECT_EQ(Events(L"WriteProfileFailed:"),
            (std::vector<std::wstring>{L"WriteProfileFailed:" + kMachineFile + L"|ProfilePath",
                                       L"WriteProfileFailed:" + kMachineFile + L"|ProfileName",
                                       L"WriteProfileFailed:" + kMachineFile + L"|GUID"}));
  EXPECT_EQ(os.Attributes(kMachineFile), kFileAttributeReadOnly);  // not cleared here
}

// A profile folder so long that "MySetting.ini" no longer fits beside it:
// the record fails, and nothing is written under another name instead.
TEST_F(CurrentPlanRecordTest, RecordThatDoesNotFitIntoMaxPathFails) {
  const std::wstring longFolder = L"D:\\" + std::wstring(250, L'p');
  os.AddFolder(longFolder);
  const std::wstring settings = longFolder + L"\\a.ini";
  const std::wstring name = L"Night";
  const std::wstring guid = L"g";
  EXPECT_FALSE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, name, guid));
  EXPECT_TRUE(Events(L"WriteProfile:").size() == 3u);  // only the data folder's three keys
  EXPECT_EQ(Value(kMachineFile, L"ProfilePath"), settings);
  EXPECT_TRUE(Events(L"WriteProfileFailed:").empty());
}

// Without a named data folder there is no machine-wide record: the one beside
// the profile is written, and no "Setting.ini" appears in the current folder.
TEST_F(CurrentPlanRecordTest, UnnamedDataFolderWritesNoBareSettingIni) {
  os.commonAppDataFails = true;
  const std::wstring settings = kOtherFolder + L"\\a.ini";
  EXPECT_FALSE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, L"Night", L"g"));
  EXPECT_EQ(Value(kOtherRecord, L"ProfileName"), L"Night");
  EXPECT_FALSE(os.HasFile(L"Setting.ini"));
  EXPECT_EQ(os.TraceLinesWith(L"its folder has no name").size(), 3u);  // path, name, GUID
  for (const std::wstring& event : os.events)
    EXPECT_EQ(event.find(L":Setting.ini"), std::wstring::npos);
}

TEST_F(CurrentPlanRecordTest, ReadOnlyProfileRecordStillWritesTheDataFolder) {
  os.AddFile(kOtherRecord, L"", kFileAttributeReadOnly);
  const std::wstring settings = kOtherFolder + L"\\Night.ini";
  const std::wstring name = L"Night";
  const std::wstring guid = L"g";
  EXPECT_FALSE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, name, guid));
  EXPECT_EQ(Value(kMachineFile, L"ProfilePath"), settings);
  EXPECT_EQ(Value(kMachineFile, L"GUID"), L"g");
  EXPECT_EQ(Events(L"WriteProfileFailed:").size(), 2u);
}

TEST_F(CurrentPlanRecordTest, OpeningTheRecordEarlierMakesAReadOnlyFileWritable) {
  os.AddFile(kMachineFile, L"", kFileAttributeReadOnly);
  OpenCurrentRecordFile(os, PinnedDataFolder::Pin(os), RecordFile::kMachine);
  const std::wstring settings = kMachineFile;
  const std::wstring name = L"Night";
  const std::wstring guid = L"g";
  EXPECT_TRUE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, name, guid));
}

TEST_F(CurrentPlanRecordTest, EmptyGuidIsWrittenEmptyAndOnlyIntoTheDataFolder) {
  const std::wstring settings = kOtherFolder + L"\\Night.ini";
  const std::wstring name = L"Night";
  const std::wstring empty;
  os.SetProfileValue(kMachineFile, L"Current", L"GUID", L"old");
  EXPECT_TRUE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, name, empty));
  EXPECT_EQ(Value(kMachineFile, L"GUID"), L"");

  // The profile's own record beside it never carries a GUID.
  EXPECT_EQ(Value(kOtherRecord, L"GUID"), L"<none>");
}

TEST_F(CurrentPlanRecordTest, EmptyPathOrNameWritesNothing) {
  const std::wstring settings = kOtherFolder + L"\\Night.ini";
  const std::wstring name = L"Night";
  EXPECT_FALSE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), L"", name, name));
  EXPECT_FALSE(WriteCurrentPlanRecord(os, PinnedDataFolder::Pin(os), settings, L"", name));
  EXPECT_TRUE(Events(L"WriteProfile").empty());
  EXPECT_TRUE(Events(L"Flush:").empty());
}

}  // namespace
}  // namespace tav
