#include "shared/refusal.h"

namespace tav {

bool IsRefused(FileCheck check, FileUse use) {
  switch (check) {
    case FileCheck::kPassed:
    case FileCheck::kMissing:
      return false;
    case FileCheck::kNotFolder:  // a file where a data folder belongs: writes fail
      return use != FileUse::kRecord;
    case FileCheck::kUnopenable:  // a list that cannot be opened counts as missing
      return use != FileUse::kTaskList;
    case FileCheck::kLink:
    case FileCheck::kNotFile:  // an XML path that is no plain file is skipped as such
      return use != FileUse::kTaskXml;
    case FileCheck::kHardLinked:
    case FileCheck::kElsewhere:
      return true;
  }
  return true;
}

}  // namespace tav
