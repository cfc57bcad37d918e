// Files and folders pinned for the elevated tool: checked through a handle
// opened without following a link, then held open with read access, sharing
// read (and for files written by name, write) but not delete, so that nobody
// can rename, delete or replace them (or a folder above them) until the pin
// is destroyed. A handle without read, write or delete access would not do:
// the system ignores the sharing mode of such a handle.
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
// Inputs read by another program after the check: nobody may open them for
// writing while they are held, and one open for writing cannot be pinned.
constexpr DWORD kPinShareReadOnly = FILE_SHARE_READ;
// Attribute and delete handles do not hinder other users of the file.
constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The layouts of FILE_BASIC_INFO / FILE_BASIC_INFORMATION and
// FILE_DISPOSITION_INFO / FILE_DISPOSITION_INFORMATION.
struct BasicInformation {
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  DWORD FileAttributes;
};
struct DispositionInformation {
  BOOLEAN Delete;
};
struct IoStatusBlock {
  union {
    LONG Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
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

  std::optional<std::wstring> FinalPath() override {
    if (!pin_) return std::nullopt;
    return FinalPathOf(pin_.get());
  }

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
    basic.FileAttributes = info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
    // Zero would mean "unchanged": a file without attributes is "normal".
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
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
    return MarkForDeletion(file.get());
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

  std::optional<std::wstring> FinalPath() override { return FinalPathOf(pin_.get()); }

 private:
  UniqueHandle pin_;
};

// Checked with a handle that asks for attributes only (opening a pipe or a
// device for reading could have effects of its own), then pinned by a second
// handle, sharing `share`, that must reach the same object.
FileCheck Pin(const std::wstring& path, ObjectKind kind, bool compareFinalPath, DWORD share,
              UniqueHandle& pin, FileIdentity& identity) {
  UniqueHandle probe;
  FileCheck check = OpenVerified(path, kind, compareFinalPath, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 kAnyShare, probe, identity);
  if (check != FileCheck::kPassed) return check;
  FileIdentity again;
  check = OpenVerified(path, kind, compareFinalPath, kPinAccess, share, pin, again);
  if (check == FileCheck::kPassed && !(again == identity)) return FileCheck::kUnopenable;
  return check;
}

}  // namespace

bool MarkForDeletion(HANDLE file) {
  DispositionInformation disposition{TRUE};
  return SetInformation(file, kFileDispositionInfo, kFileDispositionInformation, &disposition,
                        sizeof disposition);
}

FilePin PinKnownFile(const std::wstring& path, FinalPathCheck finalPath, PinSharing sharing,
                     const std::optional<FileIdentity>& expected) {
  const bool compare = finalPath == FinalPathCheck::kCompare;
  const DWORD share = sharing == PinSharing::kReadOnly ? kPinShareReadOnly : kPinShare;
  UniqueHandle pin;
  FileIdentity identity;
  FileCheck check = Pin(path, ObjectKind::kFile, compare, share, pin, identity);
  if (check == FileCheck::kPassed && expected && !(identity == *expected))
    check = FileCheck::kUnopenable;
  if (check != FileCheck::kPassed) return FilePin{check, nullptr};
  // Later opens by name use the full long spelling, whichever one was given.
  return FilePin{check, std::make_unique<Win32PinnedFile>(FullLongPath(path), compare,
                                                           std::move(pin), identity)};
}

FilePin Win32Files::PinFile(const std::wstring& path, FinalPathCheck finalPath,
                            PinSharing sharing) {
  return PinKnownFile(path, finalPath, sharing, std::nullopt);
}

FolderPin Win32Files::PinFolder(const std::wstring& path, FinalPathCheck finalPath) {
  UniqueHandle pin;
  FileIdentity identity;
  const FileCheck check = Pin(path, ObjectKind::kFolder, finalPath == FinalPathCheck::kCompare,
                              kPinShare, pin, identity);
  if (check != FileCheck::kPassed) return FolderPin{check, nullptr};
  return FolderPin{check, std::make_unique<Win32PinnedFolder>(std::move(pin))};
}

}  // namespace tav::win32
