// The Os facet of the running system: start-up (locale, process, session,
// the single-instance mutex, the system version), the main window, the clock
// and the diagnostic trace's output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tav {

// An opaque top-level window reference; 0 is "no window".
using WindowRef = uintptr_t;

// Local calendar fields of a time reading.
struct LocalTimeFields {
  int hour = -1;
  int minute = -1;
};

// A named mutex handle. Destroying it closes the handle (CloseHandle).
class OsMutex {
 public:
  virtual ~OsMutex() = default;
  // ReleaseMutex: gives up ownership; harmless when not owned.
  virtual void Release() = 0;
};

class OsSystem {
 public:
  // setlocale(LC_ALL, ""): the user's default locale for the runtime library
  // (the POSIX layer selects only LC_CTYPE, the one category the tool uses).
  virtual void SelectUserDefaultLocale() = 0;
  virtual uint32_t GetCurrentProcessId() = 0;
  // ProcessIdToSessionId; false when the call fails.
  virtual bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) = 0;
  // WTSGetActiveConsoleSessionId.
  virtual uint32_t GetActiveConsoleSessionId() = 0;
  // CreateMutexW(NULL, initialOwner, name). No handle when creation failed;
  // `alreadyExists` reports GetLastError() == ERROR_ALREADY_EXISTS.
  virtual std::unique_ptr<OsMutex> CreateMutex(const std::wstring& name, bool initialOwner,
                                               bool& alreadyExists) = 0;
  // VerifyVersionInfoW with VER_MAJORVERSION | VER_MINORVERSION, both VER_EQUAL.
  virtual bool VerifyVersionEquals(uint32_t major, uint32_t minor) = 0;
  // FindWindowW(className, NULL); 0 when no window has that class.
  virtual WindowRef FindWindowByClass(const std::wstring& className) = 0;
  // PostMessageW; does not wait for the window.
  virtual bool PostMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) = 0;
  // GetTickCount: milliseconds of a steady clock, for durations in the trace.
  virtual uint32_t GetTickCount() = 0;
  // OutputDebugStringW of one finished trace line (see shared/trace.h). Never
  // fails the run; where nobody listens it costs next to nothing.
  virtual void DebugOutput(const std::wstring& line) = 0;
  // Whether DebugOutput lines can reach anyone: always on Windows, where a
  // viewer may start listening at any time; natively only when asked for.
  // Lets the trace skip building lines that would go nowhere.
  virtual bool IsDebugOutputOn() = 0;
  // time(): seconds since the epoch.
  virtual int64_t CurrentTime() = 0;
  // localtime(): false when the conversion fails.
  virtual bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsSystem() = default;
};

}  // namespace tav
