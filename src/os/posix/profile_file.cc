#include "os/posix/profile_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>  // renameat2, RENAME_EXCHANGE
#include <optional>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/unique_fd.h"

namespace tav::posix {
namespace {

constexpr size_t kCachedFiles = 16;

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The read-only attribute holds for root too, whom plain permission checks
// let through.
bool IsWritable(const std::string& path, const struct stat& info) {
  return (info.st_mode & kAnyWrite) != 0 && ::access(path.c_str(), W_OK) == 0;
}

bool IsWritableFolder(const std::string& folder) {
  struct stat info;
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         IsWritable(folder, info) && ::access(folder.c_str(), X_OK) == 0;
}

// Puts `temporary` in `target`'s place (both names in `folder`) as rename
// does, for a target whose contents were never synced: the two names are
// exchanged and the old file, now under the temporary name, is removed. A
// rename over a file would make ext4 write the new contents out at once (its
// guard against renames over unsynced data), which the flush's sync does
// anyway. Where the exchange cannot be made (no such call, no file at
// `target`), it is a rename.
bool ExchangeInto(int folder, const std::string& temporary, const std::string& target) {
#ifdef RENAME_EXCHANGE
  if (::renameat2(folder, temporary.c_str(), folder, target.c_str(), RENAME_EXCHANGE) == 0) {
    if (::unlinkat(folder, temporary.c_str(), 0) == 0 || errno == ENOENT) return true;
    // What was in the target's place cannot be removed (a folder): both go
    // back, and the write fails, as a rename over it would.
    ::renameat2(folder, temporary.c_str(), folder, target.c_str(), RENAME_EXCHANGE);
    return false;
  }
#endif
  return ::renameat(folder, temporary.c_str(), folder, target.c_str()) == 0;
}

void SyncFolder(const std::string& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());  // best effort: the rename is done either way
}

}  // namespace

ProfileStore::ProfileStore() = default;

ProfileStore::ProfileStore(ReplaceHook beforeReplace, UnsyncedFiles* unsynced)
    : beforeReplace_(std::move(beforeReplace)), unsynced_(unsynced) {}

ProfileStore::ProfileStore(UnsyncedFiles* unsynced) : unsynced_(unsynced) {}

ProfileStore::~ProfileStore() { SyncReplaced(); }

// Best effort: each rename is done either way. The files replaced without a
// sync come first, so that each folder's entry names synced contents; a file
// another program has replaced or changed since is theirs, and left alone.
void ProfileStore::SyncReplaced() {
  for (const std::string& target : unsyncedTargets_) {
    UniqueFd fd(::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat now;
    if (!fd || ::fstat(fd.get(), &now) != 0) continue;
    // Only a deferred write puts a target here, and it needs `unsynced_`.
    const FileIdentity identity = FileIdentity::Of(now);
    if (!unsynced_->Contains(identity) || ::fsync(fd.get()) != 0) continue;
    unsynced_->Remove(identity);
    ++fileSyncCount_;
  }
  unsyncedTargets_.clear();
  for (const std::string& folder : unsyncedFolders_) SyncFolder(folder);
  folderSyncCount_ += unsyncedFolders_.size();
  unsyncedFolders_.clear();
}

ProfileStore::Load ProfileStore::LoadDocument(const std::string& path,
                                              std::shared_ptr<const ProfileDocument>& document,
                                              struct stat* info, const struct stat* known,
                                              bool itself) {
  // A cached copy costs one stat while the file is unchanged (none when the
  // caller has just taken it).
  struct stat status;
  auto cached = cache_.find(path);
  const bool current = cached != cache_.end() &&
                       (known ? (status = *known, true) : ::stat(path.c_str(), &status) == 0);
  if (current && S_ISREG(status.st_mode) && cached->second.Identity == FileIdentity::Of(status)) {
    if (info) *info = status;
    cached->second.LastUse = ++useCounter_;
    document = cached->second.Document;
    return Load::kLoaded;
  }
  // O_NONBLOCK: a FIFO in the profile's place must not hang the reader.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (itself ? O_NOFOLLOW : 0)));
  if (!fd) {
    const int error = errno;
    cache_.erase(path);
    return error == ENOENT || error == ENOTDIR ? Load::kMissing : Load::kUnreadable;
  }
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    cache_.erase(path);
    return Load::kUnreadable;
  }
  if (info) *info = status;
  const FileIdentity identity = FileIdentity::Of(status);
  std::string bytes;
  if (!ReadAll(fd.get(), bytes)) {
    cache_.erase(path);
    return Load::kUnreadable;
  }
  ++parseCount_;
  document = std::make_shared<const ProfileDocument>(ProfileDocument::Parse(bytes));
  Remember(path, identity, document);
  return Load::kLoaded;
}

