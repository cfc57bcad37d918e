// The POSIX layer's pins against the real file system: symbolic links, hard
// links, linked folders, FIFOs and folders where files are expected, and
// files that disappear or are swapped between the check and the use; the
// children's time limit and their standard input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/posix_test_support.h"
#include "os/utf8.h"

namespace tav::posix {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

std::wstring Wide(const std::string& path) { return FromUtf8(path); }

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

class PosixFilePinTest : public ::testing::Test {
 protected:
  PosixFilePinTest() : os(MakePosixOs(dir.Config())) {
    fs::create_directories(dir / "real");
    WriteFile(dir / "real/file.txt", "text\n");
  }
  TempDir dir;
  std::unique_ptr<Os> os;
};

TEST_F(PosixFilePinTest, EachKindOfPathGetsItsCheck) {
  struct Case {
    const char* name;
    std::function<void(const TempDir&)> make;
    std::string path;
    FinalPathCheck finalPath;
    FileCheck file;    // PinFile
    FileCheck folder;  // PinFolder
  };
  const Case cases[] = {
      {"plain file", [](const TempDir&) {}, "real/file.txt", FinalPathCheck::kCompare,
       FileCheck::kPassed, FileCheck::kNotFolder},
      {"missing", [](const TempDir&) {}, "real/none.txt", FinalPathCheck::kCompare,
       FileCheck::kMissing, FileCheck::kMissing},
      {"missing folder on the way", [](const TempDir&) {}, "none/x.txt", FinalPathCheck::kCompare,
       FileCheck::kMissing, FileCheck::kMissing},
      {"symbolic link to a file",
       [](const TempDir& d) { symlink((d / "real/file.txt").c_str(), (d / "link.txt").c_str()); },
       "link.txt", FinalPathCheck::kCompare, FileCheck::kLink, FileCheck::kLink},
      {"dangling link", [](const TempDir& d) { symlink("nowhere", (d / "dangling").c_str()); },
       "dangling", FinalPathCheck::kSkip, FileCheck::kLink, FileCheck::kLink},
      {"hard link",
       [](const TempDir& d) { link((d / "real/file.txt").c_str(), (d / "hard.txt").c_str()); },
       "hard.txt", FinalPathCheck::kSkip, FileCheck::kHardLinked, FileCheck::kNotFolder},
      {"file behind a linked folder",
       [](const TempDir& d) { symlink((d / "real").c_str(), (d / "linked").c_str()); },
       "linked/file.txt", FinalPathCheck::kCompare, FileCheck::kElsewhere, FileCheck::kNotFolder},
      {"same, final path not compared",
       [](const TempDir& d) { symlink((d / "real").c_str(), (d / "linked").c_str()); },
       "linked/file.txt", FinalPathCheck::kSkip, FileCheck::kPassed, FileCheck::kNotFolder},
      {"linked folder itself",
       [](const TempDir& d) { symlink((d / "real").c_str(), (d / "linked").c_str()); }, "linked",
       FinalPathCheck::kCompare, FileCheck::kLink, FileCheck::kLink},
      {"folder", [](const TempDir&) {}, "real", FinalPathCheck::kCompare, FileCheck::kNotFile,
       FileCheck::kPassed},
      {"folder below a linked folder",
       [](const TempDir& d) {
         fs::create_directories(d / "real/sub");
         symlink((d / "real").c_str(), (d / "linked").c_str());
       },
       "linked/sub", FinalPathCheck::kCompare, FileCheck::kNotFile, FileCheck::kElsewhere},
      {"same, final path not compared",
       [](const TempDir& d) {
         fs::create_directories(d / "real/sub");
         symlink((d / "real").c_str(), (d / "linked").c_str());
       },
       "linked/sub", FinalPathCheck::kSkip, FileCheck::kNotFile, FileCheck::kPassed},
      {"FIFO", [](const TempDir& d) { mkfifo((d / "fifo").c_str(), 0644); }, "fifo",
       FinalPathCheck::kCompare, FileCheck::kNotFile, FileCheck::kNotFolder},
      {"spelled with . and ..", [](const TempDir&) {}, "real/./../real/file.txt",
       FinalPathCheck::kCompare, FileCheck::kPassed, FileCheck::kNotFolder},
      // The link's ".." leads back to the path as spelled: the final path
      // is the one meant, though a link lies on the way.
      {"linked folder left again by ..",
       [](const TempDir& d) {
         fs::create_directories(d / "other");
         symlink((d / "other").c_str(), (d / "hop").c_str());
       },
       "hop/../real/file.txt", FinalPathCheck::kCompare, FileCheck::kPassed, FileCheck::kNotFolder},
  };
  // Each case with the link-free open and with the comparison through /proc
  // alone, as on a kernel without openat2: both must agree.
  for (const bool linkFree : {true, false}) {
    const bool before = UseLinkFreeOpen(linkFree);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (linkFree ? "" : ", through /proc"));
      TempDir fresh;
      fs::create_directories(fresh / "real");
      WriteFile(fresh / "real/file.txt", "text\n");
      c.make(fresh);
      // Windows form, as the core passes paths.
      std::wstring path = Wide(fresh / c.path);
      for (wchar_t& ch : path)
        if (ch == L'/') ch = L'\\';
      // A passed pin names what it holds by its real path, in the core's form.
      const auto real = [&] { return WindowsPath(fs::canonical(fresh / c.path).string()); };
      for (const PinSharing sharing : {PinSharing::kReadWrite, PinSharing::kReadOnly}) {
        const FilePin file = os->files().PinFile(path, c.finalPath, sharing);
        EXPECT_EQ(file.Check, c.file);
        ASSERT_EQ(file.File != nullptr, c.file == FileCheck::kPassed);
        if (file.File) { EXPECT_EQ(file.File->FinalPath(), real()); }
      }
      const FolderPin folder = os->files().PinFolder(path, c.finalPath);
      EXPECT_EQ(folder.Check, c.folder);
      if (folder.Folder) { EXPECT_EQ(folder.Folder->FinalPath(), real()); }
    }
    UseLinkFreeOpen(before);
  }
}

