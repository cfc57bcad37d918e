// The profile (INI) functions of Windows for the POSIX layer:
// GetPrivateProfileStringW, GetPrivateProfileIntW and
// WritePrivateProfileStringW on native paths, over the file format of
// profile_document.h.
//
// ProfileStore keeps the files: a cache of parsed files, and writes that
// replace a file whole so that an interrupted write never leaves it cut. A
// write syncs its temporary file before the rename; the renames are made
// durable by Flush (which syncs their folders) or at the store's end, so a
// run of writes to one file syncs its folder once. A file this process made
// and has not synced yet (see unsynced_files.h) is replaced without that
// sync, and Flush syncs it once as it then stands.
//
// Where this differs from Windows on purpose (the file format's own
// differences: profile_document.h):
// - A write never goes through a symbolic link at the profile's name (it
//   fails instead), as a write to a file the tool holds open cannot be
//   redirected on Windows.
// - A write needs a writable folder (the file is replaced through a
//   temporary file beside it); Windows would rewrite a writable file in a
//   read-only folder in place. A file or folder without any write
//   permission bit counts as read-only (as the POSIX layer maps the
//   read-only attribute), also for root.
// - The cache compares device, inode, size and change/modify times (ns); a
//   change by another program within the file system's time resolution that
//   keeps the size and inode can go unnoticed until Flush.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "os/posix/file_identity.h"
#include "os/posix/profile_document.h"
#include "os/posix/unsynced_files.h"

namespace tav::posix {

class ProfileStore {
 public:
  // Called with the temporary file's path once it is written and synced,
  // just before it replaces the profile; false abandons the write (tests
  // use it to stand for a crash or a failing rename). It runs under the
  // store's lock, so it must not call back into the same store.
  using ReplaceHook = std::function<bool(const std::string& temporaryPath)>;

  ProfileStore();
  // `unsynced` (may be null): the files this process made and no sync has
  // made durable; the store adds what replaces them and removes what it
  // syncs.
  explicit ProfileStore(ReplaceHook beforeReplace, UnsyncedFiles* unsynced = nullptr);
  explicit ProfileStore(UnsyncedFiles* unsynced);
  // Syncs what Flush would.
  ~ProfileStore();
  ProfileStore(const ProfileStore&) = delete;
  ProfileStore& operator=(const ProfileStore&) = delete;

  // GetPrivateProfileStringW into a buffer of `bufferChars` characters. A
  // missing or unreadable file gives the default.
  std::wstring GetString(const std::string& path, const std::wstring& section,
                         const std::wstring& key, const std::wstring& defaultValue,
                         size_t bufferChars);
  // GetPrivateProfileIntW, its UINT read as a signed 32-bit value. A missing
  // key or an empty value gives the default; text without digits gives 0.
  int32_t GetInt(const std::string& path, const std::wstring& section, const std::wstring& key,
                 int32_t defaultValue);
  // WritePrivateProfileStringW; creates the file when it is missing. False,
  // the file unchanged, when it cannot be written. The write goes to `path`
  // itself: a link or anything but a regular file there refuses it, nothing
  // written anywhere.
  bool WriteString(const std::string& path, const std::wstring& section, const std::wstring& key,
                   const std::wstring& value);
  // WritePrivateProfileStringW(NULL, NULL, NULL, path): drops the cached
  // copy and makes every write so far durable: the files replaced without a
  // sync are synced, then the folders of all replaced files.
  void Flush(const std::string& path);

  // How many times a file was read and parsed (for tests of the cache).
  size_t ParseCount() const;
  // How many times a folder was synced (for tests of the durable writes).
  size_t FolderSyncCount() const;
  // How many times a file's contents were synced: a temporary file before
  // its rename, or a replaced file at Flush.
  size_t FileSyncCount() const;

 private:
  struct CacheEntry {
    FileIdentity Identity;
    std::shared_ptr<const ProfileDocument> Document;
    uint64_t LastUse = 0;
  };
  enum class Load { kLoaded, kMissing, kUnreadable };

  // Replaces `target` with `bytes` through a temporary file. `now` receives
  // the identity of the file at `target` after the rename, when the name
  // still reaches the file written.
  bool ReplaceFile(const std::string& target, const std::string& bytes, const struct stat* existing,
                   std::optional<FileIdentity>& now);
  void SyncReplaced();

  // The parsed file, from the cache when the file is unchanged. On kLoaded
  // `info` (when given) receives the file's status. `known`: the status the
  // caller has just taken of `path`, used instead of asking again.
  // `itself`: a link at `path` is not followed (a write's read).
  Load LoadDocument(const std::string& path, std::shared_ptr<const ProfileDocument>& document,
                    struct stat* info, const struct stat* known = nullptr, bool itself = false);
  void Remember(const std::string& path, const FileIdentity& identity,
                std::shared_ptr<const ProfileDocument> document);

  ReplaceHook beforeReplace_;
  UnsyncedFiles* unsynced_ = nullptr;
  mutable std::mutex mutex_;
  std::map<std::string, CacheEntry> cache_;
  std::set<std::string> unsyncedFolders_;  // folders of replaced files
  std::set<std::string> unsyncedTargets_;  // files replaced without a sync
  uint64_t useCounter_ = 0;
  size_t parseCount_ = 0;
  size_t folderSyncCount_ = 0;
  size_t fileSyncCount_ = 0;
};

}  // namespace tav::posix
