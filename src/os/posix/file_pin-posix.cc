// Files and folders opened as themselves and held open, as the Win32 layer
// does with FILE_FLAG_OPEN_REPARSE_POINT: O_PATH | O_NOFOLLOW opens a
// symbolic link itself instead of its target, fstat tells the kind and the
// link count. The final path is the path as spelled when the object is
// reached without any link on the way (openat2 with RESOLVE_NO_SYMLINKS);
// only where a link is on the way, or the kernel has no openat2, does
// /proc/self/fd name it for a comparison. Everything done later goes
// through the held descriptor (/proc/self/fd/N reaches the very inode), except
// the deletion, which POSIX can only do by name: the name is checked to still
// reach the held inode just before it is removed.
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
#include "os/posix/unique_fd.h"

namespace tav::posix {
namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

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

// Opens `path` itself (O_PATH | O_NOFOLLOW) only if no symbolic link lies on
// the way to it; a link as the last element is opened as itself. False with
// errno set when it was not opened; ENOSYS where the kernel cannot tell.
bool OpenWithoutLinks(const std::string& path, UniqueFd& fd) {
#ifdef TAV_HAVE_OPENAT2
  if (linkFreeOpen.load(std::memory_order_relaxed)) {
    open_how how{};
    how.flags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
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

// Opens `path` itself and compares its final path where asked.
FileCheck OpenItself(const std::string& path, bool compareFinalPath, UniqueFd& held,
                     struct stat& info) {
  if (path.empty()) return FileCheck::kMissing;
  if (compareFinalPath) {
    UniqueFd direct;
    if (OpenWithoutLinks(path, direct)) {
      // No link on the way: the kernel walked the path as spelled, so its
      // final path is that path; no look-up in /proc is needed.
      if (fstat(direct.get(), &info) != 0) return FileCheck::kUnopenable;
      if (S_ISLNK(info.st_mode)) return FileCheck::kLink;
      held = std::move(direct);
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
  if (!compareFinalPath) return FileCheck::kPassed;
  const std::string meant = LexicallyAbsolute(path);
  const std::string final = FinalPath(held.get());
  if (final.empty()) return FileCheck::kUnopenable;
  return final == meant ? FileCheck::kPassed : FileCheck::kElsewhere;
}

class PosixPinnedFile : public OsPinnedFile {
 public:
  PosixPinnedFile(std::string path, UniqueFd fd, const struct stat& info)
      : path_(std::move(path)), fd_(std::move(fd)), device_(info.st_dev), inode_(info.st_ino) {}

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
    const std::string held = ProcFdPath(fd_.get());
    const uint32_t attributes = FileAttributes(held);
    if (attributes == kInvalidFileAttributes || !(attributes & kFileAttributeReadOnly)) return;
    ChangeFileAttributes(held, attributes & ~kFileAttributeReadOnly);
  }

  bool Delete() override {
    if (!fd_) return false;
    // The name is removed from the folder it was found in, and only while it
    // still names the held inode.
    const size_t cut = path_.find_last_of('/');
    const std::string folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : path_.substr(0, cut));
    const std::string name = cut == std::string::npos ? path_ : path_.substr(cut + 1);
    UniqueFd parent(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat now;
    const bool same = parent && fstatat(parent.get(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                      now.st_dev == device_ && now.st_ino == inode_ && S_ISREG(now.st_mode);
    fd_.Reset();
    // A read-only file cannot be deleted, as on Windows.
    if (!same || (now.st_mode & kAnyWrite) == 0) return false;
    return unlinkat(parent.get(), name.c_str(), 0) == 0;
  }

 private:
  std::string path_;
  UniqueFd fd_;
  dev_t device_;
  ino_t inode_;
};

class PosixPinnedFolder : public OsPinnedFolder {
 public:
  explicit PosixPinnedFolder(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;
};

}  // namespace

bool UseLinkFreeOpen(bool use) { return linkFreeOpen.exchange(use); }

FilePin PinNativeFile(const std::string& path, FinalPathCheck finalPath) {
  UniqueFd fd;
  struct stat info;
  FileCheck check = OpenItself(path, finalPath == FinalPathCheck::kCompare, fd, info);
  if (check == FileCheck::kPassed || check == FileCheck::kElsewhere) {
    // The kind of object and its names come first: a hard-linked file behind
    // a linked folder is reported as hard-linked.
    if (!S_ISREG(info.st_mode)) return FilePin{FileCheck::kNotFile, nullptr};
    if (info.st_nlink != 1) return FilePin{FileCheck::kHardLinked, nullptr};
  }
  if (check != FileCheck::kPassed) return FilePin{check, nullptr};
  return FilePin{FileCheck::kPassed, std::make_unique<PosixPinnedFile>(path, std::move(fd), info)};
}

FolderPin PinNativeFolder(const std::string& path) {
  UniqueFd fd;
  struct stat info;
  FileCheck check = OpenItself(path, true, fd, info);
  if ((check == FileCheck::kPassed || check == FileCheck::kElsewhere) && !S_ISDIR(info.st_mode))
    return FolderPin{FileCheck::kNotFolder, nullptr};
  if (check != FileCheck::kPassed) return FolderPin{check, nullptr};
  return FolderPin{FileCheck::kPassed, std::make_unique<PosixPinnedFolder>(std::move(fd))};
}

}  // namespace tav::posix