TEST_F(PosixFilePinTest, PinnedFileIsReadUnprotectedAndDeletedAsTheCheckedFile) {
  const std::string path = dir / "real/file.txt";
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  FilePin pin = os->files().PinFile(Wide(path), FinalPathCheck::kCompare, PinSharing::kReadWrite);
  ASSERT_TRUE(pin.File);
  std::unique_ptr<OsTextFile> text = pin.File->OpenTextFileForReading();
  ASSERT_TRUE(text);
  std::wstring line;
  ASSERT_TRUE(text->ReadLine(line, 100));
  EXPECT_EQ(line, L"text\n");
  text.reset();
  EXPECT_FALSE(pin.File->Delete());  // read-only: refused, as DeleteFileW refuses it
  EXPECT_TRUE(fs::exists(path));

  pin = os->files().PinFile(Wide(path), FinalPathCheck::kCompare, PinSharing::kReadWrite);
  ASSERT_TRUE(pin.File);
  pin.File->ClearReadOnlyAttribute();
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IWUSR, 0u);
  EXPECT_TRUE(pin.File->Delete());
  EXPECT_FALSE(fs::exists(path));
}

// POSIX cannot refuse a rename of a held file: the deletion then checks that
// the name still reaches the held file, and leaves a newcomer alone.
TEST_F(PosixFilePinTest, FileSwappedOrGoneAfterTheCheckIsNotDeleted) {
  const std::string path = dir / "real/file.txt";
  FilePin pin = os->files().PinFile(Wide(path), FinalPathCheck::kCompare, PinSharing::kReadWrite);
  ASSERT_TRUE(pin.File);
  fs::rename(path, dir / "real/moved.txt");
  WriteFile(path, "newcomer\n");
  EXPECT_FALSE(pin.File->Delete());
  EXPECT_TRUE(fs::exists(path));
  EXPECT_TRUE(fs::exists(dir / "real/moved.txt"));

  pin = os->files().PinFile(Wide(path), FinalPathCheck::kCompare, PinSharing::kReadWrite);
  ASSERT_TRUE(pin.File);
  fs::remove(path);
  pin.File->ClearReadOnlyAttribute();  // harmless on the held, unnamed file
  EXPECT_FALSE(pin.File->Delete());

  // A record swapped for a link after its check is not written through.
  WriteFile(path, "record\n");
  pin = os->files().PinFile(Wide(path), FinalPathCheck::kCompare, PinSharing::kReadWrite);
  ASSERT_TRUE(pin.File);
  fs::remove(path);
  fs::create_symlink(dir / "real/moved.txt", path);
  EXPECT_FALSE(os->profile().WriteString(L"Current", L"GUID", L"x", Wide(path)));
  EXPECT_EQ(testing::ReadFile(dir / "real/moved.txt"), "text\n");
}

// A child that never ends is ended after the limit; one that asks a question
// reads end-of-file at once.
TEST_F(PosixFilePinTest, ChildrenEndWithinTheLimitOrAreEnded) {
  std::unique_ptr<OsProcess> child = os->processes().StartHidden(L"", L"/bin/sleep 30");
  ASSERT_TRUE(child);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(child->Wait(std::chrono::milliseconds(100)));
  child->Terminate();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(child->ExitCode(), 128u + SIGKILL);

  // "read" waits for a line; standard input at end-of-file ends it at once.
  child = os->processes().StartHidden(L"", L"/bin/sh -c \"read answer || exit 3; exit 7\"");
  ASSERT_TRUE(child);
  EXPECT_TRUE(child->Wait(std::chrono::seconds(10)));
  EXPECT_EQ(child->ExitCode(), 3u);  // read found end-of-file
}

}  // namespace
}  // namespace tav::posix
