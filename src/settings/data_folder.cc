#include "settings/data_folder.h"

#include "os/path_strings.h"
#include "settings/pinned_data_folder.h"
#include "shared/text.h"

namespace tav {

std::wstring DataFolderPath(Os& os, SpecialFolder base) {
  const std::optional<std::wstring> basePath = os.files().SpecialFolderPath(base);
  if (!basePath) return L"";
  std::wstring path = PathStringCombine(*basePath, kVendorFolderName);
  // A path that no longer fits into MAX_PATH cannot name the folder; going on
  // would name "TAV_POWERSAVE" relative to the current folder instead.
  if (path.empty() || !PathStringAppend(path, kProductFolderName)) return L"";
  return path;
}

std::wstring GetDataFolder(Os& os) { return PinnedDataFolder::Pin(os).Path(); }

std::wstring GetUserDataFolder(Os& os) {
  return PinnedDataFolder::Pin(os, SpecialFolder::kLocalAppData).Path();
}

std::wstring FolderOfFile(Os& os, const std::wstring& path) {
  std::wstring folder = path;
  PathStringRemoveFileSpec(folder);
  return folder;
}

bool IsSameFolder(const std::wstring& a, const std::wstring& b) { return EqualsIgnoreCase(a, b); }

bool LiesDirectlyIn(Os& os, const std::wstring& path, const std::wstring& folder) {
  return IsSameFolder(FolderOfFile(os, path), folder);
}

}  // namespace tav
