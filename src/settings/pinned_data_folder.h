// A data folder with "VARENTO" and "TAV_POWERSAVE" checked as real folders
// and held open while the tool works in them. Any user may create folders
// below the common application-data folder, and the user's own folders are
// the user's, so either level may be a junction or link made to steer the
// elevated tool's writes elsewhere. Each level is created when missing, then
// opened as itself, checked and held before anything is made inside it.
#pragma once

#include <memory>
#include <string>

#include "os/os.h"
#include "shared/refusal.h"

namespace tav {

class PinnedDataFolder {
 public:
  // The data folder below `base` (the machine-wide one by default), each
  // missing level created and then pinned, the vendor folder first.
  static PinnedDataFolder Pin(Os& os, SpecialFolder base = SpecialFolder::kCommonAppData);

  // The data folder's path as the platform names it; empty when the platform
  // cannot name it.
  const std::wstring& Path() const { return path_; }
  // Its final path as the system knows the held folder; Path() where the
  // system cannot say. Comparable with the final path of a pinned file.
  const std::wstring& FinalPath() const { return finalPath_; }
  // The first check that failed, kPassed when both folders are held.
  FileCheck Check() const { return check_; }
  // Refused: a link, a folder whose final path is elsewhere, one that cannot
  // be opened, or one still missing after it was created. Such a data folder
  // is not used at all. A folder that cannot be named or has a file in its
  // place is merely unusable: nothing can be written into it, as before.
  bool Refused() const;
  // "the data folder "<path>": <vendor folder> is a link ..." for the trace.
  std::wstring Reason() const;

 private:
  std::wstring path_;
  std::wstring finalPath_;
  std::wstring failedFolder_;
  FileCheck check_ = FileCheck::kMissing;
  std::unique_ptr<OsPinnedFolder> vendor_;
  std::unique_ptr<OsPinnedFolder> product_;
};

}  // namespace tav
