// The one interface between the portable core and the operating system.
//
// The core never includes a platform header: everything it needs of the
// system (files, profile functions, processes, the power library, the clock)
// is a call on an `Os` that the entry passes in. The product uses the Win32
// layer (win32/win32_os.h), the native Linux build the POSIX layer
// (posix/posix_os.h), and tests a fake.
//
// An `Os` is made of facets, one abstract class per concept (os_system.h,
// os_processes.h, os_files.h, os_paths.h, os_profile.h, os_power.h,
// os_com.h); a platform implements each facet once. `Os` itself only holds
// one object of each facet and hands every call to the facet it belongs to,
// so that the core keeps writing `os.PathFileExists(path)`. An Os can be made
// from another's facets with one replaced (OsFacets::With), which is how a
// decorator or a test changes a few calls without restating the others.
//
// Paths are wide strings in Windows form ('\' separates folders). Functions
// mirror the Win32 calls that the core's algorithms name, with the same
// results, so the core reads like the algorithm it implements.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/file_pin.h"
#include "os/guid.h"
#include "os/os_com.h"
#include "os/os_files.h"
#include "os/os_paths.h"
#include "os/os_power.h"
#include "os/os_processes.h"
#include "os/os_profile.h"
#include "os/os_system.h"

namespace tav {

// One object of each facet; none may be null. They belong to whoever made
// the Os and must outlive it.
struct OsFacets {
  OsSystem* system = nullptr;
  OsProcesses* processes = nullptr;
  OsFiles* files = nullptr;
  OsPaths* paths = nullptr;
  OsProfile* profile = nullptr;
  OsPower* power = nullptr;
  OsCom* com = nullptr;

  // The same facets with one replaced.
  OsFacets With(OsSystem& other) const { return Replaced(&OsFacets::system, other); }
  OsFacets With(OsProcesses& other) const { return Replaced(&OsFacets::processes, other); }
  OsFacets With(OsFiles& other) const { return Replaced(&OsFacets::files, other); }
  OsFacets With(OsPaths& other) const { return Replaced(&OsFacets::paths, other); }
  OsFacets With(OsProfile& other) const { return Replaced(&OsFacets::profile, other); }
  OsFacets With(OsPower& other) const { return Replaced(&OsFacets::power, other); }
  OsFacets With(OsCom& other) const { return Replaced(&OsFacets::com, other); }

 private:
  template <typename Facet>
  OsFacets Replaced(Facet* OsFacets::*slot, Facet& other) const {
    OsFacets facets = *this;
    facets.*slot = &other;
    return facets;
  }
};

class Os {
 public:
  explicit Os(const OsFacets& facets) : facets_(facets) {}
  // A platform's Os owns its facets and is destroyed through this class.
  virtual ~Os() = default;
  // The facets point into the object that made them: an Os is not copied.
  Os(const Os&) = delete;

  const OsFacets& facets() const { return facets_; }
  OsSystem& system() { return *facets_.system; }
  OsProcesses& processes() { return *facets_.processes; }
  OsFiles& files() { return *facets_.files; }
  OsPaths& paths() { return *facets_.paths; }
  OsProfile& profile() { return *facets_.profile; }
  OsPower& power() { return *facets_.power; }
  OsCom& com() { return *facets_.com; }

  // Every call of every facet, under its own name; see the facet's header
  // for what each does.

