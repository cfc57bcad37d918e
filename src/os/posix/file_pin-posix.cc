// Files and folders opened as themselves and held open, as the Win32 layer
// does with FILE_FLAG_OPEN_REPARSE_POINT: O_PATH | O_NOFOLLOW opens a
// symbolic link itself instead of its target, fstat tells the kind and the
// link count. The final path is the path as spelled when the object is
// reached without any link on the way (openat2 with RESOLVE_NO_SYMLINKS);
// only where a link is on the way, or the kernel has no openat2, does
// /proc/self/fd name it for a comparison. Everything done later goes
// through the held descriptor (/proc/self/fd/N reaches the very inode), except
// the deletion, which POSIX can only do by name: the name is checked to still
// reach the held inode just before it is removed. A new record file is made
// the same way (O_CREAT | O_EXCL | O_NOFOLLOW, the final path checked through
// its descriptor) and comes back as a pin.
//
// Unlike Windows, POSIX cannot refuse a rename or deletion of a held file or
// folder by another program; the checks narrow that to the instant between
// the last check and the use.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(SYS_openat2) && __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#define TAV_HAVE_OPENAT2 1
#endif

#include <atomic>
#include <cerrno>
#include <climits>
#include <vector>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/unique_fd.h"
#include "os/posix/unsynced_files.h"

