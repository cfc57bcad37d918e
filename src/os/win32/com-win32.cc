// COM: the library's lifetime around GUID creation, and GUID text.
#include "os/win32/guid-win32.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

// S_FALSE (already started on this thread) counts: it is stopped as often.
bool Win32Com::Start() { return SUCCEEDED(::CoInitialize(nullptr)); }

void Win32Com::Stop() { ::CoUninitialize(); }

std::optional<Guid> Win32Com::NewGuid() {
  GUID created{};
  if (FAILED(::CoCreateGuid(&created))) return std::nullopt;
  return FromSystemGuid(created);
}

std::optional<std::wstring> Win32Com::GuidText(const Guid& guid) {
  UniqueCoTaskMem<wchar_t> converted;
  if (FAILED(::StringFromCLSID(ToSystemGuid(guid), converted.Receive())) || !converted.get())
    return std::nullopt;
  return std::wstring(converted.get());
}

}  // namespace tav::win32
