// The facets of the product's Os, one class per facet of os.h. Their methods
// live in one file per concept (system-win32.cc, process-win32.cc,
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

// system-win32.cc.
class Win32System final : public OsSystem {
 public:
  void SelectUserLocale() override;
  uint32_t ProcessId() override;
  std::optional<uint32_t> SessionOf(uint32_t processId) override;
  uint32_t ConsoleSession() override;
  MutexOpening CreateOwnedMutex(const std::wstring& name) override;
  bool IsWindowsXp() override;
  bool PostToWindowOfClass(const std::wstring& className, uint32_t message) override;
  std::chrono::milliseconds SteadyTime() override;
  void WriteTrace(const std::wstring& line) override;
  bool TraceWanted() override { return true; }
  int64_t Now() override;
  std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) override;
};

// process-win32.cc.
class Win32Processes final : public OsProcesses {
 public:
  std::unique_ptr<OsProcess> StartHidden(const std::wstring& program,
                                         const std::wstring& commandLine) override;
  std::wstring SystemFolder() override;
};

// files-win32.cc, file_pin-win32.cc.
class Win32Files final : public OsFiles {
 public:
  bool Exists(const std::wstring& path) override;
  PathKind KindOf(const std::wstring& path) override;
  FilePin CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) override;
  bool CreateFolder(const std::wstring& path) override;
  std::optional<std::wstring> SpecialFolderPath(SpecialFolder folder) override;
  std::optional<std::wstring> ProgramPath() override;
  FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath,
                  PinSharing sharing) override;
  FolderPin PinFolder(const std::wstring& path, FinalPathCheck finalPath) override;
};

// profile-win32.cc.
class Win32Profile final : public OsProfile {
 public:
  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue, size_t bufferChars,
                          const std::wstring& path) override;
  int32_t ReadInt(const std::wstring& section, const std::wstring& key, int32_t defaultValue,
                  const std::wstring& path) override;
  bool WriteString(const std::wstring& section, const std::wstring& key,
                   const std::wstring& value, const std::wstring& path) override;
  void Flush(const std::wstring& path) override;
};

// power_library-win32.cc, power_schemes-win32.cc.
class Win32Power final : public OsPower {
 public:
  std::unique_ptr<OsPowerLibrary> OpenLibrary() override;
  std::optional<std::vector<std::wstring>> SchemeNames() override;
};

// com-win32.cc.
class Win32Com final : public OsCom {
 public:
  bool Start() override;
  void Stop() override;
  std::optional<Guid> NewGuid() override;
  std::optional<std::wstring> GuidText(const Guid& guid) override;
};

// sleep-win32.cc.
class Win32Sleep final : public OsSleep {
 public:
  std::optional<SleepCapabilities> Capabilities() override;
  bool EnableShutdownPrivilege() override;
  bool RequestSleep(SleepKind kind) override;
  WaiterStart StartWaiter(const std::wstring& arguments, std::chrono::milliseconds limit) override;
  WaiterSlotTaking TakeWaiterSlot() override;
  void KeepDisplayOn() override;
  CancelResult CancelWaiter(std::chrono::milliseconds limit) override;
  std::optional<LocalDateTime> LocalTimeOf(int64_t seconds) override;
};

}  // namespace tav::win32
