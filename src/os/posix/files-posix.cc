// Files and folders with Windows' rules on top of POSIX ones: the read-only
// attribute is "no write permission at all".
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/posix_parts.h"

namespace tav::posix {

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

uint32_t FileAttributes(const std::string& path) {
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return kInvalidFileAttributes;
  uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= kFileAttributeDirectory;
  if ((info.st_mode & kAnyWrite) == 0) attributes |= kFileAttributeReadOnly;
  return attributes == 0 ? kFileAttributeNormal : attributes;
}

bool ChangeFileAttributes(const std::string& path, uint32_t attributes) {
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return false;
  mode_t mode = info.st_mode & 07777;
  if (attributes & kFileAttributeReadOnly) {
    mode &= ~kAnyWrite;
  } else if ((mode & kAnyWrite) == 0) {
    mode |= S_IWUSR;  // writable again for the owner only
  }
  if (mode == (info.st_mode & 07777)) return true;
  return chmod(path.c_str(), mode) == 0;
}

// mkdir makes the last element itself: a link there, even a dangling one,
// is not followed (EEXIST), as CreateDirectoryW does not follow it.
bool MakeDirectory(const std::string& path) {
  return !path.empty() && mkdir(path.c_str(), 0755) == 0;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  struct stat info;
  if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  size_t cut = path.find_last_of('/');
  while (cut != std::string::npos && cut > 0 && path[cut - 1] == '/') --cut;
  if (cut != std::string::npos && cut > 0 && !MakeDirectories(path.substr(0, cut))) return false;
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string ExecutablePath() {
  // Read once: every child start asks for the tool's folder.
  static const std::string path = [] {
    std::string buffer(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return std::string();
    buffer.resize(static_cast<size_t>(n));
    return buffer;
  }();
  return path;
}

}  // namespace tav::posix
