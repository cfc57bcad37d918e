#include "settings/data_folder.h"

#include "shared/text.h"

namespace tav {
namespace {

void CreateFolderIfMissing(Os& os, const std::wstring& path) {
  // The result is not examined: the path is handed back either way.
  if (!os.PathFileExists(path)) os.CreateDirectory(path);
}

// <special folder>\VARENTO\TAV_POWERSAVE, creating the two product folders.
std::wstring ProductFolderIn(Os& os, SpecialFolder base) {
  std::wstring basePath;
  if (!os.GetSpecialFolderPath(base, true, basePath)) return L"";
  std::wstring path = os.PathCombine(basePath, kVendorFolderName);
  // A path that no longer fits into MAX_PATH cannot name the folder; going on
  // would create "TAV_POWERSAVE" relative to the current folder instead.
  if (path.empty()) return L"";
  CreateFolderIfMissing(os, path);
  if (!os.PathAppend(path, kProductFolderName)) return L"";
  CreateFolderIfMissing(os, path);
  return path;
}

}  // namespace

std::wstring GetDataFolder(Os& os) { return ProductFolderIn(os, SpecialFolder::CommonAppData); }

std::wstring GetUserDataFolder(Os& os) { return ProductFolderIn(os, SpecialFolder::LocalAppData); }

std::wstring FolderOfFile(Os& os, const std::wstring& path) {
  std::wstring folder = path;
  os.PathRemoveFileSpec(folder);
  return folder;
}

bool IsSameFolder(const std::wstring& a, const std::wstring& b) { return EqualsIgnoreCase(a, b); }

bool LiesDirectlyIn(Os& os, const std::wstring& path, const std::wstring& folder) {
  return IsSameFolder(FolderOfFile(os, path), folder);
}

}  // namespace tav
