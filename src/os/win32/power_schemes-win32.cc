// Windows XP's power schemes, listed by EnumPwrSchemes.
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

// Collects each scheme's name; a scheme reported without a name is kept as
// an empty name.
BOOLEAN CALLBACK CollectScheme(UINT index, DWORD nameSize, LPWSTR name, DWORD descriptionSize,
                               LPWSTR description, PPOWER_POLICY policy, LPARAM context) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(context);
  names->push_back(name ? std::wstring(name) : std::wstring());
  return TRUE;
}

}  // namespace

std::optional<std::vector<std::wstring>> Win32Power::SchemeNames() {
  std::vector<std::wstring> names;
  const PWRSCHEMESENUMPROC collect = CollectScheme;
  if (::EnumPwrSchemes(collect, reinterpret_cast<LPARAM>(&names)) == 0) return std::nullopt;
  return names;
}

}  // namespace tav::win32
