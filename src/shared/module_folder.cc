#include "shared/module_folder.h"

#include "os/path_strings.h"

namespace tav {

std::wstring GetModuleFolder(Os& os) {
  std::wstring path;
  const uint32_t length = os.GetModuleFileName(path);
  // A path that filled the whole buffer may have been cut: its folder would
  // be some other folder, so none is named.
  if (length == 0 || length >= kMaxPath) return L"";
  os.PathRemoveFileSpec(path);
  return path;
}

}  // namespace tav
