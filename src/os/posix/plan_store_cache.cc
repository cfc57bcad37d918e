#include "os/posix/plan_store_cache.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "os/posix/unique_fd.h"

namespace tav::posix {

std::shared_ptr<const standin::PlanStore> PlanStoreCache::Load(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  struct stat status;
  if (store_ && path == path_ && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
      FileIdentity::Of(status) == identity_)
    return store_;

  path_.clear();
  store_.reset();
  // O_NONBLOCK: a FIFO in the store's place must not hang the reader.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) {
    if (errno != ENOENT) return nullptr;
    return std::make_shared<const standin::PlanStore>(standin::DefaultPlanStore());
  }
  std::string text;
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      !ReadAll(fd.get(), text, static_cast<size_t>(status.st_size)))
    return nullptr;
  ++parseCount_;
  auto store = std::make_shared<standin::PlanStore>();
  if (!standin::ParsePlanStoreWithoutValues(text, *store)) return nullptr;
  // The identity of the file as it was opened: a change after the fstat
  // shows as a different identity at the next call.
  path_ = path;
  identity_ = FileIdentity::Of(status);
  store_ = std::move(store);
  return store_;
}

size_t PlanStoreCache::ParseCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return parseCount_;
}

}  // namespace tav::posix
