#include "shared/windows_version.h"

namespace tav {

bool IsWindowsXp(Os& os) {
  // Major and minor version only: any service pack, build or product type.
  return os.system().IsWindowsXp();
}

}  // namespace tav
