#include "os/file_pin.h"

namespace tav {

const wchar_t* DescribeFileCheck(FileCheck check) {
  switch (check) {
    case FileCheck::kPassed:
      return L"is a plain file or folder";
    case FileCheck::kMissing:
      return L"does not exist";
    case FileCheck::kUnopenable:
      return L"cannot be opened or examined";
    case FileCheck::kNotFile:
      return L"is a folder, device or pipe, not a file";
    case FileCheck::kNotFolder:
      return L"is not a folder";
    case FileCheck::kLink:
      return L"is a link, junction or other reparse point";
    case FileCheck::kHardLinked:
      return L"has more than one name (a hard link)";
    case FileCheck::kElsewhere:
      return L"lies elsewhere: a folder on its path is a link or junction";
  }
  return L"failed a check";
}

}  // namespace tav
