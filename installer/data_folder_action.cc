// TAV_PowerSaveDataFolder.dll, the package's install step: a deferred custom
// action run as SYSTEM (Impersonate="no") after InstallFiles. Its
// CustomActionData is the CommonAppData folder; it makes and locks
// VARENTO\TAV_POWERSAVE there (PrepareDataFolder, src/os/folder_security.h)
// and says each step in the install log (INSTALLMESSAGE_INFO). A failure
// fails the installation.
// windows.h first: msi.h needs its types.
#include "os/win32/windows_api.h"

#include <msi.h>
#include <msiquery.h>

#include <string>

#include "os/folder_security.h"

namespace {

// An MSI handle, closed with MsiCloseHandle.
class UniqueMsiHandle {
 public:
  explicit UniqueMsiHandle(MSIHANDLE handle) : handle_(handle) {}
  UniqueMsiHandle(const UniqueMsiHandle&) = delete;
  UniqueMsiHandle& operator=(const UniqueMsiHandle&) = delete;
  ~UniqueMsiHandle() {
    if (handle_ != 0) MsiCloseHandle(handle_);
  }
  MSIHANDLE get() const { return handle_; }

 private:
  MSIHANDLE handle_;
};

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
  DWORD size = 0;
  wchar_t empty[1] = L"";
  if (MsiGetPropertyW(install, name, empty, &size) != ERROR_MORE_DATA) return L"";
  std::wstring value(size + 1, L'\0');
  size = static_cast<DWORD>(value.size());
  if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return L"";
  value.resize(size);
  return value;
}

// One line in the install log; the text goes in as a field, so brackets in
// a path are not taken for properties.
void LogLine(MSIHANDLE install, const std::wstring& line) {
  UniqueMsiHandle record(MsiCreateRecord(1));
  if (record.get() == 0) return;
  MsiRecordSetStringW(record.get(), 0, L"[1]");
  MsiRecordSetStringW(record.get(), 1, line.c_str());
  MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall MakeDataFolder(MSIHANDLE install) {
  const std::wstring commonAppData = Property(install, L"CustomActionData");
  if (commonAppData.empty()) {
    LogLine(install, L"TAV_PowerSave data folder: no CommonAppData folder given");
    return ERROR_INSTALL_FAILURE;
  }
  const auto security = tav::MakePlatformFolderSecurity();
  const bool done = tav::PrepareDataFolder(*security, commonAppData,
                                           [install](const std::wstring& line) { LogLine(install, line); });
  return done ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}
