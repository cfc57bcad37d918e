// The machine-wide data folder with "VARENTO" and "TAV_POWERSAVE" checked as
// real folders and held open while the tool works in them. Any user may
// create folders below the common application-data folder, so either may be
// a junction or link that another user made to steer the elevated tool's
// writes elsewhere.
#pragma once

#include <memory>
#include <string>

#include "os/os.h"

namespace tav {

class PinnedDataFolder {
 public:
  // GetDataFolder (which creates the missing folders), then both product
  // folders pinned, the vendor folder first.
  static PinnedDataFolder Pin(Os& os);

  // The data folder's path as GetDataFolder names it; empty when the
  // platform cannot name it.
  const std::wstring& Path() const { return path_; }
  // The first check that failed, kPassed when both folders are held.
  FileCheck Check() const { return check_; }
  // Refused: a link, or a folder whose final path is elsewhere. Such a data
  // folder is not used at all. A folder that is missing or has a file in its
  // place is merely unusable: nothing can be written into it, as before.
  bool Refused() const;
  // "the data folder "<path>": <vendor folder> is a link ..." for the trace.
  std::wstring Reason() const;

 private:
  std::wstring path_;
  std::wstring failedFolder_;
  FileCheck check_ = FileCheck::kMissing;
  std::unique_ptr<OsPinnedFolder> vendor_;
  std::unique_ptr<OsPinnedFolder> product_;
};

// True for a check outcome that forbids using a file or folder at all: it is
// there, but not as the plain thing that was meant.
bool IsRefused(FileCheck check);

}  // namespace tav
