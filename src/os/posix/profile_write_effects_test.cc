// What a profile write does on disk. A value the file already holds leaves
// the file alone: no temporary file, no rename, no change of any kind in its
// folder. A changed value goes through a synced temporary file that replaces
// the file; the folders of replaced files are synced once per Flush.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_test_support.h"
#include "os/posix/profile_file.h"
#include "os/posix/unique_fd.h"
#include "os/posix/unsynced_files.h"

namespace tav::posix {
namespace {

using testing::TempDir;

// Every change inotify reports in one folder, from creation to rename.
class FolderWatch {
 public:
  explicit FolderWatch(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_)
      inotify_add_watch(fd_.get(), folder.c_str(),
                        IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                            IN_MOVED_FROM | IN_MOVED_TO);
  }
  bool ok() const { return static_cast<bool>(fd_); }
  // The number of events since the last call.
  int Events() {
    alignas(inotify_event) char buffer[4096];
    int count = 0;
    for (ssize_t n; (n = read(fd_.get(), buffer, sizeof buffer)) > 0;) {
      for (char* p = buffer; p < buffer + n;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        ++count;
        p += sizeof(inotify_event) + event->len;
      }
    }
    return count;
  }

 private:
  UniqueFd fd_;
};

struct FileState {
  ino_t inode = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  std::string bytes;
  bool operator==(const FileState&) const = default;
};

FileState StateOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return {info.st_ino, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
          info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec, testing::ReadFile(path)};
}

