#include "os/win32/file_identity-win32.h"

#include <vector>

#include "os/win32/procedure_lookup.h"

namespace tav::win32 {
namespace {

using GetFinalPathNameByHandleFunction = DWORD(WINAPI*)(HANDLE file, LPWSTR path, DWORD size,
                                                        DWORD flags);
using CompareStringOrdinalFunction = int(WINAPI*)(LPCWSTR a, int aLength, LPCWSTR b, int bLength,
                                                  BOOL ignoreCase);
constexpr DWORD kFinalPathDosVolume = 0;  // FILE_NAME_NORMALIZED | VOLUME_NAME_DOS
constexpr int kCompareEqual = 2;          // CSTR_EQUAL
constexpr DWORD kLongPathChars = 32768;

// "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share", and no
// trailing backslash but after a drive.
std::wstring Plain(std::wstring path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    path = L"\\\\" + path.substr(8);
  } else if (path.compare(0, 4, L"\\\\?\\") == 0) {
    path = path.substr(4);
  }
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

FileCheck OpenFailure() {
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return FileCheck::kMissing;
    default:
      return FileCheck::kUnopenable;
  }
}

}  // namespace

std::wstring FullLongPath(const std::wstring& path) {
  std::vector<wchar_t> full(kLongPathChars);
  DWORD n = ::GetFullPathNameW(path.c_str(), kLongPathChars, full.data(), nullptr);
  if (n == 0 || n >= kLongPathChars) return path;
  std::vector<wchar_t> longer(kLongPathChars);
  DWORD m = ::GetLongPathNameW(full.data(), longer.data(), kLongPathChars);
  if (m == 0 || m >= kLongPathChars) return std::wstring(full.data(), n);
  return std::wstring(longer.data(), m);
}

bool IdentityOf(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  identity = FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

std::optional<std::wstring> FinalPathOf(HANDLE handle) {
  const auto getFinalPath = SystemProcedure<GetFinalPathNameByHandleFunction>(
      L"kernel32.dll", "GetFinalPathNameByHandleW");
  if (!getFinalPath) return std::nullopt;  // Windows XP
  std::vector<wchar_t> buffer(kLongPathChars);
  const DWORD n = getFinalPath(handle, buffer.data(), kLongPathChars, kFinalPathDosVolume);
  if (n == 0 || n >= kLongPathChars) return std::nullopt;
  return Plain(std::wstring(buffer.data(), n));
}

bool FinalPathMatches(HANDLE handle, const std::wstring& path) {
  if (!SystemProcedure<GetFinalPathNameByHandleFunction>(L"kernel32.dll",
                                                         "GetFinalPathNameByHandleW"))
    return true;  // Windows XP
  // A volume without a drive letter (a folder mount point) has no such name:
  // it is not the path meant either.
  const std::optional<std::wstring> final = FinalPathOf(handle);
  if (!final) return false;
  const std::wstring meant = Plain(FullLongPath(path));
  const auto compare =
      SystemProcedure<CompareStringOrdinalFunction>(L"kernel32.dll", "CompareStringOrdinal");
  if (compare) {
    return compare(final->c_str(), static_cast<int>(final->size()), meant.c_str(),
                   static_cast<int>(meant.size()), TRUE) == kCompareEqual;
  }
  return ::lstrcmpiW(final->c_str(), meant.c_str()) == 0;
}

FileCheck CheckOpened(HANDLE handle, const std::wstring& path, ObjectKind kind,
                      bool compareFinalPath, FileIdentity& identity) {
  const bool folder = kind == ObjectKind::kFolder;
  // A device (CON, a pipe, a COM port) is no disk object.
  if (::GetFileType(handle) != FILE_TYPE_DISK)
    return folder ? FileCheck::kNotFolder : FileCheck::kNotFile;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return FileCheck::kUnopenable;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileCheck::kLink;
  const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && !isFolder) return FileCheck::kNotFolder;
  if (!folder) {
    if (isFolder || (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)) return FileCheck::kNotFile;
    if (info.nNumberOfLinks != 1) return FileCheck::kHardLinked;
  }
  if (compareFinalPath && !FinalPathMatches(handle, path)) return FileCheck::kElsewhere;
  identity = FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return FileCheck::kPassed;
}

FileCheck OpenVerified(const std::wstring& path, ObjectKind kind, bool compareFinalPath,
                       DWORD access, DWORD share, UniqueHandle& handle, FileIdentity& identity) {
  if (path.empty()) return FileCheck::kMissing;
  UniqueHandle opened(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                    nullptr));
  if (!opened) return OpenFailure();
  const FileCheck check = CheckOpened(opened.get(), path, kind, compareFinalPath, identity);
  if (check == FileCheck::kPassed) handle = std::move(opened);
  return check;
}

}  // namespace tav::win32
