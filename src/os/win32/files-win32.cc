// Files, folders and the program's own path.
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

bool Win32Files::Exists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != 0; }

PathKind Win32Files::KindOf(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kNothing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

bool Win32Files::CreateFolder(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != 0;
}

std::optional<std::wstring> Win32Files::SpecialFolderPath(SpecialFolder folder) {
  const int csidl =
      folder == SpecialFolder::kCommonAppData ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  wchar_t buffer[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE)) return std::nullopt;
  buffer[MAX_PATH - 1] = L'\0';
  return std::wstring(buffer);
}

std::optional<std::wstring> Win32Files::ProgramPath() {
  wchar_t buffer[MAX_PATH] = {};
  // A path that fills the buffer may have been cut (and, on Windows XP, is
  // not terminated): MAX_PATH is returned then.
  const DWORD length = ::GetModuleFileNameW(::GetModuleHandleW(nullptr), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::wstring(buffer, length);
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
  pin.Created = pin.Check == FileCheck::kPassed;
  return pin;
}

}  // namespace tav::win32
