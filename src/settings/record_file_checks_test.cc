#include "settings/record_file_checks.h"

#include <gtest/gtest.h>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

const std::wstring kDataFolder = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE";

// Which files a run records into, for each place a settings file can lie.
TEST(RecordTargetsTest, NameTheFilesWrittenInTheirOrder) {
  struct Case {
    const char* name;
    std::wstring settingsPath;
    bool dataFolderUnnamed;
    std::vector<std::wstring> paths;  // in order; scope follows from the name
  };
  const Case cases[] = {
      {"in the data folder",
       kDataFolder + L"\\Setting.ini",
       false,
       {kDataFolder + L"\\Setting.ini"}},
      // The settings file's own spelling of the folder: the file that is written.
      {"in the data folder, spelled otherwise",
       L"c:\\programdata\\varento\\tav_powersave\\Eco.ini",
       false,
       {L"c:\\programdata\\varento\\tav_powersave\\Setting.ini"}},
      {"elsewhere",
       L"D:\\Profiles\\Eco.ini",
       false,
       {L"D:\\Profiles\\MySetting.ini", kDataFolder + L"\\Setting.ini"}},
      {"in a folder below the data folder",
       kDataFolder + L"\\Old\\Eco.ini",
       false,
       {kDataFolder + L"\\Old\\MySetting.ini", kDataFolder + L"\\Setting.ini"}},
      // No "Setting.ini" in whatever folder is current.
      {"elsewhere, the data folder unnamed",
       L"D:\\Profiles\\Eco.ini",
       true,
       {L"D:\\Profiles\\MySetting.ini", L""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeOs os;
    os.commonAppDataFails = c.dataFolderUnnamed;
    const std::vector<RecordTarget> targets =
        RecordTargets(os, c.settingsPath, PinnedDataFolder::Pin(os));
    ASSERT_EQ(targets.size(), c.paths.size());
    for (size_t i = 0; i < targets.size(); ++i) {
      EXPECT_EQ(targets[i].Path, c.paths[i]);
      const bool machineFile = i + 1 == targets.size();
      EXPECT_EQ(targets[i].File,
                machineFile ? RecordFile::kMachine : RecordFile::kUser);
    }
  }
}

}  // namespace
}  // namespace tav