void ProfileStore::Remember(const std::string& path, const FileIdentity& identity,
                            std::shared_ptr<const ProfileDocument> document) {
  cache_[path] = CacheEntry{identity, std::move(document), ++useCounter_};
  if (cache_.size() <= kCachedFiles) return;
  auto oldest = cache_.begin();
  for (auto it = cache_.begin(); it != cache_.end(); ++it)
    if (it->second.LastUse < oldest->second.LastUse) oldest = it;
  cache_.erase(oldest);
}

std::wstring ProfileStore::GetString(const std::string& path, const std::wstring& section,
                                     const std::wstring& key, const std::wstring& defaultValue,
                                     size_t bufferChars) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<const ProfileDocument> document;
  const std::wstring* stored = nullptr;
  if (LoadDocument(path, document, nullptr) == Load::kLoaded) stored = document->Find(section, key);
  return ProfileResultText(stored, defaultValue, bufferChars);
}

int32_t ProfileStore::GetInt(const std::string& path, const std::wstring& section,
                             const std::wstring& key, int32_t defaultValue) {
  // The platform reads the value into a buffer of 30 characters first.
  const std::wstring text = GetString(path, section, key, L"", 30);
  if (text.empty()) return defaultValue;
  return static_cast<int32_t>(ProfileTextToInteger(text));
}

bool ProfileStore::WriteString(const std::string& path, const std::wstring& section,
                               const std::wstring& key, const std::wstring& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path.empty()) return false;
  // The write goes to the name itself, as a write by name to a file that the
  // tool holds open on Windows cannot be redirected: a link at the name (put
  // there after any check) or anything but a regular file refuses it, and
  // the file is read without following a link swapped in meanwhile.
  struct stat itself;
  const bool named = ::lstat(path.c_str(), &itself) == 0;
  if (!named && errno != ENOENT) return false;
  if (named && !S_ISREG(itself.st_mode)) return false;
  std::shared_ptr<const ProfileDocument> current;
  struct stat info;
  const Load load = LoadDocument(path, current, &info, named ? &itself : nullptr, true);
  if (load == Load::kUnreadable) return false;
  const bool exists = load == Load::kLoaded;
  // A read-only file refuses every write, one that would change nothing too.
  if (exists && !IsWritable(path, info)) return false;

  // The document is copied only for a write that changes it.
  if (exists) {
    switch (current->WouldChange(section, key, value)) {
      case ProfileChange::kRefused: return false;
      case ProfileChange::kUnchanged: return true;
      case ProfileChange::kChanged: break;
    }
  }
  ProfileDocument updated = exists ? *current : ProfileDocument();
  switch (updated.Set(section, key, value)) {
    case ProfileChange::kRefused: return false;
    // The file already holds the value: it is left alone (no temporary
    // file, no sync, no rename) and its parsed copy stays cached.
    case ProfileChange::kUnchanged: return true;
    case ProfileChange::kChanged: break;
  }
  cache_.erase(path);
  if (!IsWritableFolder(NativeFolderOf(path))) return false;
  const std::string bytes = updated.Serialize();
  std::optional<FileIdentity> now;
  if (!ReplaceFile(path, bytes, exists ? &info : nullptr, now)) return false;
  // What was written is what a read would find: the next access to the file
  // costs a stat, not a read (another program's change still shows in it).
  if (now)
    Remember(path, *now, std::make_shared<const ProfileDocument>(ProfileDocument::Parse(bytes)));
  return true;
}

