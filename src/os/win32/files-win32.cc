// Files, folders and the program's own path.
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

bool Win32Os::PathFileExists(const std::wstring& path) {
  return ::PathFileExistsW(path.c_str()) != 0;
}

uint32_t Win32Os::GetFileAttributes(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str());
}

bool Win32Os::SetFileAttributes(const std::wstring& path, uint32_t attributes) {
  return ::SetFileAttributesW(path.c_str(), attributes) != 0;
}

bool Win32Os::DeleteFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != 0; }

bool Win32Os::CreateDirectory(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != 0;
}

bool Win32Os::GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) {
  const int csidl =
      folder == SpecialFolder::CommonAppData ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  wchar_t buffer[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) return false;
  buffer[MAX_PATH - 1] = L'\0';
  path = buffer;
  return true;
}

std::wstring Win32Os::GetModuleFileName() {
  wchar_t buffer[MAX_PATH] = {};
  // The length bounds the text: a cut path is not terminated on Windows XP.
  DWORD length = ::GetModuleFileNameW(::GetModuleHandleW(nullptr), buffer, MAX_PATH);
  if (length > MAX_PATH) length = MAX_PATH;
  // Later versions cut the path to MAX_PATH - 1 characters and terminate it.
  return std::wstring(buffer, wcsnlen(buffer, length));
}

}  // namespace tav::win32
