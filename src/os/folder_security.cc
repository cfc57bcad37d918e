#include "os/folder_security.h"

#include "os/path_strings.h"

namespace tav {
namespace {

const wchar_t* Describe(FolderState state) {
  switch (state) {
    case FolderState::kMissing: return L"missing";
    case FolderState::kTrustedFolder: return L"a folder of a trusted owner";
    case FolderState::kUntrustedFolder: return L"a folder of an untrusted owner";
    case FolderState::kLink: return L"a link, junction or reparse point";
    case FolderState::kFile: return L"a file";
    case FolderState::kUnreadable: return L"unreadable";
  }
  return L"?";
}

// Moving aside tries this many names before it gives up.
constexpr int kAsideNames = 100;

}  // namespace

FolderAction DecideFolderAction(FolderState state) {
  switch (state) {
    case FolderState::kTrustedFolder: return FolderAction::kKeep;
    case FolderState::kMissing: return FolderAction::kCreate;
    case FolderState::kUntrustedFolder:
    case FolderState::kLink:
    case FolderState::kFile:
    case FolderState::kUnreadable: return FolderAction::kMoveAsideThenCreate;
  }
  return FolderAction::kMoveAsideThenCreate;
}

bool PrepareDataFolder(FolderSecurity& security, const std::wstring& commonAppData,
                       const std::function<void(const std::wstring&)>& log) {
  const std::wstring prefix = L"TAV_PowerSave data folder: ";
  std::wstring path = commonAppData;
  for (const wchar_t* level : kDataFolderLevels) {
    if (!PathStringAppend(path, level)) {
      log(prefix + L"the path below " + path + L" is too long");
      return false;
    }
    const FolderState state = security.Examine(path);
    const FolderAction action = DecideFolderAction(state);
    if (action == FolderAction::kMoveAsideThenCreate) {
      std::wstring aside;
      for (int n = 1; n <= kAsideNames && aside.empty(); ++n) {
        std::wstring candidate = path + L".moved-" + std::to_wstring(n);
        if (security.Examine(candidate) == FolderState::kMissing) aside = candidate;
      }
      if (aside.empty() || !security.MoveAside(path, aside)) {
        log(prefix + path + L" is " + Describe(state) + L" and could not be moved aside");
        return false;
      }
      log(prefix + path + L" was " + Describe(state) + L"; moved aside to " + aside);
      // Nothing may be left at the path: a rename that took the target of a
      // link (as Wine's does) leaves the link.
      if (security.Examine(path) != FolderState::kMissing) {
        log(prefix + path + L" still stands after the move");
        return false;
      }
    }
    if (action != FolderAction::kKeep) {
      if (!security.CreateFolder(path)) {
        log(prefix + L"could not create " + path);
        return false;
      }
      log(prefix + L"created " + path);
    } else {
      log(prefix + L"kept " + path);
    }
    if (!security.Lock(path)) {
      log(prefix + L"could not lock " + path);
      return false;
    }
    log(prefix + L"locked " + path);
  }
  return true;
}

}  // namespace tav
