// The main user-interface window: found by class, notified by a posted message.
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

WindowRef Win32System::FindWindowByClass(const std::wstring& className) {
  return reinterpret_cast<WindowRef>(::FindWindowW(className.c_str(), nullptr));
}

bool Win32System::PostMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) {
  return ::PostMessageW(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != 0;
}

}  // namespace tav::win32
