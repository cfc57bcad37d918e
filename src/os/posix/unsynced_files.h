// The files this process made whose contents no sync has made durable yet:
// the record files the tool creates holding only their byte-order mark, and
// what later replaced them before any sync.
//
// A crash can leave such a file empty whatever is done next, so a write that
// replaces it needs no sync of its own: nothing durable is at stake until
// the writes are flushed, when one sync of the file as it then stands makes
// the last of them durable. A file that had durable contents before is never
// in the set, so its replacements keep their sync before the rename.
//
// One set serves all facets of one PosixOs (the file that one creates, the
// profile functions then write).
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

#include "os/posix/file_identity.h"

namespace tav::posix {

class UnsyncedFiles {
 public:
  void Add(const FileIdentity& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_.push_back(file);
  }
  bool Contains(const FileIdentity& file) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(files_.begin(), files_.end(), file) != files_.end();
  }
  void Remove(const FileIdentity& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_.erase(std::remove(files_.begin(), files_.end(), file), files_.end());
  }

 private:
  mutable std::mutex mutex_;
  std::vector<FileIdentity> files_;  // a handful per run
};

}  // namespace tav::posix
