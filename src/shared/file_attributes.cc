#include "shared/file_attributes.h"

namespace tav {

void ClearReadOnlyAttribute(Os& os, const std::wstring& path) {
  if (!os.PathFileExists(path)) return;
  uint32_t attributes = os.GetFileAttributes(path);
  if (attributes == kInvalidFileAttributes || !(attributes & kFileAttributeReadOnly)) return;
  os.SetFileAttributes(path, attributes & ~kFileAttributeReadOnly);
}

}  // namespace tav
