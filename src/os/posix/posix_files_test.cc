#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "os/path_strings.h"
#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/posix_test_support.h"

namespace tav::posix::testing {
namespace {

class PosixFilesTest : public ::testing::Test {
 protected:
  // The core's form of a path in the temporary folder.
  std::wstring Win(const std::string& name) const { return WindowsPath(dir_ / name); }

  TempDir dir_;
  std::unique_ptr<Os> os_ = MakePosixOs(dir_.Config());
  OsFiles& files_ = os_->files();
};

TEST_F(PosixFilesTest, AttributesMirrorWindows) {
  struct Case {
    const char* name;
    bool folder;
    mode_t mode;
    uint32_t expected;
  };
  const Case cases[] = {
      {"plain", false, 0644, kFileAttributeNormal},
      {"owner-only-write", false, 0200, kFileAttributeNormal},
      {"group-write-only", false, 0464, kFileAttributeNormal},
      {"read-only", false, 0444, kFileAttributeReadOnly},
      {"read-only-private", false, 0400, kFileAttributeReadOnly},
      {"executable-read-only", false, 0555, kFileAttributeReadOnly},
      {"folder", true, 0755, kFileAttributeDirectory},
      {"read-only-folder", true, 0555, kFileAttributeDirectory | kFileAttributeReadOnly},
  };
  for (const Case& c : cases) {
    if (c.folder) {
      ASSERT_EQ(mkdir((dir_ / c.name).c_str(), c.mode), 0);
      chmod((dir_ / c.name).c_str(), c.mode);
    } else {
      WriteFile(dir_ / c.name, "x", c.mode);
    }
    EXPECT_EQ(FileAttributes(dir_ / c.name), c.expected) << c.name;
    EXPECT_EQ(files_.KindOf(Win(c.name)), c.folder ? PathKind::kFolder : PathKind::kFile);
    EXPECT_TRUE(files_.Exists(Win(c.name))) << c.name;
  }
  EXPECT_EQ(FileAttributes(dir_ / "missing"), kInvalidFileAttributes);
  EXPECT_EQ(files_.KindOf(Win("missing")), PathKind::kNothing);
  EXPECT_FALSE(files_.Exists(Win("missing")));
  EXPECT_FALSE(files_.Exists(L""));
}

TEST_F(PosixFilesTest, ReadOnlyAttributeChangesOnlyWriteBits) {
  struct Case {
    mode_t before;
    uint32_t attributes;
    mode_t after;
  };
  const Case cases[] = {
      {0444, kFileAttributeNormal, 0644},  // only the owner may write again
      {0400, kFileAttributeArchive, 0600},
      {0555, kFileAttributeArchive | kFileAttributeHidden | kFileAttributeSystem, 0755},
      {0664, kFileAttributeReadOnly, 0444},
      {0640, kFileAttributeReadOnly | kFileAttributeArchive, 0440},
      {0662, kFileAttributeNormal, 0662},  // already writable: unchanged
      {0444, kFileAttributeReadOnly, 0444},
  };
  for (const Case& c : cases) {
    WriteFile(dir_ / "f", "x", c.before);
    EXPECT_TRUE(ChangeFileAttributes(dir_ / "f", c.attributes));
    EXPECT_EQ(ModeOf(dir_ / "f"), c.after) << std::oct << c.before << " " << std::hex
                                            << c.attributes;
  }
  EXPECT_FALSE(ChangeFileAttributes(dir_ / "missing", kFileAttributeNormal));
}

TEST_F(PosixFilesTest, CreateDirectoryFailsWhenItExistsOrItsParentIsMissing) {
  EXPECT_TRUE(files_.CreateFolder(Win("VARENTO")));
  EXPECT_TRUE(fs::is_directory(dir_ / "VARENTO"));
  EXPECT_FALSE(files_.CreateFolder(Win("VARENTO")));
  EXPECT_FALSE(files_.CreateFolder(Win("missing/child")));
  EXPECT_TRUE(files_.CreateFolder(Win("VARENTO/TAV_POWERSAVE")));
  // A link in the folder's place is not followed, dangling or not.
  ASSERT_EQ(symlink((dir_ / "target").c_str(), (dir_ / "link").c_str()), 0);
  EXPECT_FALSE(files_.CreateFolder(Win("link")));
  EXPECT_FALSE(FileExists(dir_ / "target"));
}

TEST_F(PosixFilesTest, UnicodeNamesReachTheFileSystemAsUtf8) {
  const std::string name = "電源プラン.ini";
  WriteFile(dir_ / name, "x");
  const std::wstring path = WindowsPath(dir_.path()) + L"\\電源プラン.ini";
  EXPECT_TRUE(files_.Exists(path));
  EXPECT_TRUE(files_.PinFile(path, FinalPathCheck::kCompare, PinSharing::kReadWrite).File->Delete());
}

TEST_F(PosixFilesTest, SpecialFoldersAreNamedAndMade) {
  PosixConfig config = dir_.Config();
  config.CommonAppData = dir_ / "deep/common/";
  config.LocalAppData = dir_ / "deep/local";
  auto os = MakePosixOs(config);

  EXPECT_EQ(os->files().SpecialFolderPath(SpecialFolder::kCommonAppData),
            WindowsPath(dir_ / "deep/common"));
  EXPECT_TRUE(fs::is_directory(dir_ / "deep/common"));
  EXPECT_EQ(os->files().SpecialFolderPath(SpecialFolder::kCommonAppData),
            WindowsPath(dir_ / "deep/common"));
  EXPECT_EQ(os->files().SpecialFolderPath(SpecialFolder::kLocalAppData),
            WindowsPath(dir_ / "deep/local"));
  EXPECT_TRUE(fs::is_directory(dir_ / "deep/local"));

  // Unnamed, too long for MAX_PATH, or blocked by a file: nothing.
  config.LocalAppData = "";
  config.CommonAppData = dir_ / std::string(260, 'x');
  os = MakePosixOs(config);
  EXPECT_EQ(os->files().SpecialFolderPath(SpecialFolder::kLocalAppData), std::nullopt);
  EXPECT_EQ(os->files().SpecialFolderPath(SpecialFolder::kCommonAppData), std::nullopt);
  WriteFile(dir_ / "a-file", "x");
  config.CommonAppData = dir_ / "a-file/sub";
  EXPECT_EQ(MakePosixOs(config)->files().SpecialFolderPath(SpecialFolder::kCommonAppData),
            std::nullopt);
}

TEST_F(PosixFilesTest, UnicodeTextFileHoldsOnlyTheByteOrderMarkAndIsNeverReplaced) {
  constexpr FinalPathCheck kCompare = FinalPathCheck::kCompare;
  FilePin made = files_.CreateUnicodeTextFile(Win("new.ini"), kCompare);
  ASSERT_TRUE(made.File && made.Created);
  EXPECT_EQ(ReadFile(dir_ / "new.ini"), std::string("\xFF\xFE"));
  // Something already there is pinned as PinFile pins it, and left as it is.
  WriteFile(dir_ / "old.ini", "[A]\n");
  for (const char* name : {"new.ini", "old.ini"}) {
    const FilePin again = files_.CreateUnicodeTextFile(Win(name), kCompare);
    EXPECT_TRUE(again.File && !again.Created) << name;
  }
  EXPECT_EQ(ReadFile(dir_ / "old.ini"), "[A]\n");
  // A dangling link is not followed to make its target.
  ASSERT_EQ(symlink((dir_ / "target.ini").c_str(), (dir_ / "link.ini").c_str()), 0);
  EXPECT_EQ(files_.CreateUnicodeTextFile(Win("link.ini"), kCompare).Check, FileCheck::kLink);
  EXPECT_NE(access((dir_ / "target.ini").c_str(), F_OK), 0);
  EXPECT_EQ(files_.CreateUnicodeTextFile(Win("none/x.ini"), kCompare).Check, FileCheck::kMissing);
  // Made behind a linked folder: refused, and not left there.
  ASSERT_EQ(symlink(dir_.path().c_str(), (dir_ / "linked").c_str()), 0);
  EXPECT_EQ(files_.CreateUnicodeTextFile(Win("linked/x.ini"), kCompare).Check, FileCheck::kElsewhere);
  EXPECT_FALSE(FileExists(dir_ / "x.ini"));

  // The profile functions keep such a file in UTF-16 LE.
  ASSERT_TRUE(os_->profile().WriteString(L"Current", L"ProfileName", L"夜間", Win("new.ini")));
  const std::string bytes = ReadFile(dir_ / "new.ini");
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE[\0", 4));
  EXPECT_EQ(os_->profile().ReadString(L"Current", L"ProfileName", L"", 1024, Win("new.ini")),
            L"夜間");
}

TEST_F(PosixFilesTest, ProgramPathIsTheRunningExecutableInWindowsForm) {
  const std::wstring path = files_.ProgramPath().value_or(L"");
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), L'\\');
  EXPECT_EQ(path.find(L'/'), std::wstring::npos);
  EXPECT_EQ(NativePath(path), ExecutablePath());
  std::wstring folder = path;
  ASSERT_TRUE(PathStringRemoveFileSpec(folder));
  EXPECT_TRUE(fs::is_directory(NativePath(folder)));
}

}  // namespace
}  // namespace tav::posix::testing
