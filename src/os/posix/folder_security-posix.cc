// The POSIX stand-in of the install step's folder calls: a link is a
// symbolic link, owner root is trusted, the lock is mode 0755 (owner root as
// well when run as root).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "os/folder_security.h"
#include "os/posix/posix_paths.h"
#include "os/posix/unique_fd.h"

namespace tav {
namespace {

class PosixFolderSecurity final : public FolderSecurity {
 public:
  FolderState Examine(const std::wstring& path) override {
    struct stat info {};
    if (lstat(posix::NativePath(path).c_str(), &info) != 0) {
      return errno == ENOENT || errno == ENOTDIR ? FolderState::kMissing : FolderState::kUnreadable;
    }
    if (S_ISLNK(info.st_mode)) return FolderState::kLink;
    if (!S_ISDIR(info.st_mode)) return FolderState::kFile;
    return info.st_uid == 0 ? FolderState::kTrustedFolder : FolderState::kUntrustedFolder;
  }
  bool MoveAside(const std::wstring& path, const std::wstring& newPath) override {
    return std::rename(posix::NativePath(path).c_str(), posix::NativePath(newPath).c_str()) == 0;
  }
  bool CreateFolder(const std::wstring& path) override {
    return mkdir(posix::NativePath(path).c_str(), 0755) == 0;
  }
  bool Lock(const std::wstring& path) override {
    posix::UniqueFd folder(open(posix::NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder) return false;
    if (geteuid() == 0 && fchown(folder.get(), 0, 0) != 0) return false;
    return fchmod(folder.get(), 0755) == 0;
  }
};

}  // namespace

std::unique_ptr<FolderSecurity> MakePlatformFolderSecurity() {
  return std::make_unique<PosixFolderSecurity>();
}

}  // namespace tav
