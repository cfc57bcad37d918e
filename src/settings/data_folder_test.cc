#include "settings/data_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

int CountEvents(const FakeOs& os, const std::wstring& prefix) {
  return static_cast<int>(std::count_if(os.events.begin(), os.events.end(), [&](const auto& e) {
    return e.rfind(prefix, 0) == 0;
  }));
}

TEST(DataFolderTest, CreatesMissingFoldersInOrder) {
  FakeOs os;
  EXPECT_EQ(GetDataFolder(os), L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE");
  EXPECT_EQ(os.events, (std::vector<std::wstring>{
                           L"CreateDirectory:C:\\ProgramData\\VARENTO",
                           L"CreateDirectory:C:\\ProgramData\\VARENTO\\TAV_POWERSAVE"}));
  EXPECT_TRUE(os.HasFolder(L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE"));
}

TEST(DataFolderTest, ExistingFoldersAreNotCreatedAgain) {
  FakeOs os;
  os.AddFolder(L"C:\\ProgramData\\VARENTO");
  os.AddFolder(L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE");
  EXPECT_EQ(GetDataFolder(os), L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE");
  EXPECT_EQ(CountEvents(os, L"CreateDirectory:"), 0);
}

TEST(DataFolderTest, UserFolderUsesLocalApplicationData) {
  FakeOs os;
  os.AddFolder(L"C:\\Users\\User\\AppData\\Local\\VARENTO");
  EXPECT_EQ(GetUserDataFolder(os), L"C:\\Users\\User\\AppData\\Local\\VARENTO\\TAV_POWERSAVE");
  EXPECT_EQ(os.events, (std::vector<std::wstring>{
                           L"CreateDirectory:C:\\Users\\User\\AppData\\Local\\VARENTO\\"
                           L"TAV_POWERSAVE"}));
}

TEST(DataFolderTest, PathIsReturnedEvenWhenCreationFails) {
  FakeOs os;
  os.failingFolderCreations.insert(L"c:\\programdata\\varento");
  os.failingFolderCreations.insert(L"c:\\programdata\\varento\\tav_powersave");
  EXPECT_EQ(GetDataFolder(os), L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE");
  // Nothing is made inside a level that could not be made and checked.
  EXPECT_EQ(CountEvents(os, L"CreateDirectory:"), 1);
}

TEST(DataFolderTest, UnnamedBaseFolderGivesEmptyAndCreatesNothing) {
  FakeOs os;
  os.commonAppDataFails = true;
  os.localAppDataFails = true;
  EXPECT_EQ(GetDataFolder(os), L"");
  EXPECT_EQ(GetUserDataFolder(os), L"");
  EXPECT_EQ(CountEvents(os, L"CreateDirectory:"), 0);
}

TEST(DataFolderTest, OverlongBaseFolderCreatesNothingRelative) {
  FakeOs os;
  os.commonAppData = L"C:\\" + std::wstring(252, L'a');
  EXPECT_EQ(GetDataFolder(os), L"");
  EXPECT_EQ(CountEvents(os, L"CreateDirectory:"), 0);
  os.commonAppData = L"C:\\" + std::wstring(240, L'a');  // VARENTO fits, the product folder not
  EXPECT_EQ(GetDataFolder(os), L"");
  EXPECT_EQ(CountEvents(os, L"CreateDirectory:"), 0);
}

// The one test of "does the settings file lie in the data folder", used by
// the record and by the plan's roll-back decision.
TEST(DataFolderTest, LiesDirectlyInComparesTheParentWithoutCase) {
  const std::wstring folder = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE";
  struct Case {
    std::wstring path;
    bool inside;
  };
  const std::vector<Case> cases = {
      {folder + L"\\Setting.ini", true},
      {L"c:\\programdata\\varento\\tav_powersave\\Other.ini", true},
      {folder + L"\\Sub\\Setting.ini", false},
      {folder, false},  // the folder itself lies in its parent
      {L"C:\\ProgramData\\VARENTO\\Setting.ini", false},
      {L"Setting.ini", false},
      {L"", false},
  };
  FakeOs os;
  for (const Case& c : cases) EXPECT_EQ(LiesDirectlyIn(os, c.path, folder), c.inside) << c.path;
  // An unnamed data folder holds only paths without a folder.
  EXPECT_TRUE(LiesDirectlyIn(os, L"Setting.ini", L""));
  EXPECT_FALSE(LiesDirectlyIn(os, folder + L"\\Setting.ini", L""));
}

}  // namespace
}  // namespace tav
