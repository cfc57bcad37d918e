// The running system: locale, process and session, the single-instance
// mutex, the system version, the main window, the clocks and the trace.
#include <clocale>
#include <ctime>

#include "os/win32/procedure_lookup.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

class Win32Mutex final : public OsMutex {
 public:
  explicit Win32Mutex(UniqueHandle handle) : handle_(std::move(handle)) {}
  void Release() override { ::ReleaseMutex(handle_.get()); }

 private:
  UniqueHandle handle_;  // closed with the object
};

using GetTickCount64Function = ULONGLONG(WINAPI*)();

}  // namespace

// The C runtime is msvcrt.dll for the whole program (static link, no second
// CRT), so this locale also governs the text-mode reading of OsTextFile and
// the core's character classification.
void Win32System::SelectUserLocale() { std::setlocale(LC_ALL, ""); }

uint32_t Win32System::ProcessId() { return ::GetCurrentProcessId(); }

std::optional<uint32_t> Win32System::SessionOf(uint32_t processId) {
  DWORD session = 0;
  if (!::ProcessIdToSessionId(processId, &session)) return std::nullopt;
  return session;
}

uint32_t Win32System::ConsoleSession() { return ::WTSGetActiveConsoleSessionId(); }

MutexOpening Win32System::CreateOwnedMutex(const std::wstring& name) {
  UniqueHandle handle(::CreateMutexW(nullptr, TRUE, name.c_str()));
  // Read at once: nothing may run between the creation and this test.
  const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
  if (!handle) return MutexOpening{nullptr, existed};
  return MutexOpening{std::make_unique<Win32Mutex>(std::move(handle)), existed};
}

bool Win32System::IsWindowsXp() {
  OSVERSIONINFOEXW version;
  ::ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = 5;
  version.dwMinorVersion = 1;
  DWORDLONG conditions = ::VerSetConditionMask(0, VER_MAJORVERSION, VER_EQUAL);
  conditions = ::VerSetConditionMask(conditions, VER_MINORVERSION, VER_EQUAL);
  return ::VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, conditions) != 0;
}

bool Win32System::PostToWindowOfClass(const std::wstring& className, uint32_t message) {
  const HWND window = ::FindWindowW(className.c_str(), nullptr);
  return window && ::PostMessageW(window, message, 0, 0) != 0;
}

std::chrono::milliseconds Win32System::SteadyTime() {
  // GetTickCount64 from Vista on; Windows XP's 32-bit count wraps after 49
  // days, which only ever spoils one duration of the trace.
  static const auto tickCount64 =
      SystemProcedure<GetTickCount64Function>(L"kernel32.dll", "GetTickCount64");
  return std::chrono::milliseconds(tickCount64 ? tickCount64() : ::GetTickCount());
}

void Win32System::WriteTrace(const std::wstring& line) {
  // A debug-output viewer shows each call as one line; elevated processes
  // included when it runs elevated too.
  ::OutputDebugStringW((line + L"\n").c_str());
}

// The 64-bit time functions are named explicitly: the 32-bit build's default
// time_t is 32 bits wide. Both exist in Windows XP's msvcrt.
int64_t Win32System::Now() { return static_cast<int64_t>(::_time64(nullptr)); }

std::optional<TimeOfDay> Win32System::LocalTimeOfDay(int64_t seconds) {
  const __time64_t reading = seconds;
  const struct tm* local = ::_localtime64(&reading);
  if (!local) return std::nullopt;
  return TimeOfDay{local->tm_hour, local->tm_min};
}

}  // namespace tav::win32
