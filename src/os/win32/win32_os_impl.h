// The facets of the product's Os, one class per facet of os.h. Their methods
// live in one file per concept (mutex-win32.cc, process-win32.cc,
// profile-win32.cc, ...); Win32Os (win32_os.cc) holds one of each.
#pragma once

#include <optional>

#include "os/os.h"
#include "os/win32/file_identity-win32.h"

namespace tav::win32 {

// _wfsopen(path, "rtN", _SH_DENYWR), kept only when it reached the object
// `identity` names (text_file-win32.cc).
std::unique_ptr<OsTextFile> OpenTextFileOf(const std::wstring& path, const FileIdentity& identity);

// file_pin-win32.cc: marks the file of `file` (open with DELETE access) to
// be deleted when its last handle closes.
bool MarkForDeletion(HANDLE file);

// Win32Files::PinFile, passed only when the pinned file is the object
// `expected` names, where one is given (kUnopenable otherwise).
FilePin PinKnownFile(const std::wstring& path, FinalPathCheck finalPath, PinSharing sharing,
                     const std::optional<FileIdentity>& expected);

// startup-win32.cc, mutex-win32.cc, window-win32.cc, clock-win32.cc.
class Win32System final : public OsSystem {
 public:
  void SelectUserDefaultLocale() override;
  uint32_t GetCurrentProcessId() override;
  bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) override;
  uint32_t GetActiveConsoleSessionId() override;
  std::unique_ptr<OsMutex> CreateMutex(const std::wstring& name, bool initialOwner,
                                       bool& alreadyExists) override;
  bool VerifyVersionEquals(uint32_t major, uint32_t minor) override;
  WindowRef FindWindowByClass(const std::wstring& className) override;
  bool PostMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                   intptr_t lParam) override;
  uint32_t GetTickCount() override;
  void DebugOutput(const std::wstring& line) override;
  bool IsDebugOutputOn() override { return true; }
  int64_t CurrentTime() override;
  bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) override;
};

// process-win32.cc.
class Win32Processes final : public OsProcesses {
 public:
  std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                 std::wstring& commandLine) override;
  std::wstring GetSystemDirectory() override;
};

// files-win32.cc, text_file-win32.cc, file_pin-win32.cc.
class Win32Files final : public OsFiles {
 public:
  bool PathFileExists(const std::wstring& path) override;
  uint32_t GetFileAttributes(const std::wstring& path) override;
  bool IsRegularFile(const std::wstring& path) override;
  FilePin CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) override;
  bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override;
  bool DeleteFile(const std::wstring& path) override;
  bool CreateDirectory(const std::wstring& path) override;
  bool GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) override;
  uint32_t GetModuleFileName(std::wstring& path) override;
  std::unique_ptr<OsTextFile> OpenTextFileForReading(const std::wstring& path) override;
  FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath,
                  PinSharing sharing) override;
  FolderPin PinFolder(const std::wstring& path, FinalPathCheck finalPath) override;
};

// path-win32.cc.
class Win32Paths final : public OsPaths {
 public:
  std::wstring PathCombine(const std::wstring& folder, const std::wstring& file) override;
  bool PathAppend(std::wstring& path, const std::wstring& more) override;
  bool PathRemoveFileSpec(std::wstring& path) override;
};

// profile-win32.cc.
class Win32Profile final : public OsProfile {
 public:
  std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& defaultValue, size_t bufferChars,
                                       const std::wstring& path) override;
  int32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                               int32_t defaultValue, const std::wstring& path) override;
  bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value, const std::wstring& path) override;
  void FlushPrivateProfile(const std::wstring& path) override;
};

// power_library-win32.cc, power_schemes-win32.cc.
class Win32Power final : public OsPower {
 public:
  std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() override;
  std::optional<std::vector<std::wstring>> EnumPwrSchemes() override;
};

// com-win32.cc.
class Win32Com final : public OsCom {
 public:
  bool CoInitialize() override;
  void CoUninitialize() override;
  bool CoCreateGuid(Guid& guid) override;
  bool StringFromClsid(const Guid& guid, std::wstring& text) override;
};

}  // namespace tav::win32
