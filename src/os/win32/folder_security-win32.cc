// The install step's folder calls on Windows. Every object is opened as
// itself (FILE_FLAG_OPEN_REPARSE_POINT) and examined and locked through that
// handle, so a link swapped in between is never followed. Only the security
// API of Windows XP is used: the well-known SIDs are built with
// AllocateAndInitializeSid, the access list with SetEntriesInAclW.
#include <aclapi.h>

#include <iterator>
#include <vector>

#include "os/folder_security.h"
#include "os/win32/file_identity-win32.h"
#include "os/win32/unique_handle.h"
#include "os/win32/windows_api.h"

namespace tav {
namespace {

using win32::UniqueHandle;
using UniqueSid = win32::UniqueAny<PSID, ::FreeSid>;
using UniqueSecurityDescriptor = win32::UniqueLocalMem<void>;
using UniqueAcl = win32::UniqueLocalMem<ACL>;

// A well-known SID of the NT authority: S-1-5-<sub...>.
UniqueSid NtSid(std::initializer_list<DWORD> subs) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  DWORD s[8] = {};
  BYTE count = 0;
  for (DWORD sub : subs) s[count++] = sub;
  UniqueSid sid;
  if (!AllocateAndInitializeSid(&nt, count, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], sid.Receive())) {
    return UniqueSid();
  }
  return sid;
}
UniqueSid SystemSid() { return NtSid({SECURITY_LOCAL_SYSTEM_RID}); }
UniqueSid AdministratorsSid() { return NtSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}); }
UniqueSid UsersSid() { return NtSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}); }
// NT SERVICE\TrustedInstaller (Vista and later; on XP no object has it).
UniqueSid TrustedInstallerSid() {
  return NtSid({80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464});
}

// The user of the step's own process: SYSTEM for a deferred step that does
// not impersonate, so on Windows it adds no owner; under Wine, where every
// object reads back as owned by the prefix's user, it lets the step know
// the folders it made and locked.
std::vector<BYTE> ProcessUser() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  UniqueHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return {};
  return user;
}

UniqueHandle OpenAsItself(const std::wstring& path, DWORD access) {
  return UniqueHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
}

// The tool's own check of a data folder (file_identity-win32.h): a real
// folder, no reparse point, and where the system names final paths (Vista
// and later) a final path equal to the path meant, so a folder reached
// through a link above or a link Windows does not show as a reparse point
// (as Wine's symbolic links) counts as a link.
FileCheck CheckFolder(HANDLE handle, const std::wstring& path) {
  win32::FileIdentity identity;
  return win32::CheckOpened(handle, path, win32::ObjectKind::kFolder, true, identity);
}

class Win32FolderSecurity final : public FolderSecurity {
 public:
  FolderState Examine(const std::wstring& path) override {
    UniqueHandle handle = OpenAsItself(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (!handle) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderState::kMissing
                                                                            : FolderState::kUnreadable;
    }
    switch (CheckFolder(handle.get(), path)) {
      case FileCheck::kPassed: break;
      case FileCheck::kLink:
      case FileCheck::kElsewhere: return FolderState::kLink;
      case FileCheck::kNotFolder:
      case FileCheck::kNotFile:
      case FileCheck::kHardLinked: return FolderState::kFile;
      case FileCheck::kMissing: return FolderState::kMissing;
      case FileCheck::kUnopenable: return FolderState::kUnreadable;
    }
    PSID owner = nullptr;
    UniqueSecurityDescriptor descriptor;
    if (GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, descriptor.Receive()) != ERROR_SUCCESS ||
        owner == nullptr) {
      return FolderState::kUnreadable;
    }
    for (const UniqueSid& trusted : {SystemSid(), AdministratorsSid(), TrustedInstallerSid()}) {
      if (trusted && EqualSid(owner, trusted.get())) return FolderState::kTrustedFolder;
    }
    const std::vector<BYTE> user = ProcessUser();
    if (!user.empty() && EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) {
      return FolderState::kTrustedFolder;
    }
    return FolderState::kUntrustedFolder;
  }

  // MoveFileW moves a symbolic link or junction itself, not its target.
  bool MoveAside(const std::wstring& path, const std::wstring& newPath) override {
    return MoveFileW(path.c_str(), newPath.c_str()) != 0;
  }

  bool CreateFolder(const std::wstring& path) override { return CreateDirectoryW(path.c_str(), nullptr) != 0; }

  bool Lock(const std::wstring& path) override {
    UniqueHandle handle = OpenAsItself(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES);
    if (!handle || CheckFolder(handle.get(), path) != FileCheck::kPassed) return false;
    UniqueSid system = SystemSid(), administrators = AdministratorsSid(), users = UsersSid();
    if (!system || !administrators || !users) return false;
    struct Grant {
      PSID Sid;
      DWORD Rights;
    };
    const Grant grants[] = {{system.get(), FILE_ALL_ACCESS},
                            {administrators.get(), FILE_ALL_ACCESS},
                            {users.get(), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    EXPLICIT_ACCESSW entries[std::size(grants)] = {};
    for (size_t i = 0; i < std::size(grants); ++i) {
      entries[i].grfAccessPermissions = grants[i].Rights;
      entries[i].grfAccessMode = SET_ACCESS;
      entries[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
      entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
      entries[i].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
      entries[i].Trustee.ptstrName = static_cast<LPWSTR>(grants[i].Sid);
    }
    UniqueAcl acl;
    if (SetEntriesInAclW(static_cast<ULONG>(std::size(entries)), entries, nullptr, acl.Receive()) != ERROR_SUCCESS) {
      return false;
    }
    return SetSecurityInfo(handle.get(), SE_FILE_OBJECT,
                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                               PROTECTED_DACL_SECURITY_INFORMATION,
                           administrators.get(), nullptr, acl.get(), nullptr) == ERROR_SUCCESS;
  }
};

}  // namespace

std::unique_ptr<FolderSecurity> MakePlatformFolderSecurity() {
  return std::make_unique<Win32FolderSecurity>();
}

}  // namespace tav
