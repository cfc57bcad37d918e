// Files and folders pinned for the elevated tool: checked through a handle
// opened without following a link, then held open with read access, sharing
// read and write but not delete, so that nobody can rename, delete or
// replace them (or a folder above them) until the pin is destroyed. A handle
// without read, write or delete access would not do: the system ignores the
// sharing mode of such a handle.
//
// Attributes are written and the file is deleted through handles checked to
// reach the pinned file (same volume and file index): SetFileInformationByHandle
// where the system has it, NtSetInformationFile of ntdll on Windows XP.
#include "os/win32/file_identity-win32.h"
#include "os/win32/procedure_lookup.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

constexpr DWORD kPinAccess = FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kPinShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Attribute and delete handles do not hinder other users of the file.
constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The layouts of FILE_BASIC_INFO / FILE_BASIC_INFORMATION and
// FILE_DISPOSITION_INFO / FILE_DISPOSITION_INFORMATION.
struct BasicInformation {
  LARGE_INTEGER creationTime;
  LARGE_INTEGER lastAccessTime;
  LARGE_INTEGER lastWriteTime;
  LARGE_INTEGER changeTime;
  DWORD fileAttributes;
};
struct DispositionInformation {
  BOOLEAN deleteFile;
};
struct IoStatusBlock {
  union {
    LONG status;
    PVOID pointer;
  };
  ULONG_PTR information;
};

// FILE_INFO_BY_HANDLE_CLASS and FILE_INFORMATION_CLASS values.
constexpr int kFileBasicInfo = 0;
constexpr int kFileDispositionInfo = 4;
constexpr int kFileBasicInformation = 4;
constexpr int kFileDispositionInformation = 13;

using SetFileInformationByHandleFunction = BOOL(WINAPI*)(HANDLE file, int infoClass, LPVOID info,
                                                         DWORD size);
using NtSetInformationFileFunction = LONG(NTAPI*)(HANDLE file, IoStatusBlock* status, PVOID info,
                                                  ULONG size, int infoClass);

// One information class written through `handle`: the documented call where
// it exists (Vista and later), the native one on Windows XP.
bool SetInformation(HANDLE handle, int byHandleClass, int nativeClass, void* info, DWORD size) {
  if (auto set = SystemProcedure<SetFileInformationByHandleFunction>(
          L"kernel32.dll", "SetFileInformationByHandle"))
    return set(handle, byHandleClass, info, size) != 0;
  if (auto set = SystemProcedure<NtSetInformationFileFunction>(L"ntdll.dll",
                                                                "NtSetInformationFile")) {
    IoStatusBlock status{};
    return set(handle, &status, info, size, nativeClass) >= 0;
  }
  return false;
}

class Win32PinnedFile final : public OsPinnedFile {
 public:
  Win32PinnedFile(std::wstring path, bool compareFinalPath, UniqueHandle pin, FileIdentity identity)
      : path_(std::move(path)),
        compareFinalPath_(compareFinalPath),
        pin_(std::move(pin)),
        identity_(identity) {}

  std::unique_ptr<OsTextFile> OpenTextFileForReading() override {
    if (!pin_) return nullptr;
    return OpenTextFileOf(path_, identity_);
  }

  void ClearReadOnlyAttribute() override {
    if (!pin_) return;
    UniqueHandle file = Reopen(FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE);
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) return;
    BasicInformation basic{};  // zero times: left as they are
    basic.fileAttributes = info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
    // Zero would mean "unchanged": a file without attributes is "normal".
    if (basic.fileAttributes == 0) basic.fileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetInformation(file.get(), kFileBasicInfo, kFileBasicInformation, &basic, sizeof basic);
  }

  bool Delete() override {
    if (!pin_) return false;
    // The pin shares no delete access, not even with the tool itself: it is
    // given up, and the file opened again for deletion must be the same.
    pin_.Reset();
    UniqueHandle file = Reopen(DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return false;
    // DeleteFileW refuses a read-only file; so does the disposition.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return false;
    DispositionInformation disposition{TRUE};
    return SetInformation(file.get(), kFileDispositionInfo, kFileDispositionInformation,
                          &disposition, sizeof disposition);
  }  // the file goes when `file` closes

 private:
  // A second handle to the pinned file, checked as the first one was.
  UniqueHandle Reopen(DWORD access) const {
    UniqueHandle file;
    FileIdentity identity;
    if (OpenVerified(path_, ObjectKind::kFile, compareFinalPath_, access, kAnyShare, file,
                     identity) != FileCheck::kPassed ||
        !(identity == identity_))
      return UniqueHandle();
    return file;
  }

  std::wstring path_;
  bool compareFinalPath_;
  UniqueHandle pin_;
  FileIdentity identity_;
};

class Win32PinnedFolder final : public OsPinnedFolder {
 public:
  explicit Win32PinnedFolder(UniqueHandle pin) : pin_(std::move(pin)) {}

 private:
  UniqueHandle pin_;
};

// Checked with a handle that asks for attributes only (opening a pipe or a
// device for reading could have effects of its own), then pinned by a second
// handle that must reach the same object.
FileCheck Pin(const std::wstring& path, ObjectKind kind, bool compareFinalPath, UniqueHandle& pin,
              FileIdentity& identity) {
  UniqueHandle probe;
  FileCheck check = OpenVerified(path, kind, compareFinalPath, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 kAnyShare, probe, identity);
  if (check != FileCheck::kPassed) return check;
  FileIdentity again;
  check = OpenVerified(path, kind, compareFinalPath, kPinAccess, kPinShare, pin, again);
  if (check == FileCheck::kPassed && !(again == identity)) return FileCheck::kUnopenable;
  return check;
}

}  // namespace

FilePin Win32Files::PinFile(const std::wstring& path, FinalPathCheck finalPath) {
  const bool compare = finalPath == FinalPathCheck::kCompare;
  UniqueHandle pin;
  FileIdentity identity;
  const FileCheck check = Pin(path, ObjectKind::kFile, compare, pin, identity);
  if (check != FileCheck::kPassed) return FilePin{check, nullptr};
  return FilePin{check, std::make_unique<Win32PinnedFile>(path, compare, std::move(pin), identity)};
}

FolderPin Win32Files::PinFolder(const std::wstring& path) {
  UniqueHandle pin;
  FileIdentity identity;
  const FileCheck check = Pin(path, ObjectKind::kFolder, true, pin, identity);
  if (check != FileCheck::kPassed) return FolderPin{check, nullptr};
  return FolderPin{check, std::make_unique<Win32PinnedFolder>(std::move(pin))};
}

}  // namespace tav::win32
