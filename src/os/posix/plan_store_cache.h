// The plan store file read through a cache for the power library: its plans,
// schemes and active entries, without the power values (the library reads
// none). Asking again for an unchanged file costs one stat and gives the
// copy parsed before. The file is known by
// its device, inode, size and modification and change times, so a store that
// another process replaced or rewrote (powercfg /SETACTIVE between a plan's
// discovery and the confirmation of its activation) is read again.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "os/posix/file_identity.h"
#include "os/posix/plan_store_format.h"

namespace tav::posix {

class PlanStoreCache {
 public:
  // The store at `path` (the default one, values included, when no file is
  // there); null when the file cannot be read or parsed, or is no regular
  // file. A copy handed out never changes: a changed file gives a new one.
  std::shared_ptr<const standin::PlanStore> Load(const std::string& path);

  // How many times a file was read and parsed (for tests of the cache).
  size_t ParseCount() const;

 private:
  mutable std::mutex mutex_;
  std::string path_;  // the file of the cached copy; empty when none
  FileIdentity identity_;
  std::shared_ptr<const standin::PlanStore> store_;
  size_t parseCount_ = 0;
};

}  // namespace tav::posix
