// The runtime's clock. The 64-bit functions are named explicitly: the 32-bit
// build's default time_t is 32 bits wide. Both exist in Windows XP's msvcrt.
#include <ctime>

#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

int64_t Win32System::CurrentTime() { return static_cast<int64_t>(::_time64(nullptr)); }

bool Win32System::ToLocalTime(int64_t seconds, LocalTimeFields& fields) {
  __time64_t reading = seconds;
  const struct tm* local = ::_localtime64(&reading);
  if (!local) return false;
  fields.hour = local->tm_hour;
  fields.minute = local->tm_min;
  return true;
}

}  // namespace tav::win32
