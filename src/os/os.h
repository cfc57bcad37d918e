// The one interface between the portable core and the operating system.
//
// The core never includes a platform header: everything it needs of the
// system (files, profile functions, processes, the power library, the clock)
// is a virtual call on an `Os` that the entry passes in. The product uses
// `Win32Os`, the native Linux build `PosixOs`, and tests a fake.
//
// Paths are wide strings in Windows form ('\' separates folders). Functions
// mirror the Win32 calls that the core's algorithms name, with the same
// results, so the core reads like the algorithm it implements.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/file_pin.h"

namespace tav {

// A binary GUID, laid out as the Windows GUID structure.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};
};

bool operator==(const Guid& a, const Guid& b);

// File attribute bits, with the values of the Windows FILE_ATTRIBUTE_* flags.
inline constexpr uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr uint32_t kFileAttributeHidden = 0x02;
inline constexpr uint32_t kFileAttributeSystem = 0x04;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeArchive = 0x20;
inline constexpr uint32_t kFileAttributeDevice = 0x40;
inline constexpr uint32_t kFileAttributeNormal = 0x80;
inline constexpr uint32_t kFileAttributeReparsePoint = 0x400;
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// The folders that SHGetSpecialFolderPathW can name for the core.
enum class SpecialFolder {
  CommonAppData,  // CSIDL_COMMON_APPDATA
  LocalAppData,   // CSIDL_LOCAL_APPDATA
};

// An opaque top-level window reference; 0 is "no window".
using WindowRef = uintptr_t;

// Local calendar fields of a time reading.
struct LocalTimeFields {
  int hour = -1;
  int minute = -1;
};

// A named mutex handle. Destroying it closes the handle (CloseHandle).
class OsMutex {
 public:
  virtual ~OsMutex() = default;
  // ReleaseMutex: gives up ownership; harmless when not owned.
  virtual void Release() = 0;
};

// A started child process. Destroying it closes the process handle.
class OsProcess {
 public:
  virtual ~OsProcess() = default;
  // WaitForSingleObject(process, INFINITE); the result is not reported.
  virtual void WaitForExit() = 0;
  // GetExitCodeProcess after the wait, for the diagnostic trace only: no
  // result of the tool ever depends on it. False when it cannot be read.
  virtual bool GetExitCode(uint32_t& exitCode) = 0;
  // WaitForSingleObject(process, limit): true when the child has ended
  // within `limit`, false when it is still running.
  virtual bool WaitForExitWithin(std::chrono::milliseconds limit) = 0;
  // TerminateProcess, then waits until the child is gone.
  virtual void Terminate() = 0;
};

// A text file opened for reading in text mode, shared for reading only.
// Destroying it closes the file.
class OsTextFile {
 public:
  virtual ~OsTextFile() = default;
  // fgetws semantics: reads at most `bufferChars - 1` wide characters,
  // stopping after a line feed (kept in `piece`). A carriage return before a
  // line feed is dropped (text mode). Bytes are decoded in the locale's
  // multibyte encoding (the ANSI code page on Windows), one character each.
  // Returns false at the end of the file or on a read error, when nothing was
  // read.
  virtual bool ReadLine(std::wstring& piece, size_t bufferChars) = 0;
};

// The buffer that a plan's friendly name is read into, in bytes.
inline constexpr uint32_t kFriendlyNameBufferBytes = 1024;

// "powrprof.dll" with "PowerEnumerate" and "PowerReadFriendlyName" resolved.
// Destroying it frees the library (FreeLibrary).
class OsPowerLibrary {
 public:
  virtual ~OsPowerLibrary() = default;
  // PowerEnumerate(NULL, NULL, NULL, ACCESS_SCHEME, index, buffer, &size)
  // into a buffer of one GUID: the plan GUID at `index`; nothing when the
  // call fails (past the last plan, too).
  virtual std::optional<Guid> PowerEnumerate(uint32_t index) = 0;
  // PowerReadFriendlyName(NULL, &plan, NULL, NULL, buffer, &sizeInBytes)
  // into a buffer of kFriendlyNameBufferBytes: the plan's name; nothing when
  // the call fails, also for a name that does not fit (terminator included).
  virtual std::optional<std::wstring> PowerReadFriendlyName(const Guid& plan) = 0;
  // Whether the library exports "PowerGetActiveScheme" (looked up at run
  // time; it is optional, unlike the two functions above).
  virtual bool HasPowerGetActiveScheme() = 0;
  // PowerGetActiveScheme(NULL, &active), the returned GUID freed with
  // LocalFree: 0 when `active` holds the active plan's GUID. Only called when
  // HasPowerGetActiveScheme() is true.
  virtual uint32_t PowerGetActiveScheme(Guid& active) = 0;
};

