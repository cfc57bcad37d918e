// The install step's view of the data folder: what stands at each level of
// `CommonAppData\VARENTO\TAV_POWERSAVE`, and the few calls that move a
// foreign object aside, make a folder and lock it. Used only by the
// package's install step (installer/data_folder_action.cc), never by the
// tool; the decisions are portable (PrepareDataFolder), the calls platform
// ones: win32/folder_security-win32.cc in the product, a POSIX stand-in for
// the native build, a fake in the tests.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tav {

// What stands at a path, looked at as itself (a link is not followed).
enum class FolderState {
  kMissing,
  kTrustedFolder,    // a real folder owned by SYSTEM, Administrators, TrustedInstaller
                     // or the account the step runs as (SYSTEM on Windows)
  kUntrustedFolder,  // a real folder owned by anyone else
  kLink,             // a symbolic link, junction, mount point or other reparse point
  kFile,             // a file or device
  kUnreadable,       // something is there but cannot be examined
};

enum class FolderAction {
  kKeep,                   // lock the folder that is there; its content stays
  kCreate,                 // make the folder, then lock it
  kMoveAsideThenCreate,    // rename the object aside in the same parent, then make and lock
};

// The action for what was found at one level of the data folder.
FolderAction DecideFolderAction(FolderState state);

class FolderSecurity {
 public:
  virtual ~FolderSecurity() = default;
  // Win32: CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT, its attributes
  // and its owner (GetSecurityInfo) through that handle.
  virtual FolderState Examine(const std::wstring& path) = 0;
  // MoveFileW: renames the object itself (a link, not its target).
  virtual bool MoveAside(const std::wstring& path, const std::wstring& newPath) = 0;
  // CreateDirectoryW; fails when anything is already there.
  virtual bool CreateFolder(const std::wstring& path) = 0;
  // Opens the folder as itself, checks that it is still a real folder, and
  // through that handle sets owner Administrators and a protected access
  // list: SYSTEM and Administrators full control, Users read and execute,
  // inherited by files and subfolders (SetSecurityInfo).
  virtual bool Lock(const std::wstring& path) = 0;
};

// The product's data folder names below CommonAppData, outermost first.
inline constexpr const wchar_t* kDataFolderLevels[] = {L"VARENTO", L"TAV_POWERSAVE"};

// Makes `commonAppData`\VARENTO\TAV_POWERSAVE safe: each level that is
// missing is made, each link, file or folder of an untrusted owner is renamed
// aside ("<name>.moved-<n>", the first free n) and a new folder made in its
// place; then every level is locked. Says each step in a line to `log`.
// False (with a line saying why) as soon as a step fails.
bool PrepareDataFolder(FolderSecurity& security, const std::wstring& commonAppData,
                       const std::function<void(const std::wstring&)>& log);

// The POSIX stand-in: owner root is trusted; Lock sets mode 0755 (and owner
// root when run as root). Windows-form paths as the POSIX layer takes them.
std::unique_ptr<FolderSecurity> MakePlatformFolderSecurity();

}  // namespace tav
