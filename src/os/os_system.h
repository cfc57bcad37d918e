// The Os facet of the running system: start-up (locale, process, session,
// the single-instance mutex, the system version), the main window, the clock
// and the diagnostic trace's output.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "os/time_of_day.h"

namespace tav {

// A named mutex handle. Destroying it closes the handle.
class OsMutex {
 public:
  virtual ~OsMutex() = default;
  // Gives up ownership; harmless when not owned.
  virtual void Release() = 0;
};

// What asking for a named mutex found.
struct MutexOpening {
  std::unique_ptr<OsMutex> Mutex;  // none: it could not be created or opened
  bool Existed = false;            // another process had made it: not owned
};

class OsSystem {
 public:
  // The user's default locale for the runtime library's character
  // conversions (setlocale(LC_ALL, ""); the POSIX layer selects LC_CTYPE,
  // the one category the tool uses).
  virtual void SelectUserLocale() = 0;
  virtual uint32_t ProcessId() = 0;
  // The session of a process; nothing when it cannot be read.
  virtual std::optional<uint32_t> SessionOf(uint32_t processId) = 0;
  // The session attached to the physical console.
  virtual uint32_t ConsoleSession() = 0;
  // Creates the named mutex asking to own it at once (CreateMutexW(NULL,
  // TRUE, name)), or opens the existing one, which it then does not own.
  virtual MutexOpening CreateOwnedMutex(const std::wstring& name) = 0;
  // Whether the system's version is exactly 5.1, any service pack or build.
  virtual bool IsWindowsXp() = 0;
  // Posts `message` (wParam and lParam 0) to the top-level window of class
  // `className`, without waiting; false when there is no such window.
  virtual bool PostToWindowOfClass(const std::wstring& className, uint32_t message) = 0;
  // A steady clock, for durations in the trace.
  virtual std::chrono::milliseconds SteadyTime() = 0;
  // One finished trace line (see shared/trace.h): OutputDebugStringW. Never
  // fails the run; where nobody listens it costs next to nothing.
  virtual void WriteTrace(const std::wstring& line) = 0;
  // Whether trace lines can reach anyone: always on Windows, where a viewer
  // may start listening at any time; natively only when asked for. Lets the
  // trace skip building lines that would go nowhere.
  virtual bool TraceWanted() = 0;
  // Seconds since the epoch.
  virtual int64_t Now() = 0;
  // The local hour and minute of a reading of Now(); nothing when it cannot
  // be converted.
  virtual std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsSystem() = default;
};

}  // namespace tav
