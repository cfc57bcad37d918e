#include "shared/windows_version.h"

namespace tav {

bool IsWindowsXp(Os& os) {
  // Major and minor version only: any service pack, build or product type.
  return os.VerifyVersionEquals(5, 1);
}

}  // namespace tav
