#include "os/win32/win32_os.h"

#include "os/win32/win32_os_impl.h"

namespace tav {

std::unique_ptr<Os> MakeWin32Os() { return std::make_unique<win32::Win32Os>(); }

}  // namespace tav