  // --- Start-up, window, clock, trace (os_system.h) --------------------------
  void SelectUserDefaultLocale() { facets_.system->SelectUserDefaultLocale(); }
  uint32_t GetCurrentProcessId() { return facets_.system->GetCurrentProcessId(); }
  bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) {
    return facets_.system->ProcessIdToSessionId(processId, sessionId);
  }
  uint32_t GetActiveConsoleSessionId() { return facets_.system->GetActiveConsoleSessionId(); }
  std::unique_ptr<OsMutex> CreateMutex(const std::wstring& name, bool initialOwner,
                                       bool& alreadyExists) {
    return facets_.system->CreateMutex(name, initialOwner, alreadyExists);
  }
  bool VerifyVersionEquals(uint32_t major, uint32_t minor) {
    return facets_.system->VerifyVersionEquals(major, minor);
  }
  WindowRef FindWindowByClass(const std::wstring& className) {
    return facets_.system->FindWindowByClass(className);
  }
  bool PostMessage(WindowRef window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return facets_.system->PostMessage(window, message, wParam, lParam);
  }
  uint32_t GetTickCount() { return facets_.system->GetTickCount(); }
  void DebugOutput(const std::wstring& line) { facets_.system->DebugOutput(line); }
  bool IsDebugOutputOn() { return facets_.system->IsDebugOutputOn(); }
  int64_t CurrentTime() { return facets_.system->CurrentTime(); }
  bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) {
    return facets_.system->ToLocalTime(seconds, fields);
  }

  // --- Child processes (os_processes.h) --------------------------------------
  std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                 std::wstring& commandLine) {
    return facets_.processes->CreateHiddenProcess(applicationName, commandLine);
  }
  std::wstring GetSystemDirectory() { return facets_.processes->GetSystemDirectory(); }

  // --- Files and folders (os_files.h) ----------------------------------------
  bool PathFileExists(const std::wstring& path) { return facets_.files->PathFileExists(path); }
  uint32_t GetFileAttributes(const std::wstring& path) {
    return facets_.files->GetFileAttributes(path);
  }
  bool IsRegularFile(const std::wstring& path) { return facets_.files->IsRegularFile(path); }
  FilePin CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) {
    return facets_.files->CreateUnicodeTextFile(path, finalPath);
  }
  bool SetFileAttributes(const std::wstring& path, uint32_t attributes) {
    return facets_.files->SetFileAttributes(path, attributes);
  }
  bool DeleteFile(const std::wstring& path) { return facets_.files->DeleteFile(path); }
  bool CreateDirectory(const std::wstring& path) { return facets_.files->CreateDirectory(path); }
  bool GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) {
    return facets_.files->GetSpecialFolderPath(folder, create, path);
  }
  uint32_t GetModuleFileName(std::wstring& path) { return facets_.files->GetModuleFileName(path); }
  std::unique_ptr<OsTextFile> OpenTextFileForReading(const std::wstring& path) {
    return facets_.files->OpenTextFileForReading(path);
  }
  FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath, PinSharing sharing) {
    return facets_.files->PinFile(path, finalPath, sharing);
  }
  FolderPin PinFolder(const std::wstring& path, FinalPathCheck finalPath) {
    return facets_.files->PinFolder(path, finalPath);
  }

  // --- Path strings (os_paths.h) ---------------------------------------------
  std::wstring PathCombine(const std::wstring& folder, const std::wstring& file) {
    return facets_.paths->PathCombine(folder, file);
  }
  bool PathAppend(std::wstring& path, const std::wstring& more) {
    return facets_.paths->PathAppend(path, more);
  }
  bool PathRemoveFileSpec(std::wstring& path) { return facets_.paths->PathRemoveFileSpec(path); }

  // --- Profile (INI) functions (os_profile.h) --------------------------------
  std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& defaultValue, size_t bufferChars,
                                       const std::wstring& path) {
    return facets_.profile->GetPrivateProfileString(section, key, defaultValue, bufferChars, path);
  }
  int32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                               int32_t defaultValue, const std::wstring& path) {
    return facets_.profile->GetPrivateProfileInt(section, key, defaultValue, path);
  }
  bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value, const std::wstring& path) {
    return facets_.profile->WritePrivateProfileString(section, key, value, path);
  }
  void FlushPrivateProfile(const std::wstring& path) { facets_.profile->FlushPrivateProfile(path); }

  // --- Power library (os_power.h) --------------------------------------------
  std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() { return facets_.power->LoadPowerLibrary(); }
  std::optional<std::vector<std::wstring>> EnumPwrSchemes() {
    return facets_.power->EnumPwrSchemes();
  }

  // --- COM (os_com.h) --------------------------------------------------------
  bool CoInitialize() { return facets_.com->CoInitialize(); }
  void CoUninitialize() { facets_.com->CoUninitialize(); }
  bool CoCreateGuid(Guid& guid) { return facets_.com->CoCreateGuid(guid); }
  bool StringFromClsid(const Guid& guid, std::wstring& text) {
    return facets_.com->StringFromClsid(guid, text);
  }

 protected:
  // An Os that is its own facets (a fake machine) may be assigned another's
  // state; its facets stay its own.
  Os& operator=(const Os&) { return *this; }

 private:
  OsFacets facets_;
};

}  // namespace tav
