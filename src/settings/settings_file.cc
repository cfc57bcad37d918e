#include "settings/settings_file.h"

#include "settings/data_folder.h"
#include "settings/pinned_data_folder.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {

HeldSettingsFile HeldSettingsFile::Hold(Os& os, const std::wstring& path) {
  HeldSettingsFile held(path);
  // The settings file may lie in a user's redirected folder: its own final
  // path is not compared with the name, only used.
  FilePin file = os.files().PinFile(path, FinalPathCheck::kSkip, PinSharing::kReadWrite);
  if (!file.File) {
    held.refused_ = IsRefused(file.Check);
    if (held.refused_)
      Trace(os, L"settings: " + Quoted(path) + L" not used: it " + DescribeFileCheck(file.Check));
    return held;
  }
  // Without a final path (Windows XP) the held file alone keeps its folder
  // from being renamed.
  if (std::optional<std::wstring> final = file.File->FinalPath()) {
    FolderPin folder = os.files().PinFolder(FolderOfFile(os, *final), FinalPathCheck::kCompare);
    if (!folder.Folder) {
      held.refused_ = true;
      Trace(os, L"settings: " + Quoted(path) + L" not used: its folder " + Quoted(FolderOfFile(os, *final)) +
                    L" " + DescribeFileCheck(folder.Check));
      return held;
    }
    held.location_.Reached = std::move(*final);
    held.folder_ = std::move(folder.Folder);
  }
  held.file_ = std::move(file.File);
  return held;
}

}  // namespace tav
