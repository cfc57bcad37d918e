// Windows XP's power schemes, listed by EnumPwrSchemes.
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

struct SchemeEnumeration {
  SchemeCallback callback;
  void* context;
};

// Hands each scheme's name to the core's callback; a scheme reported without
// a name is passed on as an empty name.
BOOLEAN CALLBACK ForwardScheme(UINT index, DWORD nameSize, LPWSTR name, DWORD descriptionSize,
                               LPWSTR description, PPOWER_POLICY policy, LPARAM context) {
  const auto* enumeration = reinterpret_cast<const SchemeEnumeration*>(context);
  if (!enumeration->callback) return TRUE;
  const std::wstring schemeName = name ? std::wstring(name) : std::wstring();
  return enumeration->callback(schemeName, enumeration->context) ? TRUE : FALSE;
}

}  // namespace

bool Win32Os::EnumPwrSchemes(SchemeCallback callback, void* context) {
  SchemeEnumeration enumeration{callback, context};
  const PWRSCHEMESENUMPROC forward = ForwardScheme;
  return ::EnumPwrSchemes(forward, reinterpret_cast<LPARAM>(&enumeration)) != 0;
}

}  // namespace tav::win32
