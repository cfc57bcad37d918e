#include "companion/companion.h"

#include <string_view>
#include <vector>

#include "shared/text.h"
#include "shared/trace.h"

namespace tav::companion {
namespace {

void Say(Os& os, const std::wstring& text) { TraceAs(os, kCompanionTraceName, text); }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The blank-separated tokens of the command line.
std::vector<std::wstring_view> Tokens(std::wstring_view line) {
  std::vector<std::wstring_view> tokens;
  size_t position = 0;
  while (position < line.size()) {
    if (IsWhiteSpace(line[position])) {
      ++position;
      continue;
    }
    size_t end = position;
    while (end < line.size() && !IsWhiteSpace(line[end])) ++end;
    tokens.push_back(line.substr(position, end - position));
    position = end;
  }
  return tokens;
}

// "/T:hhmm": hours 00-23, minutes 00-59, exactly four digits.
std::optional<TimeOfDay> ParseWakeTime(std::wstring_view token) {
  if (!EqualsIgnoreCase(token.substr(0, 3), L"/T:")) return std::nullopt;
  const std::optional<TimeOfDay> time = FourDigitTime(token.substr(3));
  if (!time || time->Hour > 23 || time->Minute > 59) return std::nullopt;
  return time;
}

// "/WAITER:<decimal seconds>".
std::optional<int64_t> ParseWaiterDue(std::wstring_view token) {
  constexpr std::wstring_view kKey = L"/WAITER:";
  if (token.size() <= kKey.size() || token.size() > kKey.size() + 18 ||
      !EqualsIgnoreCase(token.substr(0, kKey.size()), kKey))
    return std::nullopt;
  int64_t value = 0;
  for (wchar_t c : token.substr(kKey.size())) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  return value;
}

std::wstring ActionName(Request::Action action) {
  switch (action) {
    case Request::Action::kCancel: return L"/CANCEL";
    case Request::Action::kSuspend: return L"/SUSPEND";
    case Request::Action::kHibernate: return L"/HIBERNATE";
    case Request::Action::kWaiter: return L"/WAITER";
  }
  return L"?";
}

// Whether the machine offers the state: sleep needs one of S1-S3 and no
// Modern Standby (whose S0 idle is no sleep state SetSuspendState reaches);
// hibernation needs S4 and a hibernation file.
bool StateAvailable(const SleepCapabilities& c, SleepKind kind) {
  if (kind == SleepKind::kHibernate) return c.S4 && c.HibernationFile;
  return (c.S1 || c.S2 || c.S3) && !c.ModernStandby;
}

int Cancel(Os& os) {
  switch (os.sleep().CancelWaiter(kCancelLimit)) {
    case CancelResult::kNothingPending:
      Say(os, L"cancel: no waiter pending");
      return kExitDone;
    case CancelResult::kCancelled:
      Say(os, L"cancel: the waiter ended");
      return kExitDone;
    case CancelResult::kTimedOut:
      break;
  }
  Say(os, L"cancel: the waiter was still there after " +
              std::to_wstring(kCancelLimit.count()) + L" ms");
  return kExitCancelTimedOut;
}

int Sleep(Os& os, const Request& request) {
  const SleepKind kind =
      request.What == Request::Action::kHibernate ? SleepKind::kHibernate : SleepKind::kSuspend;
  std::optional<SleepCapabilities> capabilities = os.sleep().Capabilities();
  if (!capabilities || !StateAvailable(*capabilities, kind)) {
    Say(os, capabilities ? L"state not available on this machine"
                         : L"state not available: the capabilities could not be read");
    return kExitStateNotAvailable;
  }
  if (!os.sleep().EnableShutdownPrivilege()) {
    Say(os, L"the shutdown privilege is not held");
    return kExitPrivilegeNotHeld;
  }
  if (request.WakeAt) {
    std::optional<int64_t> due = NextLocalOccurrence(os.sleep(), os.system().Now(), *request.WakeAt);
    if (!due) {
      Say(os, L"wake time " + ClockText(request.WakeAt) + L" could not be placed");
      return kExitWakeTimerNotSet;
    }
    const std::wstring arguments = L"/WAITER:" + std::to_wstring(*due);
    if (os.sleep().StartWaiter(arguments, kArmLimit) != WaiterStart::kArmed) {
      Say(os, L"waiter " + arguments + L" did not arm its wake timer");
      return kExitWakeTimerNotSet;
    }
    Say(os, L"waiter armed for " + ClockText(request.WakeAt) + L" (" + std::to_wstring(*due) + L")");
  }
  Say(os, L"requesting " + ActionName(request.What));
  if (!os.sleep().RequestSleep(kind)) {
    // No sleep: a wake timer left behind would only wake a machine later.
    if (request.WakeAt) os.sleep().CancelWaiter(kCancelLimit);
    Say(os, L"the system refused the sleep");
    return kExitSleepRefused;
  }
  return kExitDone;
}

int Wait(Os& os, int64_t due) {
  WaiterSlotTaking taking = os.sleep().TakeWaiterSlot();
  if (!taking.Slot) {
    Say(os, taking.Busy ? L"waiter: another waiter is pending" : L"waiter: no slot");
    return taking.Busy ? kExitWaiterBusy : kExitWakeTimerNotSet;
  }
  if (!taking.Slot->ArmWakeTimer(due)) {
    Say(os, L"waiter: the wake timer could not be set");
    return kExitWakeTimerNotSet;
  }
  if (taking.Slot->Wait() == WaitEnd::kCancelled) {
    Say(os, L"waiter: cancelled");
    return kExitDone;
  }
  os.sleep().KeepDisplayOn();
  Say(os, L"waiter: the wake timer fired");
  return kExitDone;
}

}  // namespace

std::optional<Request> ParseCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring_view> tokens = Tokens(commandLine);
  if (tokens.empty() || tokens.size() > 2) return std::nullopt;
  Request request;
  if (EqualsIgnoreCase(tokens[0], L"/CANCEL")) {
    request.What = Request::Action::kCancel;
  } else if (EqualsIgnoreCase(tokens[0], L"/SUSPEND")) {
    request.What = Request::Action::kSuspend;
  } else if (EqualsIgnoreCase(tokens[0], L"/HIBERNATE")) {
    request.What = Request::Action::kHibernate;
  } else if (std::optional<int64_t> due = ParseWaiterDue(tokens[0]); due && tokens.size() == 1) {
    request.What = Request::Action::kWaiter;
    request.WaiterDue = *due;
    return request;
  } else {
    return std::nullopt;
  }
  if (tokens.size() == 2) {
    if (request.What == Request::Action::kCancel) return std::nullopt;
    request.WakeAt = ParseWakeTime(tokens[1]);
    if (!request.WakeAt) return std::nullopt;
  }
  return request;
}

int Run(Os& os, const std::wstring& commandLine) {
  std::optional<Request> request = ParseCommandLine(commandLine);
  if (!request) {
    Say(os, L"unusable command line: \"" + commandLine + L"\"");
    Say(os, L"exit 1");
    return kExitUnusableCommandLine;
  }
  Say(os, L"command: " + ActionName(request->What) +
              (request->WakeAt ? L" /T:" + ClockText(request->WakeAt) : L""));
  int code = kExitDone;
  switch (request->What) {
    case Request::Action::kCancel: code = Cancel(os); break;
    case Request::Action::kSuspend:
    case Request::Action::kHibernate: code = Sleep(os, *request); break;
    case Request::Action::kWaiter: code = Wait(os, request->WaiterDue); break;
  }
  Say(os, L"exit " + std::to_wstring(code));
  return code;
}

}  // namespace tav::companion
