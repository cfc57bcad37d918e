// What tells one version of a file from another for the POSIX layer's
// caches: device, inode, size and the modification and change times. A file
// that another process replaced (rename) or rewrote, even to the same size
// with its times set back, gets another identity, since the change time
// cannot be set back.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

namespace tav::posix {

struct FileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  int64_t ModifiedNs = 0;
  int64_t ChangedNs = 0;

  static FileIdentity Of(const struct stat& info) {
    auto ns = [](const timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim), ns(info.st_ctim)};
  }
  bool operator==(const FileIdentity&) const = default;
};

}  // namespace tav::posix
