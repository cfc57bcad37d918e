// Files and folders opened as themselves (a link is not followed), checked
// through the open handle, and held open while the tool uses them, so that
// nothing can be renamed, deleted or swapped in between. The elevated tool
// writes, unprotects and deletes only what such a pin has verified.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tav {

class OsTextFile;

// What opening a path as itself found. Everything but kPassed leaves no pin.
enum class FileCheck {
  kPassed,
  kMissing,     // nothing at the path (or a folder on the way is missing)
  kUnopenable,  // something is there but cannot be opened or examined
  kNotFile,     // a folder, device, pipe or socket where a file is expected
  kNotFolder,   // a file or device where a folder is expected
  kLink,        // a symbolic link, junction, mount point or other reparse point
  kHardLinked,  // a file with more than one name
  kElsewhere,   // its final path is not the path meant: a folder above is a link
};

// Whether the final path of the opened object must equal the path meant.
// Files in the user's own folders skip it: those folders are often
// redirected on purpose.
enum class FinalPathCheck { kCompare, kSkip };

// What other programs may do with a pinned file while the tool holds it.
enum class PinSharing {
  kReadWrite,  // record files, which the profile functions write by name
  kReadOnly,   // inputs another program reads after the check (task list, XML
               // files): nobody may change them between the check and the use
};

// A short phrase for the trace: "is a link, junction or reparse point", ...
const wchar_t* DescribeFileCheck(FileCheck check);

// A verified regular file with one name, held open sharing read and write
// but not delete. Destroying it closes the handle.
class OsPinnedFile {
 public:
  virtual ~OsPinnedFile() = default;
  // The path the system knows the held file by (GetFinalPathNameByHandleW),
  // in the form the core's paths have: a drive or UNC path with long names
  // and '\\' separators, without the "\\?\\" prefix. Nothing where the
  // system cannot name it (Windows XP).
  virtual std::optional<std::wstring> FinalPath() = 0;
  // _wfsopen(path, "rtN", _SH_DENYWR) of the pinned file, checked to be that
  // very file; no file when it cannot be opened.
  virtual std::unique_ptr<OsTextFile> OpenTextFileForReading() = 0;
  // Writes the attributes back without FILE_ATTRIBUTE_READONLY, through the
  // verified file; nothing else changes and nothing is reported.
  virtual void ClearReadOnlyAttribute() = 0;
  // Deletes the verified file (a read-only one is refused, as DeleteFileW
  // refuses it). The pin is used up either way.
  virtual bool Delete() = 0;
};

// A verified real folder, held open so that it cannot be renamed, deleted or
// replaced while the tool works in it.
class OsPinnedFolder {
 public:
  virtual ~OsPinnedFolder() = default;
  // As OsPinnedFile::FinalPath, for the held folder.
  virtual std::optional<std::wstring> FinalPath() = 0;
};

struct FilePin {
  FileCheck Check = FileCheck::kMissing;
  std::unique_ptr<OsPinnedFile> File;  // set exactly when check is kPassed
  bool Created = false;                // made by OsFiles::CreateUnicodeTextFile
};

struct FolderPin {
  FileCheck Check = FileCheck::kMissing;
  std::unique_ptr<OsPinnedFolder> Folder;  // set exactly when check is kPassed
};

}  // namespace tav
