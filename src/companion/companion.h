// The companion program TAV_PowerSaveSuspend.exe: suspends or hibernates the
// machine for the tool, optionally woken again at a local time by a waiter
// of its own, and cancels such a waiter.
//
// Command line: exactly one of /CANCEL, /SUSPEND, /HIBERNATE (any case), the
// last two optionally followed by /T:hhmm. /WAITER:<seconds> is internal: the
// companion starts itself with it to hold the wake timer through the sleep.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "os/os.h"

namespace tav::companion {

// One exit code per outcome.
inline constexpr int kExitDone = 0;
inline constexpr int kExitUnusableCommandLine = 1;
inline constexpr int kExitStateNotAvailable = 2;
inline constexpr int kExitPrivilegeNotHeld = 3;
inline constexpr int kExitSleepRefused = 4;
inline constexpr int kExitWakeTimerNotSet = 5;
inline constexpr int kExitCancelTimedOut = 6;
inline constexpr int kExitWaiterBusy = 7;  // the internal waiter only: another one waits

// How long /CANCEL waits for a waiter to go, and a new waiter to arm.
inline constexpr std::chrono::milliseconds kCancelLimit{5000};
inline constexpr std::chrono::milliseconds kArmLimit{5000};

struct Request {
  enum class Action { kCancel, kSuspend, kHibernate, kWaiter };
  Action What = Action::kCancel;
  std::optional<TimeOfDay> WakeAt;  // /T:hhmm
  int64_t WaiterDue = 0;            // /WAITER:<seconds since the epoch>
};

// The command line without the program's own path; nothing when unusable.
std::optional<Request> ParseCommandLine(const std::wstring& commandLine);

// Seconds since the epoch of the next local `time` strictly after `now`. A
// time that a change to summer time skips gives the first minute after the
// gap; a time that a change back repeats gives its first occurrence (its
// second if the first has passed). Nothing when the clock cannot be read.
std::optional<int64_t> NextLocalOccurrence(OsSleep& sleep, int64_t now, TimeOfDay time);

// Runs one start of the companion; returns its exit code.
int Run(Os& os, const std::wstring& commandLine);

}  // namespace tav::companion
