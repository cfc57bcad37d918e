// Which file or folder an open handle reaches, and whether its final path is
// the path that was meant: the checks behind Win32Files::PinFile and PinFolder.
#pragma once

#include <optional>
#include <string>

#include "os/file_pin.h"
#include "os/win32/unique_handle.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

// Volume serial number and file index: the same pair means the same object.
struct FileIdentity {
  DWORD VolumeSerial = 0;
  DWORD IndexHigh = 0;
  DWORD IndexLow = 0;
  bool operator==(const FileIdentity& other) const {
    return VolumeSerial == other.VolumeSerial && IndexHigh == other.IndexHigh &&
           IndexLow == other.IndexLow;
  }
};

enum class ObjectKind { kFile, kFolder };

// The checks of `kind` through an open handle: a disk object, no reparse
// point, a file with exactly one link or a folder, and with
// `compareFinalPath` a final path equal to `path`. On kPassed `identity`
// names the object.
FileCheck CheckOpened(HANDLE handle, const std::wstring& path, ObjectKind kind,
                      bool compareFinalPath, FileIdentity& identity);

// CreateFileW of `path` itself (FILE_FLAG_OPEN_REPARSE_POINT |
// FILE_FLAG_BACKUP_SEMANTICS) with `access` and `share`, then CheckOpened.
// On kPassed `handle` holds the open object and `identity` names it.
FileCheck OpenVerified(const std::wstring& path, ObjectKind kind, bool compareFinalPath,
                       DWORD access, DWORD share, UniqueHandle& handle, FileIdentity& identity);

// GetFinalPathNameByHandleW (looked up at run time) in plain form:
// "C:\x\y" or "\\server\share\y" with long names, without the "\\?\"
// prefix and without a trailing backslash but after a drive. Nothing on
// Windows XP or when the system cannot name the object.
std::optional<std::wstring> FinalPathOf(HANDLE handle);

// `path` made full and long (GetFullPathNameW, GetLongPathNameW): one
// spelling for a short 8.3 and a long name of the same file. `path` itself
// where it cannot be made so.
std::wstring FullLongPath(const std::wstring& path);

// GetFinalPathNameByHandleW (looked up at run time) compared with `path`
// made full and long (GetFullPathNameW, GetLongPathNameW), ignoring case as
// the system does (CompareStringOrdinal). True where the system cannot name
// final paths (Windows XP): there is nothing to compare.
bool FinalPathMatches(HANDLE handle, const std::wstring& path);

// The identity of an open handle; false when it cannot be read.
bool IdentityOf(HANDLE handle, FileIdentity& identity);

}  // namespace tav::win32
