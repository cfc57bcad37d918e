#include "settings/pinned_data_folder.h"

#include "settings/data_folder.h"
#include "shared/text.h"

namespace tav {

bool IsRefused(FileCheck check) {
  return check != FileCheck::kPassed && check != FileCheck::kMissing &&
         check != FileCheck::kNotFolder;
}

PinnedDataFolder PinnedDataFolder::Pin(Os& os) {
  PinnedDataFolder folder;
  folder.path_ = GetDataFolder(os);
  if (folder.path_.empty()) return folder;  // cannot be named: kMissing
  std::wstring vendor = folder.path_;
  os.PathRemoveFileSpec(vendor);
  FolderPin vendorPin = os.PinFolder(vendor);
  if (vendorPin.check != FileCheck::kPassed) {
    folder.check_ = vendorPin.check;
    folder.failedFolder_ = vendor;
    return folder;
  }
  FolderPin productPin = os.PinFolder(folder.path_);
  folder.check_ = productPin.check;
  if (productPin.check != FileCheck::kPassed) {
    folder.failedFolder_ = folder.path_;
    return folder;
  }
  folder.vendor_ = std::move(vendorPin.folder);
  folder.product_ = std::move(productPin.folder);
  return folder;
}

bool PinnedDataFolder::Refused() const { return IsRefused(check_); }

std::wstring PinnedDataFolder::Reason() const {
  if (path_.empty()) return L"the data folder cannot be named";
  if (check_ == FileCheck::kPassed) return L"the data folder " + Quoted(path_) + L" is held";
  return L"the data folder's " + Quoted(failedFolder_) + L" " + DescribeFileCheck(check_);
}

}  // namespace tav