class Os {
 public:
  virtual ~Os() = default;

  // --- Start-up --------------------------------------------------------------
  // setlocale(LC_ALL, ""): the user's default locale for the runtime library
  // (the POSIX layer selects only LC_CTYPE, the one category the tool uses).
  virtual void SelectUserDefaultLocale() = 0;
  virtual uint32_t GetCurrentProcessId() = 0;
  // ProcessIdToSessionId; false when the call fails.
  virtual bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) = 0;
  // WTSGetActiveConsoleSessionId.
  virtual uint32_t GetActiveConsoleSessionId() = 0;
  // CreateMutexW(NULL, initialOwner, name). No handle when creation failed;
  // `alreadyExists` reports GetLastError() == ERROR_ALREADY_EXISTS.
  virtual std::unique_ptr<OsMutex> CreateMutex(const std::wstring& name, bool initialOwner,
                                               bool& alreadyExists) = 0;
  // VerifyVersionInfoW with VER_MAJORVERSION | VER_MINORVERSION, both VER_EQUAL.
  virtual bool VerifyVersionEquals(uint32_t major, uint32_t minor) = 0;
  // FindWindowW(className, NULL); 0 when no window has that class.
  virtual WindowRef FindWindowByClass(const std::wstring& className) = 0;
  // PostMessageW; does not wait for the window.
  virtual bool PostMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) = 0;
  // GetTickCount: milliseconds of a steady clock, for durations in the trace.
  virtual uint32_t GetTickCount() = 0;
  // OutputDebugStringW of one finished trace line (see shared/trace.h). Never
  // fails the run; where nobody listens it costs next to nothing.
  virtual void DebugOutput(const std::wstring& line) = 0;
  // Whether DebugOutput lines can reach anyone: always on Windows, where a
  // viewer may start listening at any time; natively only when asked for.
  // Lets the trace skip building lines that would go nowhere.
  virtual bool IsDebugOutputOn() = 0;
  // time(): seconds since the epoch.
  virtual int64_t CurrentTime() = 0;
  // localtime(): false when the conversion fails.
  virtual bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) = 0;

  // --- Child processes -------------------------------------------------------
  // CreateProcessW(applicationName, commandLine, ..., STARTF_USESHOWWINDOW /
  // SW_HIDE): no handle when no process was created. The child's standard
  // input, output and error are the NUL device, so a question it asks reads
  // end-of-file; it inherits no other handle of the tool. An empty
  // `applicationName` (NULL for the platform) lets it find the program named
  // by the first token of `commandLine`; a given one is started as it is,
  // without a search.
  // `commandLine` is the caller's private writable buffer; the platform may
  // change it.
  virtual std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                         std::wstring& commandLine) = 0;
  // GetSystemDirectoryW: the folder of the system's own programs; empty when
  // it cannot be named or does not fit into MAX_PATH.
  virtual std::wstring GetSystemDirectory() = 0;

  // --- Files and folders ----------------------------------------------------
  virtual bool PathFileExists(const std::wstring& path) = 0;
  // kInvalidFileAttributes on failure.
  virtual uint32_t GetFileAttributes(const std::wstring& path) = 0;
  // True for a regular file reached as it is named: not a folder, a device, a
  // symbolic link, a junction or any other reparse point. Links are not
  // followed; false when the path names nothing.
  virtual bool IsRegularFile(const std::wstring& path) = 0;
  // Creates a new file that holds only the UTF-16 LE byte-order mark, so that
  // the profile functions keep its text in Unicode. False, touching nothing,
  // when something exists at `path` or the file cannot be made.
  virtual bool CreateUnicodeTextFile(const std::wstring& path) = 0;
  virtual bool SetFileAttributes(const std::wstring& path, uint32_t attributes) = 0;
  virtual bool DeleteFile(const std::wstring& path) = 0;
  // CreateDirectoryW with default security.
  virtual bool CreateDirectory(const std::wstring& path) = 0;
  // SHGetSpecialFolderPathW into a MAX_PATH buffer; `create` asks the platform
  // to make the folder when it is missing. False when it cannot be named.
  virtual bool GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) = 0;
  // GetModuleFileNameW(GetModuleHandleW(NULL)) into a MAX_PATH buffer: the
  // count it returns, 0 on failure and MAX_PATH (260) when the path filled
  // the buffer and may have been cut; `path` holds the text that was copied.
  virtual uint32_t GetModuleFileName(std::wstring& path) = 0;
  // _wfsopen(path, L"rt", _SH_DENYWR); no file when it cannot be opened.
  virtual std::unique_ptr<OsTextFile> OpenTextFileForReading(const std::wstring& path) = 0;
  // Opens `path` without following a link (CreateFileW with
  // FILE_FLAG_OPEN_REPARSE_POINT) and checks through the handle: a regular
  // disk file, no reparse point, exactly one link and, with kCompare where
  // the system can name it (GetFinalPathNameByHandleW), a final path equal
  // to `path` as the system compares paths. A passed file stays open,
  // sharing read and write but not delete, until the pin is destroyed.
  virtual FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath) = 0;
  // The same for a folder: a real folder, no reparse point, its final path
  // equal to `path` where the system can name it.
  virtual FolderPin PinFolder(const std::wstring& path) = 0;

  // --- Path strings (shlwapi) -----------------------------------------------
  // PathCombineW into a MAX_PATH buffer; empty when the result does not fit.
  virtual std::wstring PathCombine(const std::wstring& folder, const std::wstring& file) = 0;
  // PathAppendW; false (path unchanged) when the result does not fit.
  virtual bool PathAppend(std::wstring& path, const std::wstring& more) = 0;
  // PathRemoveFileSpecW: removes the last element and its separator.
  virtual bool PathRemoveFileSpec(std::wstring& path) = 0;

  // --- Profile (INI) functions ----------------------------------------------
  // GetPrivateProfileStringW into a buffer of `bufferChars` characters: the
  // value is cut to `bufferChars - 1` characters.
  virtual std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                               const std::wstring& defaultValue,
                                               size_t bufferChars, const std::wstring& path) = 0;
  // GetPrivateProfileIntW, its UINT result read as a signed 32-bit value.
  virtual int32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                       int32_t defaultValue, const std::wstring& path) = 0;
  virtual bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& path) = 0;
  // WritePrivateProfileStringW(NULL, NULL, NULL, path): flushes the
  // platform's cached copy of `path`.
  virtual void FlushPrivateProfile(const std::wstring& path) = 0;

  // --- Power library --------------------------------------------------------
  // LoadLibraryW("powrprof.dll") and GetProcAddress of "PowerEnumerate", then
  // "PowerReadFriendlyName". No library when it cannot be loaded or either
  // function is missing; the library is freed on those paths.
  virtual std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() = 0;
  // EnumPwrSchemes (Windows XP): the schemes' names in the order listed, a
  // scheme reported without a name as an empty one; nothing when the
  // enumeration failed.
  virtual std::optional<std::vector<std::wstring>> EnumPwrSchemes() = 0;

  // --- COM ------------------------------------------------------------------
  virtual bool CoInitialize() = 0;
  virtual void CoUninitialize() = 0;
  virtual bool CoCreateGuid(Guid& guid) = 0;
  // StringFromCLSID, the text freed with CoTaskMemFree: "{XXXXXXXX-...}".
  // False when the conversion fails.
  virtual bool StringFromClsid(const Guid& guid, std::wstring& text) = 0;
};

}  // namespace tav