std::string Utf16Le(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

struct UnchangedCase {
  const char* what;
  std::string bytes;         // the file as it is
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* value;      // what the file already holds
  const wchar_t* newValue;   // a different value
};

const UnchangedCase kCases[] = {
    {"record as the tool writes it", "[Current]\r\nGUID=5c1e3a52\r\nProfileName=Office\r\n",
     L"Current", L"GUID", L"5c1e3a52", L"0a1b2c3d"},
    {"other letter case, blanks around the value", "[current]\r\n  guid =  5c1e3a52  \r\n",
     L"Current", L"GUID", L"5c1e3a52", L"0a1b2c3d"},
    {"value kept in quotes", "[S]\nk=\"  padded  \"\n", L"S", L"k", L"  padded  ", L"bare"},
    {"empty value, no line end at the end", "[S]\r\nk=", L"S", L"k", L"", L"x"},
    {"UTF-8 with BOM", "\xEF\xBB\xBF[Current]\r\nProfileName=\xE5\x8A\xB4\r\n", L"Current",
     L"ProfileName", L"\x52B4", L"Other"},
    {"UTF-16 LE", Utf16Le(u"[Current]\r\nProfileName=\x7701\x96FB\x529B\r\n"), L"Current",
     L"ProfileName", L"\x7701\x96FB\x529B", L"Office"},
};

TEST(ProfileWriteEffects, LeavesTheFileAloneAndAChangeStillReplacesItWhole) {
  for (const UnchangedCase& c : kCases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir / "Setting.ini";
    testing::WriteFile(path, c.bytes);
    int replaces = 0;
    ProfileStore store([&](const std::string& temporary) {
      ++replaces;
      EXPECT_TRUE(testing::fs::exists(temporary));
      return true;
    });
    ASSERT_EQ(store.GetString(path, c.section, c.key, L"-", 256), c.value);
    const size_t parses = store.ParseCount();
    const FileState before = StateOf(path);
    FolderWatch watch(dir.path());
    ASSERT_TRUE(watch.ok());

    for (int i = 0; i < 3; ++i) EXPECT_TRUE(store.WriteString(path, c.section, c.key, c.value));
    EXPECT_EQ(watch.Events(), 0);
    EXPECT_EQ(replaces, 0);
    EXPECT_TRUE(StateOf(path) == before);
    // The parsed copy is still the one in use.
    EXPECT_EQ(store.GetString(path, c.section, c.key, L"-", 256), c.value);
    EXPECT_EQ(store.ParseCount(), parses);

    ASSERT_TRUE(store.WriteString(path, c.section, c.key, c.newValue));
    EXPECT_EQ(replaces, 1);
    EXPECT_GT(watch.Events(), 0);
    EXPECT_NE(StateOf(path).inode, before.inode);  // a new file renamed into place
    EXPECT_EQ(store.GetString(path, c.section, c.key, L"-", 256), c.newValue);
    ProfileStore fresh;
    EXPECT_EQ(fresh.GetString(path, c.section, c.key, L"-", 256), c.newValue);
  }
}

TEST(ProfileWriteEffects, ReadOnlyFileStillRefusesTheWrite) {
  TempDir dir;
  const std::string path = dir / "Setting.ini";
  const std::string bytes = "[Current]\r\nGUID=5c1e3a52\r\n";
  testing::WriteFile(path, bytes, 0444);
  ProfileStore store;
  ASSERT_EQ(store.GetString(path, L"Current", L"GUID", L"", 256), L"5c1e3a52");
  FolderWatch watch(dir.path());
  ASSERT_TRUE(watch.ok());
  EXPECT_FALSE(store.WriteString(path, L"Current", L"GUID", L"5c1e3a52"));
  EXPECT_FALSE(store.WriteString(path, L"Current", L"GUID", L"0a1b2c3d"));
  EXPECT_EQ(watch.Events(), 0);
  EXPECT_EQ(testing::ReadFile(path), bytes);
}

TEST(ProfileWriteEffects, CachedFileReplacedByWhatCannotBeReadIsNoticed) {
  TempDir dir;
  const std::string path = dir / "Setting.ini";
  testing::WriteFile(path, "[Current]\r\nGUID=5c1e3a52\r\n");
  ProfileStore store;
  ASSERT_EQ(store.GetString(path, L"Current", L"GUID", L"", 256), L"5c1e3a52");
  ASSERT_EQ(unlink(path.c_str()), 0);
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
  // Neither a read nor a write may take the cached copy or wait for a writer.
  EXPECT_EQ(store.GetString(path, L"Current", L"GUID", L"gone", 256), L"gone");
  EXPECT_FALSE(store.WriteString(path, L"Current", L"GUID", L"5c1e3a52"));
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_EQ(store.GetString(path, L"Current", L"GUID", L"gone", 256), L"gone");
}

TEST(ProfileWriteEffects, FoldersOfReplacedFilesAreSyncedOncePerFlush) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "a").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "b").c_str(), 0755), 0);
  const std::string a = dir / "a/Setting.ini";
  const std::string b = dir / "b/MySetting.ini";
  ProfileStore store;
  ASSERT_TRUE(store.WriteString(a, L"Current", L"ProfilePath", L"C:\\p.ini"));
  ASSERT_TRUE(store.WriteString(a, L"Current", L"ProfileName", L"Office"));
  ASSERT_TRUE(store.WriteString(b, L"Current", L"ProfileName", L"Office"));
  EXPECT_EQ(store.FolderSyncCount(), 0u);
  // Each write is whole on disk before any sync of its folder.
  EXPECT_EQ(testing::ReadFile(a), "[Current]\r\nProfilePath=C:\\p.ini\r\nProfileName=Office\r\n");

  store.Flush(a);
  EXPECT_EQ(store.FolderSyncCount(), 2u);
  store.Flush(b);
  EXPECT_EQ(store.FolderSyncCount(), 2u);  // nothing left to sync

  // Unchanged values and refused writes replace nothing, so sync nothing.
  ASSERT_TRUE(store.WriteString(a, L"Current", L"ProfileName", L"Office"));
  ASSERT_EQ(chmod(b.c_str(), 0444), 0);
  EXPECT_FALSE(store.WriteString(b, L"Current", L"ProfileName", L"Other"));
  store.Flush(a);
  EXPECT_EQ(store.FolderSyncCount(), 2u);
}

