#include "shared/module_folder.h"

#include "os/path_strings.h"

namespace tav {

std::wstring GetModuleFolder(Os& os) {
  // A path that filled the whole buffer may have been cut: its folder would
  // be some other folder, so none is named.
  std::optional<std::wstring> path = os.files().ProgramPath();
  if (!path) return L"";
  PathStringRemoveFileSpec(*path);
  return *path;
}

}  // namespace tav