// Writes `bytes` to a new file beside `target`, syncs it and renames it over
// `target` (a file never synced: see ExchangeInto): readers see the old file
// or the new one, never a part. Both names are taken in the folder of
// `target` as spelled, held open for the write, so the new file lands under
// that very name, never where a link at it points.
bool ProfileStore::ReplaceFile(const std::string& target, const std::string& bytes,
                               const struct stat* existing, std::optional<FileIdentity>& now) {
  now.reset();
  static std::atomic<unsigned> counter{0};
  const std::string name = NativeFileNameOf(target);
  UniqueFd folder(::open(NativeFolderOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder) return false;
  const std::string prefix = "." + name + ".tmp-" + std::to_string(::getpid()) + "-";
  UniqueFd fd;
  std::string temporary;
  for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
    temporary = prefix + std::to_string(counter++);
    // A new file gets the usual 0666 less the umask; an existing one keeps
    // its mode, set below.
    fd.Reset(::openat(folder.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      existing ? 0600 : 0666));
    if (!fd && errno != EEXIST) return false;
  }
  if (!fd) return false;

  bool ok = WriteAll(fd.get(), bytes);
  if (ok && existing) {
    ok = ::fchmod(fd.get(), existing->st_mode & 07777) == 0;
    // Root rewriting a user's file leaves it the user's; failing that is
    // not a reason to lose the write.
    if (ok && ::geteuid() == 0 && ::fchown(fd.get(), existing->st_uid, existing->st_gid) != 0) {
    }
  }
  // What is replaced was never synced: a crash could empty it anyway, so the
  // new contents wait for Flush to be synced, once, as they then stand.
  const FileIdentity replaced = existing ? FileIdentity::Of(*existing) : FileIdentity{};
  const bool deferSync = existing && unsynced_ && unsynced_->Contains(replaced);
  struct stat written;
  ok = ok && (deferSync || ::fsync(fd.get()) == 0);
  if (!deferSync) fileSyncCount_ += ok ? 1 : 0;
  ok = ok && ::fstat(fd.get(), &written) == 0;
  ok = fd.Close() && ok;
  ok = ok && (!beforeReplace_ || beforeReplace_(NativeFolderOf(target) + "/" + temporary));
  const int at = folder.get();
  ok = ok && (deferSync ? ExchangeInto(at, temporary, name)
                        : ::renameat(at, temporary.c_str(), at, name.c_str()) == 0);
  if (!ok) {
    ::unlinkat(folder.get(), temporary.c_str(), 0);
    return false;
  }
  unsyncedFolders_.insert(NativeFolderOf(target));
  // The rename changed the file's change time and nothing else: its identity
  // is taken as it stands now, and only while the name still reaches the
  // file as written here.
  struct stat renamed;
  if (::fstatat(folder.get(), name.c_str(), &renamed, AT_SYMLINK_NOFOLLOW) == 0) {
    FileIdentity expected = FileIdentity::Of(written);
    const FileIdentity found = FileIdentity::Of(renamed);
    expected.ChangedNs = found.ChangedNs;
    if (found == expected) now = found;
  }
  if (deferSync) {
    unsynced_->Remove(replaced);
    if (now) unsynced_->Add(*now);
    unsyncedTargets_.insert(target);
  }
  return true;
}

void ProfileStore::Flush(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  cache_.erase(path);
  SyncReplaced();
}

size_t ProfileStore::ParseCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return parseCount_;
}

size_t ProfileStore::FolderSyncCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return folderSyncCount_;
}

size_t ProfileStore::FileSyncCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fileSyncCount_;
}

}  // namespace tav::posix