// A file this process made and never synced has nothing a crash could not
// lose already: its replacements wait for Flush, which syncs it once as it
// then stands. A file with contents from before keeps a sync per write, and
// so does a made file once synced or once another program replaced it.
TEST(ProfileWriteEffects, AFileMadeHereIsSyncedOnceAtFlush) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "a").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "b").c_str(), 0755), 0);
  const std::string made = dir / "a/Setting.ini";
  const std::string kept = dir / "b/MySetting.ini";
  testing::WriteFile(kept, "[Current]\r\nProfileName=Home\r\n");
  UnsyncedFiles unsynced;
  ProfileStore store(&unsynced);
  ASSERT_TRUE(CreateUnicodeFile(made, FinalPathCheck::kCompare, &unsynced).Created);

  ASSERT_TRUE(store.WriteString(made, L"Current", L"ProfilePath", L"C:\\p.ini"));
  ASSERT_TRUE(store.WriteString(made, L"Current", L"ProfileName", L"Office"));
  ASSERT_TRUE(store.WriteString(made, L"Current", L"GUID", L"5c1e3a52"));
  EXPECT_EQ(store.FileSyncCount(), 0u);
  EXPECT_EQ(store.GetString(made, L"Current", L"ProfileName", L"", 256), L"Office");
  ASSERT_TRUE(store.WriteString(kept, L"Current", L"ProfileName", L"Office"));
  ASSERT_TRUE(store.WriteString(kept, L"Current", L"GUID", L"5c1e3a52"));
  EXPECT_EQ(store.FileSyncCount(), 2u);

  store.Flush(made);
  EXPECT_EQ(store.FileSyncCount(), 3u);
  EXPECT_EQ(store.FolderSyncCount(), 2u);
  struct stat now;
  ASSERT_EQ(stat(made.c_str(), &now), 0);
  EXPECT_FALSE(unsynced.Contains(FileIdentity::Of(now)));
  // Synced once, its contents are at stake: every write syncs again.
  ASSERT_TRUE(store.WriteString(made, L"Current", L"GUID", L"0a1b2c3d"));
  EXPECT_EQ(store.FileSyncCount(), 4u);

  // Made here, then replaced by another program: that file is not ours.
  const std::string other = dir / "a/Other.ini";
  ASSERT_TRUE(CreateUnicodeFile(other, FinalPathCheck::kCompare, &unsynced).Created);
  testing::WriteFile(dir / "a/theirs.ini", "[Current]\r\nProfileName=Theirs\r\n");
  ASSERT_EQ(rename((dir / "a/theirs.ini").c_str(), other.c_str()), 0);
  ASSERT_TRUE(store.WriteString(other, L"Current", L"ProfileName", L"Office"));
  EXPECT_EQ(store.FileSyncCount(), 5u);
}

// A made file's replacement takes its place and removes the old one, leaving
// nothing else in the folder, whatever another program left in its place
// just before: the file as made, nothing, or a folder, which refuses the
// write as a rename over it would.
TEST(ProfileWriteEffects, AMadeFilesReplacementLeavesNothingBehind) {
  enum class Before { kAsMade, kGone, kFolder };
  const struct {
    const char* what;
    Before before;
    bool written;
  } kCases[] = {{"the file as made", Before::kAsMade, true},
                {"no file", Before::kGone, true},
                {"a folder", Before::kFolder, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string made = dir / "Setting.ini";
    UnsyncedFiles unsynced;
    ProfileStore store(
        [&](const std::string&) {
          if (c.before != Before::kAsMade) {
            EXPECT_EQ(unlink(made.c_str()), 0);
          }
          if (c.before == Before::kFolder) {
            EXPECT_EQ(mkdir(made.c_str(), 0755), 0);
          }
          return true;
        },
        &unsynced);
    ASSERT_TRUE(CreateUnicodeFile(made, FinalPathCheck::kCompare, &unsynced).Created);

    EXPECT_EQ(store.WriteString(made, L"Current", L"ProfileName", L"Office"), c.written);
    std::set<std::string> names;
    for (const auto& entry : testing::fs::directory_iterator(dir.path()))
      names.insert(entry.path().filename().string());
    EXPECT_EQ(names, std::set<std::string>{"Setting.ini"});
    if (c.written) {
      ProfileStore fresh;
      EXPECT_EQ(fresh.GetString(made, L"Current", L"ProfileName", L"-", 256), L"Office");
    } else {
      EXPECT_TRUE(testing::fs::is_directory(made));
    }
  }
}

}  // namespace
}  // namespace tav::posix
