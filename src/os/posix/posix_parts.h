// The building blocks of PosixOs, one concept per source file. They take
// native (UTF-8, '/') paths; PosixOs converts the core's Windows-form paths.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/os.h"

namespace tav::standin {
struct PlanStore;
}

namespace tav::posix {

class UnsyncedFiles;

// The read-only attribute of Windows is "none of these permission bits" here.
inline constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

// --- mutex-posix.cc ---------------------------------------------------------
// A named mutex as an exclusive flock on `lockPath` (created when missing).
// A lock held by another process comes back `existed`, with a handle that
// owns nothing; no handle when the file cannot be opened or locked.
MutexOpening OpenLockFileMutex(const std::string& lockPath);

// --- window-posix.cc --------------------------------------------------------
// Sends one window message datagram (wParam and lParam 0) to the socket a
// live window binds at `socketPath`, without waiting; false when there is no
// such window or the message could not be queued.
bool PostWindowMessage(const std::string& socketPath, uint32_t message);

// --- process-posix.cc -------------------------------------------------------
// The file that CreateProcessW would start for the program name `name`: a
// name with a separator as given, a bare name in `moduleFolder` and then in
// each folder of `searchPath` (':'-separated); a name without an extension
// also with ".exe" appended. Empty when none exists.
std::string FindProgram(const std::wstring& name, const std::string& moduleFolder,
                        const std::string& searchPath);
// Starts the program of a Windows command line detached from any terminal,
// its standard streams on /dev/null: `program` when it is not empty (a
// regular file, started without a search), else the one FindProgram finds
// for the first token. No handle when nothing was started.
std::unique_ptr<OsProcess> StartHiddenProcess(const std::string& program,
                                              const std::wstring& commandLine,
                                              const std::string& moduleFolder);

// --- files-posix.cc ---------------------------------------------------------
bool FileExists(const std::string& path);
// GetFileAttributesW's bits (kInvalidFileAttributes when nothing is there):
// the read-only attribute is "no write permission at all".
uint32_t FileAttributes(const std::string& path);
// SetFileAttributesW: only the read-only attribute changes the mode.
bool ChangeFileAttributes(const std::string& path, uint32_t attributes);
bool MakeDirectory(const std::string& path);
// mkdir -p: true when the folder exists afterwards.
bool MakeDirectories(const std::string& path);
// The running executable (/proc/self/exe); empty when it cannot be read.
std::string ExecutablePath();

// --- file_pin-posix.cc -------------------------------------------------------
// Opens `path` itself (O_PATH | O_NOFOLLOW) and checks it through the
// descriptor: a regular file with one link, or a real folder, its final path
// equal to `path` made absolute by name where asked (reached without a link,
// or else as /proc/self/fd names it). The descriptor stays open in the pin.
FilePin PinNativeFile(const std::string& path, FinalPathCheck finalPath);
FolderPin PinNativeFolder(const std::string& path, FinalPathCheck finalPath);
// A new file holding only the UTF-16 LE byte-order mark, made without
// following a link at `path` (O_CREAT | O_EXCL | O_NOFOLLOW) and checked
// through its descriptor as PinNativeFile checks; passed, it comes back
// pinned with `created` set and is entered in `unsynced` (when given): no
// sync has made it durable. A made file that fails is removed and its check
// returned. Something already at `path`: PinNativeFile's answer. kMissing
// when nothing could be made.
FilePin CreateUnicodeFile(const std::string& path, FinalPathCheck finalPath,
                          UnsyncedFiles* unsynced = nullptr);
// Tests: false checks every final path through /proc, as on a kernel without
// openat2. Returns the setting before.
bool UseLinkFreeOpen(bool use);

// --- debug_output-posix.cc --------------------------------------------------
// Writes one line and a line feed to standard error in a single write. A
// closed or full standard error loses the line quietly: no signal, no error.
void WriteDebugLine(const std::string& line);

// --- text_file-posix.cc -----------------------------------------------------
std::unique_ptr<OsTextFile> OpenTextFile(const std::string& path);

// --- power_library-posix.cc -------------------------------------------------
// The power library stand-in over a plan store as read when it loads (see
// PlanStoreCache); no library when there is no store.
std::unique_ptr<OsPowerLibrary> LoadStandinPowerLibrary(
    std::shared_ptr<const standin::PlanStore> store);
// The names of the store's schemes in order; nothing when there is no store.
std::optional<std::vector<std::wstring>> EnumStandinSchemes(
    const std::shared_ptr<const standin::PlanStore>& store);

// --- guid-posix.cc ----------------------------------------------------------
// A random (version 4) GUID; nothing when no random bytes could be read.
std::optional<Guid> NewGuid();
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::wstring GuidText(const Guid& guid);
// Reads "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", with or without braces.
bool ParseGuid(const std::string& text, Guid& guid);

// --- sleep-posix.cc ---------------------------------------------------------
// The power stand-in's sleep switches, one a line in `stateFile`: "no-s3",
// "modern-standby", "no-hibernation", "sleep-refused". A missing file is a
// machine with S3, S4 and a hibernation file.
std::optional<SleepCapabilities> StandinSleepCapabilities(const std::string& stateFile);
// Logs "SetSuspendState hibernate=<0|1> -> <granted>" to `logFile`; sleeps not.
bool StandinRequestSleep(const std::string& stateFile, const std::string& logFile, bool hibernate);
// `objects` is the path prefix of the waiter's objects: "<objects>.lock" its
// mutex, "<objects>_CANCEL" and "<objects>_ARMED" its markers.
// Starts this executable with `arguments` as a detached child and waits up
// to `limit` for its armed marker or its end.
WaiterStart StartWaiterProcess(const std::string& objects, const std::string& arguments,
                               std::chrono::milliseconds limit);
WaiterSlotTaking TakeWaiterLock(const std::string& objects);
CancelResult CancelWaiterProcess(const std::string& objects, std::chrono::milliseconds limit);
// localtime_r.
std::optional<LocalDateTime> LocalDateTimeOf(int64_t seconds);

}  // namespace tav::posix
