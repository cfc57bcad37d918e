// The Os facet of sleeping and waking: what the companion program needs to
// suspend or hibernate the machine and to have it woken at a set time.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tav {

enum class SleepKind { kSuspend, kHibernate };

// GetPwrCapabilities' fields that decide which sleep states exist.
struct SleepCapabilities {
  bool S1 = false;
  bool S2 = false;
  bool S3 = false;
  bool S4 = false;
  bool HibernationFile = false;  // HiberFilePresent
  bool ModernStandby = false;    // AoAc: S0 low-power idle, no S1-S3
};

// A local calendar time, as the clock on the wall shows it.
struct LocalDateTime {
  int Year = 1970;
  int Month = 1;  // 1..12
  int Day = 1;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
};

// How starting the waiter went.
enum class WaiterStart {
  kArmed,     // it runs and its wake timer is set
  kNotArmed,  // it could not be started, ended, or did not arm in time
};

// How the waiter's wait ended.
enum class WaitEnd { kFired, kCancelled };

// How ending a waiter went.
enum class CancelResult {
  kNothingPending,  // no waiter was there
  kCancelled,       // the waiter was there and has gone
  kTimedOut,        // the waiter was told to go and was still there at the limit
};

// The single waiter's place (the named mutex "Global\TAV_POWERSAVE_WAITER",
// owned) with its cancel event. Destroying it releases both and any timer.
class OsWaiterSlot {
 public:
  virtual ~OsWaiterSlot() = default;
  // CreateWaitableTimerW and SetWaitableTimer(absolute `dueSeconds`, fResume
  // TRUE); once set, signals the companion that started this waiter (the
  // event "Global\TAV_POWERSAVE_WAITER_ARMED"). False when the timer could
  // not be set or cannot wake the machine (ERROR_NOT_SUPPORTED).
  virtual bool ArmWakeTimer(int64_t dueSeconds) = 0;
  // WaitForMultipleObjects on the cancel event and the timer.
  virtual WaitEnd Wait() = 0;
};

// What asking for the waiter's place found.
struct WaiterSlotTaking {
  std::unique_ptr<OsWaiterSlot> Slot;  // none: busy or failed
  bool Busy = false;                   // another waiter holds it
};

class OsSleep {
 public:
  // GetPwrCapabilities from "powrprof.dll", looked up at run time; nothing
  // when the library or the call fails.
  virtual std::optional<SleepCapabilities> Capabilities() = 0;
  // AdjustTokenPrivileges enabling SE_SHUTDOWN_NAME in the process token;
  // false when the token does not hold it (ERROR_NOT_ALL_ASSIGNED) or a call
  // fails.
  virtual bool EnableShutdownPrivilege() = 0;
  // SetSuspendState(hibernate, FALSE, FALSE) from "powrprof.dll", looked up
  // at run time; false when it refuses or cannot be called. Returns after the
  // machine woke again, or at once where the system does not block.
  virtual bool RequestSleep(SleepKind kind) = 0;
  // Starts this program again with `arguments` (CreateProcessW with
  // CREATE_BREAKAWAY_FROM_JOB | DETACHED_PROCESS), then waits up to `limit`
  // for it to arm its timer (ArmWakeTimer) or to end.
  virtual WaiterStart StartWaiter(const std::wstring& arguments,
                                  std::chrono::milliseconds limit) = 0;
  // The waiter's side: takes the waiter's place.
  virtual WaiterSlotTaking TakeWaiterSlot() = 0;
  // SetThreadExecutionState(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED): after
  // a timed wake, the display comes on and the machine stays awake.
  virtual void KeepDisplayOn() = 0;
  // Signals the waiter's cancel event and waits up to `limit` for the
  // waiter's mutex to be free.
  virtual CancelResult CancelWaiter(std::chrono::milliseconds limit) = 0;
  // The local calendar time of `seconds` since the epoch, under the time
  // zone's rules for that date (SystemTimeToTzSpecificLocalTime); nothing
  // when it cannot be converted.
  virtual std::optional<LocalDateTime> LocalTimeOf(int64_t seconds) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsSleep() = default;
};

}  // namespace tav
