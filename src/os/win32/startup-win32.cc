// Start-up checks: locale, console session and the system version.
#include <clocale>

#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

// The C runtime is msvcrt.dll for the whole program (static link, no second
// CRT), so this locale also governs the text-mode reading of OsTextFile and
// the core's character classification.
void Win32System::SelectUserDefaultLocale() { std::setlocale(LC_ALL, ""); }

uint32_t Win32System::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

uint32_t Win32System::GetTickCount() { return ::GetTickCount(); }

void Win32System::DebugOutput(const std::wstring& line) {
  // A debug-output viewer shows each call as one line; elevated processes
  // included when it runs elevated too.
  ::OutputDebugStringW((line + L"\n").c_str());
}

bool Win32System::ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) {
  DWORD session = 0;
  if (!::ProcessIdToSessionId(processId, &session)) return false;
  sessionId = session;
  return true;
}

uint32_t Win32System::GetActiveConsoleSessionId() { return ::WTSGetActiveConsoleSessionId(); }

bool Win32System::VerifyVersionEquals(uint32_t major, uint32_t minor) {
  OSVERSIONINFOEXW version;
  ::ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = major;
  version.dwMinorVersion = minor;
  DWORDLONG conditions = ::VerSetConditionMask(0, VER_MAJORVERSION, VER_EQUAL);
  conditions = ::VerSetConditionMask(conditions, VER_MINORVERSION, VER_EQUAL);
  return ::VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, conditions) != 0;
}

}  // namespace tav::win32
