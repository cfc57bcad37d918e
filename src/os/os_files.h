// The Os facet of files and folders: existence and kind, creation, the
// special folders, the tool's own path, and files and folders pinned for use
// (file_pin.h), whose text is read line by line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "os/file_pin.h"

namespace tav {

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
  kCommonAppData,  // CSIDL_COMMON_APPDATA
  kLocalAppData,   // CSIDL_LOCAL_APPDATA
};

// What a path names, links followed.
enum class PathKind { kNothing, kFile, kFolder };

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

class OsFiles {
 public:
  // PathFileExistsW: anything at `path`, a link followed.
  virtual bool Exists(const std::wstring& path) = 0;
  // Whether `path` names a file or a folder (GetFileAttributesW).
  virtual PathKind KindOf(const std::wstring& path) = 0;
  // Creates `path` as a new file that holds only the UTF-16 LE byte-order
  // mark, so that the profile functions keep its text in Unicode, through a
  // handle that follows no link (CreateFileW with CREATE_NEW and
  // FILE_FLAG_OPEN_REPARSE_POINT), and checks the new file through that
  // handle as PinFile does. Passed: the file stays pinned, sharing read and
  // write, with `created` set. A made file that fails a check is removed
  // through the same handle, and its check is returned. Where something is
  // already at `path` it is pinned as PinFile(path, finalPath,
  // PinSharing::kReadWrite) pins it (`created` stays false). kMissing when
  // nothing could be made (no folder, no right to write there).
  virtual FilePin CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) = 0;
  // CreateDirectoryW with default security; a link at `path` is not
  // followed (the creation fails).
  virtual bool CreateFolder(const std::wstring& path) = 0;
  // SHGetSpecialFolderPathW into a MAX_PATH buffer, the platform making the
  // folder when it is missing; nothing when it cannot be named.
  virtual std::optional<std::wstring> SpecialFolderPath(SpecialFolder folder) = 0;
  // The full path of the tool's own executable (GetModuleFileNameW of
  // GetModuleHandleW(NULL) into a MAX_PATH buffer); nothing when it cannot
  // be read or filled the whole buffer, where it may have been cut.
  virtual std::optional<std::wstring> ProgramPath() = 0;
  // Opens `path` without following a link (CreateFileW with
  // FILE_FLAG_OPEN_REPARSE_POINT) and checks through the handle: a regular
  // disk file, no reparse point, exactly one link and, with kCompare where
  // the system can name it (GetFinalPathNameByHandleW), a final path equal
  // to `path` as the system compares paths (short 8.3 names and long names
  // of one file are equal). A passed file stays open, sharing what
  // `sharing` says but never delete, until the pin is destroyed.
  virtual FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath,
                          PinSharing sharing) = 0;
  // The same for a folder: a real folder, no reparse point and, with
  // kCompare, its final path equal to `path` where the system can name it.
  // Held sharing read and write but not delete.
  virtual FolderPin PinFolder(const std::wstring& path, FinalPathCheck finalPath) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsFiles() = default;
};

}  // namespace tav
