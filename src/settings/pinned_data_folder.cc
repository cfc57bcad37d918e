#include "settings/pinned_data_folder.h"

#include "settings/data_folder.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

// One level of the chain: created when missing (the result is not examined:
// the pin tells), then opened as itself. Its parent is held by the caller,
// so the new folder is made where it was meant.
FolderPin CreateAndPin(Os& os, const std::wstring& path) {
  if (!os.files().Exists(path)) {
    const bool created = os.files().CreateFolder(path);
    Trace(os, L"data folder: " + Quoted(path) + (created ? L" created" : L" cannot be created"));
  }
  return os.files().PinFolder(path, FinalPathCheck::kCompare);
}

}  // namespace

PinnedDataFolder PinnedDataFolder::Pin(Os& os, SpecialFolder base) {
  PinnedDataFolder folder;
  folder.path_ = DataFolderPath(os, base);
  folder.finalPath_ = folder.path_;
  if (folder.path_.empty()) return folder;  // cannot be named: kMissing
  const std::wstring vendor = FolderOfFile(os, folder.path_);
  FolderPin vendorPin = CreateAndPin(os, vendor);
  if (vendorPin.Check != FileCheck::kPassed) {
    folder.check_ = vendorPin.Check;
    folder.failedFolder_ = vendor;
    return folder;
  }
  FolderPin productPin = CreateAndPin(os, folder.path_);
  folder.check_ = productPin.Check;
  if (productPin.Check != FileCheck::kPassed) {
    folder.failedFolder_ = folder.path_;
    return folder;
  }
  if (std::optional<std::wstring> final = productPin.Folder->FinalPath())
    folder.finalPath_ = std::move(*final);
  folder.vendor_ = std::move(vendorPin.Folder);
  folder.product_ = std::move(productPin.Folder);
  return folder;
}

bool PinnedDataFolder::Refused() const {
  // A named folder that is still missing after its creation was tried.
  if (check_ == FileCheck::kMissing) return !path_.empty();
  return IsRefused(check_);
}

std::wstring PinnedDataFolder::Reason() const {
  if (path_.empty()) return L"the data folder cannot be named";
  if (check_ == FileCheck::kPassed) return L"the data folder " + Quoted(path_) + L" is held";
  return L"the data folder's " + Quoted(failedFolder_) + L" " + DescribeFileCheck(check_);
}

}  // namespace tav
