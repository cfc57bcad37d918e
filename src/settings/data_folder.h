// The machine-wide and per-user data folders.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

inline constexpr wchar_t kVendorFolderName[] = L"VARENTO";
inline constexpr wchar_t kProductFolderName[] = L"TAV_POWERSAVE";

// <base>\VARENTO\TAV_POWERSAVE, named only (the platform makes `base` itself
// when it is missing); empty when the platform cannot name `base` or the
// path does not fit into MAX_PATH.
std::wstring DataFolderPath(Os& os, SpecialFolder base);
// The common application-data folder + VARENTO + TAV_POWERSAVE, each missing
// level created once the one above it has passed its checks; empty when the
// platform cannot name the base folder.
std::wstring GetDataFolder(Os& os);
// The same for the user's local application-data folder.
std::wstring GetUserDataFolder(Os& os);
// The folder of the file at `path`: the path less its last element, as
// PathRemoveFileSpecW cuts it.
std::wstring FolderOfFile(Os& os, const std::wstring& path);
// Whether two folder paths name the same folder: equal without regard to case.
bool IsSameFolder(const std::wstring& a, const std::wstring& b);
// True when the file at `path` lies directly in `folder`. The one test of
// "is the settings file in the data folder", with the two helpers above.
bool LiesDirectlyIn(Os& os, const std::wstring& path, const std::wstring& folder);

}  // namespace tav
