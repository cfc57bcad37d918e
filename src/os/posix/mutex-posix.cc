// Named mutexes as lock files: the kernel drops an flock when its holder's
// last descriptor closes, so a crashed instance never leaves the mutex taken.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/posix_parts.h"

namespace tav::posix {
namespace {

class LockFileMutex : public OsMutex {
 public:
  explicit LockFileMutex(int fd) : fd_(fd) {}  // -1: owns nothing
  ~LockFileMutex() override {
    if (fd_ >= 0) close(fd_);
  }
  LockFileMutex(const LockFileMutex&) = delete;
  LockFileMutex& operator=(const LockFileMutex&) = delete;

  void Release() override {
    if (fd_ >= 0) flock(fd_, LOCK_UN);
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<OsMutex> CreateLockFileMutex(const std::string& lockPath, bool& alreadyExists) {
  alreadyExists = false;
  // Close-on-exec: a child program must not keep the lock alive.
  int fd = open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return std::make_unique<LockFileMutex>(fd);
  int error = errno;
  close(fd);
  if (error != EWOULDBLOCK) return nullptr;
  alreadyExists = true;
  return std::make_unique<LockFileMutex>(-1);
}

}  // namespace tav::posix
