// Files, folders and the program's own path.
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

bool Win32Files::PathFileExists(const std::wstring& path) {
  return ::PathFileExistsW(path.c_str()) != 0;
}

uint32_t Win32Files::GetFileAttributes(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str());
}

bool Win32Files::SetFileAttributes(const std::wstring& path, uint32_t attributes) {
  return ::SetFileAttributesW(path.c_str(), attributes) != 0;
}

bool Win32Files::DeleteFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != 0; }

bool Win32Files::CreateDirectory(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != 0;
}

bool Win32Files::GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) {
  const int csidl =
      folder == SpecialFolder::CommonAppData ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  wchar_t buffer[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) return false;
  buffer[MAX_PATH - 1] = L'\0';
  path = buffer;
  return true;
}

uint32_t Win32Files::GetModuleFileName(std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  // The count bounds the text: a cut path is not terminated on Windows XP;
  // later versions cut it to MAX_PATH - 1 characters and terminate it. Both
  // return MAX_PATH then.
  DWORD length = ::GetModuleFileNameW(::GetModuleHandleW(nullptr), buffer, MAX_PATH);
  if (length > MAX_PATH) length = MAX_PATH;
  path.assign(buffer, wcsnlen(buffer, length));
  return length;
}

bool Win32Files::IsRegularFile(const std::wstring& path) {
  // Opened for no access, as itself: FILE_FLAG_OPEN_REPARSE_POINT keeps a
  // link or junction from being followed, FILE_FLAG_BACKUP_SEMANTICS lets a
  // folder open so that it can be told apart. A device (CON, COM1, a pipe)
  // is not a disk file.
  UniqueHandle file(::CreateFileW(path.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
  if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.get(), &info)) return false;
  const DWORD notPlain =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;
  return (info.dwFileAttributes & notPlain) == 0;
}

FilePin Win32Files::CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) {
  // Made as itself, never through a link at `path`, and shared with nobody
  // until it has been checked.
  UniqueHandle made(::CreateFileW(path.c_str(), FILE_GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE,
                                  0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!made) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
      return PinFile(path, finalPath, PinSharing::kReadWrite);
    return FilePin{FileCheck::kMissing, nullptr};
  }
  static const unsigned char kByteOrderMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  FileIdentity identity;
  FileCheck check =
      ::WriteFile(made.get(), kByteOrderMark, sizeof kByteOrderMark, &written, nullptr) &&
              written == sizeof kByteOrderMark
          ? CheckOpened(made.get(), path, ObjectKind::kFile,
                        finalPath == FinalPathCheck::kCompare, identity)
          : FileCheck::kUnopenable;
  if (check != FileCheck::kPassed) {
    // Not left behind: a file without its mark is no Unicode file, and one
    // made behind a link is not where it was meant.
    MarkForDeletion(made.get());
    return FilePin{check, nullptr};
  }
  // The pin shares read and write with the profile functions; this handle's
  // delete access would keep them out, so it is given up first and the pin
  // must reach the very file it made.
  made.Reset();
  FilePin pin = PinKnownFile(path, finalPath, PinSharing::kReadWrite, identity);
  pin.created = pin.check == FileCheck::kPassed;
  return pin;
}

}  // namespace tav::win32
