// COM: the library's lifetime around GUID creation, and GUID text.
#include "os/win32/guid-win32.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

bool Win32Com::CoInitialize() { return SUCCEEDED(::CoInitialize(nullptr)); }

void Win32Com::CoUninitialize() { ::CoUninitialize(); }

bool Win32Com::CoCreateGuid(Guid& guid) {
  GUID created = ToSystemGuid(guid);
  if (FAILED(::CoCreateGuid(&created))) return false;
  guid = FromSystemGuid(created);
  return true;
}

bool Win32Com::StringFromClsid(const Guid& guid, std::wstring& text) {
  UniqueCoTaskMem<wchar_t> converted;
  if (FAILED(::StringFromCLSID(ToSystemGuid(guid), converted.Receive())) || !converted.get())
    return false;
  text = converted.get();
  return true;
}

}  // namespace tav::win32
