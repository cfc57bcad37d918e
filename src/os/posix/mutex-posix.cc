// Named mutexes as lock files: the kernel drops an flock when its holder's
// last descriptor closes, so a crashed instance never leaves the mutex taken.
#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "os/posix/posix_parts.h"
#include "os/posix/unique_fd.h"

namespace tav::posix {
namespace {

class LockFileMutex : public OsMutex {
 public:
  explicit LockFileMutex(UniqueFd fd) : fd_(std::move(fd)) {}  // none: owns nothing

  void Release() override {
    if (fd_) flock(fd_.get(), LOCK_UN);
  }

 private:
  UniqueFd fd_;
};

}  // namespace

MutexOpening OpenLockFileMutex(const std::string& lockPath) {
  // Close-on-exec: a child program must not keep the lock alive.
  UniqueFd fd(open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!fd) return {};
  int result;
  do {
    result = flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return {std::make_unique<LockFileMutex>(std::move(fd)), false};
  if (errno != EWOULDBLOCK) return {};
  return {std::make_unique<LockFileMutex>(UniqueFd()), true};
}

}  // namespace tav::posix