namespace tav::posix {
namespace {

std::string ProcFdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// `path` made absolute against the current folder, with ".", ".." and
// repeated separators resolved by name, as GetFullPathNameW does.
std::string LexicallyAbsolute(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    std::vector<char> buffer(PATH_MAX);
    if (!getcwd(buffer.data(), buffer.size())) return "";
    full = std::string(buffer.data()) + "/" + full;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

// The path the kernel knows the held object by; empty when it cannot say.
std::string FinalPath(int fd) {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = readlink(ProcFdPath(fd).c_str(), buffer.data(), buffer.size() - 1);
  if (n <= 0) return "";
  return std::string(buffer.data(), static_cast<size_t>(n));
}

FileCheck OpenError() {
  return errno == ENOENT || errno == ENOTDIR ? FileCheck::kMissing : FileCheck::kUnopenable;
}

std::atomic<bool> linkFreeOpen{true};

// Opens `path` with `flags` (a link as the last element is never followed)
// only if no symbolic link lies on the way to it. False with errno set when
// it was not opened; ENOSYS where the kernel cannot tell.
bool OpenWithoutLinks(const std::string& path, int flags, mode_t mode, UniqueFd& fd) {
#ifdef TAV_HAVE_OPENAT2
  if (linkFreeOpen.load(std::memory_order_relaxed)) {
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
    how.mode = mode;
    how.resolve = RESOLVE_NO_SYMLINKS;
    fd.Reset(static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how)));
    if (fd) return true;
    // A kernel before 5.6, or a system call filter, will not do it at all:
    // the rest of the run asks /proc without trying again.
    if (errno != ENOSYS && errno != EPERM && errno != EINVAL) return false;
    linkFreeOpen.store(false, std::memory_order_relaxed);
  }
#endif
  errno = ENOSYS;
  return false;
}

// Whether /proc names the held object by `path` made absolute by name.
FileCheck CompareFinalPath(int fd, const std::string& path) {
  const std::string final = FinalPath(fd);
  if (final.empty()) return FileCheck::kUnopenable;
  return final == LexicallyAbsolute(path) ? FileCheck::kPassed : FileCheck::kElsewhere;
}

// Opens `path` itself and compares its final path where asked.
// `withoutLinks` tells whether the object was reached with no link on the way.
FileCheck OpenItself(const std::string& path, bool compareFinalPath, UniqueFd& held,
                     struct stat& info, bool& withoutLinks) {
  withoutLinks = false;
  if (path.empty()) return FileCheck::kMissing;
  if (compareFinalPath) {
    UniqueFd direct;
    if (OpenWithoutLinks(path, O_PATH, 0, direct)) {
      // No link on the way: the kernel walked the path as spelled, so its
      // final path is that path; no look-up in /proc is needed.
      if (fstat(direct.get(), &info) != 0) return FileCheck::kUnopenable;
      if (S_ISLNK(info.st_mode)) return FileCheck::kLink;
      held = std::move(direct);
      withoutLinks = true;
      return FileCheck::kPassed;
    }
    // Missing on a walk without links: a walk that follows them finds the
    // same gap. Anything else (a link on the way, no openat2 in the kernel
    // or a filter refusing it) is settled below by the name /proc gives,
    // which also lets through a link whose ".." leads back to the path.
    if (errno == ENOENT || errno == ENOTDIR) return FileCheck::kMissing;
  }
  UniqueFd fd(open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return OpenError();
  if (fstat(fd.get(), &info) != 0) return FileCheck::kUnopenable;
  if (S_ISLNK(info.st_mode)) return FileCheck::kLink;
  held = std::move(fd);
  return compareFinalPath ? CompareFinalPath(held.get(), path) : FileCheck::kPassed;
}

// The held object's final path in the core's form ('\\' separators): the
// path as spelled, made absolute, where no link lay on the way, else the name
// /proc gives. Nothing when it has no name (closed, or removed meanwhile).
std::optional<std::wstring> CoreFinalPath(int fd, const std::string& path, bool withoutLinks) {
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0 || info.st_nlink == 0) return std::nullopt;
  const std::string final = withoutLinks ? LexicallyAbsolute(path) : FinalPath(fd);
  if (final.empty() || final[0] != '/') return std::nullopt;
  return WindowsPath(final);
}

// Removes the name `path` only while it still reaches the regular file
// `device`/`inode` (a read-only one stays where `refuseReadOnly`): the
// deletion by name that POSIX allows, narrowed to the file that was held.
bool RemoveIfStillHeld(const std::string& path, dev_t device, ino_t inode, bool refuseReadOnly) {
  const std::string name = NativeFileNameOf(path);
  UniqueFd parent(open(NativeFolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat now;
  const bool same = parent && fstatat(parent.get(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                    now.st_dev == device && now.st_ino == inode && S_ISREG(now.st_mode);
  if (!same || (refuseReadOnly && (now.st_mode & kAnyWrite) == 0)) return false;
  return unlinkat(parent.get(), name.c_str(), 0) == 0;
}

class PosixPinnedFile : public OsPinnedFile {
 public:
  PosixPinnedFile(std::string path, UniqueFd fd, const struct stat& info, bool withoutLinks)
      : path_(std::move(path)),
        fd_(std::move(fd)),
        device_(info.st_dev),
        inode_(info.st_ino),
        withoutLinks_(withoutLinks) {}

  std::optional<std::wstring> FinalPath() override {
    return CoreFinalPath(fd_.get(), path_, withoutLinks_);
  }

  std::unique_ptr<OsTextFile> OpenTextFileForReading() override {
    if (!fd_) return nullptr;
    return OpenTextFile(ProcFdPath(fd_.get()));
  }

  void ClearReadOnlyAttribute() override {
    if (!fd_) return;
    // The descriptor tells whether there is anything to clear; only a
    // change goes through /proc, as fchmod refuses an O_PATH descriptor.
    struct stat now;
    if (fstat(fd_.get(), &now) != 0 || (now.st_mode & kAnyWrite) != 0) return;
    ChangeFileAttributes(ProcFdPath(fd_.get()), kFileAttributeNormal);
  }

  bool Delete() override {
    if (!fd_) return false;
    // The name is removed from the folder it was found in, and only while it
    // still names the held inode; a read-only file cannot be deleted, as on
    // Windows.
    const bool removed = RemoveIfStillHeld(path_, device_, inode_, true);
    fd_.Reset();
    return removed;
  }

 private:
  std::string path_;
  UniqueFd fd_;
  dev_t device_;
  ino_t inode_;
  bool withoutLinks_;  // reached with no link on the way: the final path is the path
};

class PosixPinnedFolder : public OsPinnedFolder {
 public:
  PosixPinnedFolder(std::string path, UniqueFd fd, bool withoutLinks)
      : path_(std::move(path)), fd_(std::move(fd)), withoutLinks_(withoutLinks) {}

  std::optional<std::wstring> FinalPath() override {
    return CoreFinalPath(fd_.get(), path_, withoutLinks_);
  }

 private:
  std::string path_;
  UniqueFd fd_;
  bool withoutLinks_;
};

// Makes `path` as a new file without following a link at it. Where
// `compare`, `withoutLinks` tells whether the kernel reached it with no link
// on the way. False with errno set when nothing was made.
bool CreateItself(const std::string& path, bool compare, UniqueFd& fd, bool& withoutLinks) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL;
  withoutLinks = compare && OpenWithoutLinks(path, kFlags, 0644, fd);
  if (withoutLinks) return true;
  // Anything but a link on the way, or no way to tell, is the plain open's
  // answer too (EEXIST, ENOENT, EACCES...).
  if (compare && errno != ELOOP && errno != ENOSYS) return false;
  fd.Reset(open(path.c_str(), kFlags | O_NOFOLLOW | O_CLOEXEC, 0644));
  return static_cast<bool>(fd);
}

}  // namespace

bool UseLinkFreeOpen(bool use) { return linkFreeOpen.exchange(use); }

FilePin PinNativeFile(const std::string& path, FinalPathCheck finalPath) {
  UniqueFd fd;
  struct stat info;
  bool withoutLinks = false;
  FileCheck check = OpenItself(path, finalPath == FinalPathCheck::kCompare, fd, info, withoutLinks);
  if (check == FileCheck::kPassed || check == FileCheck::kElsewhere) {
    // The kind of object and its names come first: a hard-linked file behind
    // a linked folder is reported as hard-linked.
    if (!S_ISREG(info.st_mode)) return FilePin{FileCheck::kNotFile, nullptr};
    if (info.st_nlink != 1) return FilePin{FileCheck::kHardLinked, nullptr};
  }
  if (check != FileCheck::kPassed) return FilePin{check, nullptr};
  return FilePin{FileCheck::kPassed,
                 std::make_unique<PosixPinnedFile>(path, std::move(fd), info, withoutLinks)};
}

FolderPin PinNativeFolder(const std::string& path, FinalPathCheck finalPath) {
  UniqueFd fd;
  struct stat info;
  bool withoutLinks = false;
  FileCheck check = OpenItself(path, finalPath == FinalPathCheck::kCompare, fd, info, withoutLinks);
  if ((check == FileCheck::kPassed || check == FileCheck::kElsewhere) && !S_ISDIR(info.st_mode))
    return FolderPin{FileCheck::kNotFolder, nullptr};
  if (check != FileCheck::kPassed) return FolderPin{check, nullptr};
  return FolderPin{FileCheck::kPassed,
                   std::make_unique<PosixPinnedFolder>(path, std::move(fd), withoutLinks)};
}

FilePin CreateUnicodeFile(const std::string& path, FinalPathCheck finalPath,
                          UnsyncedFiles* unsynced) {
  if (path.empty()) return FilePin{};
  const bool compare = finalPath == FinalPathCheck::kCompare;
  UniqueFd fd;
  bool withoutLinks = false;
  // Something already there is pinned as it is, or refused as a pin refuses it.
  if (!CreateItself(path, compare, fd, withoutLinks))
    return errno == EEXIST ? PinNativeFile(path, finalPath) : FilePin{};
  static const char kByteOrderMark[] = {'\xFF', '\xFE'};
  const bool marked = write(fd.get(), kByteOrderMark, sizeof kByteOrderMark) ==
                      static_cast<ssize_t>(sizeof kByteOrderMark);
  // The made file is checked as a pin checks the file it opens.
  struct stat made {};
  FileCheck check = FileCheck::kPassed;
  if (fstat(fd.get(), &made) != 0) check = FileCheck::kUnopenable;
  else if (made.st_nlink != 1) check = FileCheck::kHardLinked;
  else if (compare && !withoutLinks) check = CompareFinalPath(fd.get(), path);
  if (check == FileCheck::kPassed && !marked) check = FileCheck::kMissing;  // no Unicode file
  if (check != FileCheck::kPassed) {
    // Made here but refused (or without its mark): the name goes only while
    // it still reaches the file made.
    if (made.st_nlink != 0) RemoveIfStillHeld(path, made.st_dev, made.st_ino, false);
    return FilePin{check, nullptr};
  }
  // Not synced: the file holds nothing yet that a crash could lose.
  if (unsynced) unsynced->Add(FileIdentity::Of(made));
  FilePin pin{FileCheck::kPassed,
              std::make_unique<PosixPinnedFile>(path, std::move(fd), made, withoutLinks)};
  pin.Created = true;
  return pin;
}

}  // namespace tav::posix
