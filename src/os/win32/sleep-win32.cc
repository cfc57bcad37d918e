// Sleeping and waking: powrprof.dll's capabilities and SetSuspendState
// (looked up at run time), the shutdown privilege, and the waiter's kernel
// objects, named in the global namespace where only administrators (holders
// of SeCreateGlobalPrivilege) can create objects.
#include <vector>

#include "os/win32/procedure_lookup.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

constexpr wchar_t kWaiterMutexName[] = L"Global\\TAV_POWERSAVE_WAITER";
constexpr wchar_t kCancelEventName[] = L"Global\\TAV_POWERSAVE_WAITER_CANCEL";
constexpr wchar_t kArmedEventName[] = L"Global\\TAV_POWERSAVE_WAITER_ARMED";

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01 (FILETIME).
constexpr int64_t kEpochIn100Ns = 116444736000000000LL;
constexpr int64_t kSecondIn100Ns = 10000000LL;

// SYSTEM_POWER_CAPABILITIES names its fields after FastSystemS4 only in
// newer headers: Hiberboot, WakeAlarmPresent, AoAc are mingw's spare2[0..2].
constexpr size_t kAoAcSpareIndex = 2;

using GetPwrCapabilitiesFunction = BOOLEAN(WINAPI*)(SYSTEM_POWER_CAPABILITIES*);
using SetSuspendStateFunction = BOOLEAN(WINAPI*)(BOOLEAN, BOOLEAN, BOOLEAN);

template <typename Function>
std::pair<UniqueModule, Function> PowerFunction(const char* name) {
  UniqueModule module(::LoadLibraryW(L"powrprof.dll"));
  Function function = LookupProcedure<Function>(module.get(), name);
  return {std::move(module), function};
}

std::wstring OwnProgramPath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return L"";
  return std::wstring(buffer.data(), length);
}

class Win32WaiterSlot final : public OsWaiterSlot {
 public:
  Win32WaiterSlot(UniqueHandle mutex, UniqueHandle cancel)
      : mutex_(std::move(mutex)), cancel_(std::move(cancel)) {}
  ~Win32WaiterSlot() override {
    timer_.Reset();
    ::ReleaseMutex(mutex_.get());
  }

  bool ArmWakeTimer(int64_t dueSeconds) override {
    timer_ = UniqueHandle(::CreateWaitableTimerW(nullptr, TRUE, nullptr));
    if (!timer_) return false;
    LARGE_INTEGER due;
    due.QuadPart = dueSeconds * kSecondIn100Ns + kEpochIn100Ns;  // positive: absolute UTC
    ::SetLastError(ERROR_SUCCESS);
    if (!::SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, TRUE)) return false;
    // The timer runs but cannot wake the machine.
    if (::GetLastError() == ERROR_NOT_SUPPORTED) return false;
    UniqueHandle armed(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kArmedEventName));
    if (armed) ::SetEvent(armed.get());
    return true;
  }

  WaitEnd Wait() override {
    const HANDLE handles[] = {cancel_.get(), timer_.get()};
    const DWORD result = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    return result == WAIT_OBJECT_0 + 1 ? WaitEnd::kFired : WaitEnd::kCancelled;
  }

 private:
  UniqueHandle mutex_;   // owned while the slot lives
  UniqueHandle cancel_;  // manual-reset
  UniqueHandle timer_;
};

}  // namespace

std::optional<SleepCapabilities> Win32Sleep::Capabilities() {
  auto [module, getCapabilities] = PowerFunction<GetPwrCapabilitiesFunction>("GetPwrCapabilities");
  if (!getCapabilities) return std::nullopt;
  SYSTEM_POWER_CAPABILITIES c{};
  if (!getCapabilities(&c)) return std::nullopt;
  return SleepCapabilities{c.SystemS1 != 0, c.SystemS2 != 0,        c.SystemS3 != 0,
                           c.SystemS4 != 0, c.HiberFilePresent != 0, c.spare2[kAoAcSpareIndex] != 0};
}

bool Win32Sleep::EnableShutdownPrivilege() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Receive()))
    return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
    return false;
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
  return ::GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
}

bool Win32Sleep::RequestSleep(SleepKind kind) {
  auto [module, setSuspendState] = PowerFunction<SetSuspendStateFunction>("SetSuspendState");
  if (!setSuspendState) return false;
  return setSuspendState(kind == SleepKind::kHibernate, FALSE, FALSE) != 0;
}

WaiterStart Win32Sleep::StartWaiter(const std::wstring& arguments,
                                    std::chrono::milliseconds limit) {
  const std::wstring program = OwnProgramPath();
  if (program.empty()) return WaiterStart::kNotArmed;
  UniqueHandle armed(::CreateEventW(nullptr, TRUE, FALSE, kArmedEventName));
  if (!armed) return WaiterStart::kNotArmed;
  ::ResetEvent(armed.get());
  std::wstring line = L"\"" + program + L"\" " + arguments;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Out of the tool's job, which ends the rest of its children with it; a job
  // that refuses breakaway still lets the waiter run inside it.
  BOOL started = ::CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                                  CREATE_BREAKAWAY_FROM_JOB | DETACHED_PROCESS, nullptr, nullptr,
                                  &startup, &info);
  if (!started && ::GetLastError() == ERROR_ACCESS_DENIED)
    started = ::CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                               DETACHED_PROCESS, nullptr, nullptr, &startup, &info);
  if (!started) return WaiterStart::kNotArmed;
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  const HANDLE handles[] = {armed.get(), process.get()};
  const DWORD result =
      ::WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(limit.count()));
  if (result == WAIT_OBJECT_0) return WaiterStart::kArmed;
  if (result == WAIT_TIMEOUT) ::TerminateProcess(process.get(), 1);  // no late wake timer
  return WaiterStart::kNotArmed;
}

WaiterSlotTaking Win32Sleep::TakeWaiterSlot() {
  UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kWaiterMutexName));
  if (!mutex) return {};
  const DWORD taken = ::WaitForSingleObject(mutex.get(), 0);
  if (taken == WAIT_TIMEOUT) return {nullptr, true};
  if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) return {};
  UniqueHandle cancel(::CreateEventW(nullptr, TRUE, FALSE, kCancelEventName));
  if (!cancel) {
    ::ReleaseMutex(mutex.get());
    return {};
  }
  ::ResetEvent(cancel.get());  // a cancel meant for an earlier waiter
  return {std::make_unique<Win32WaiterSlot>(std::move(mutex), std::move(cancel)), false};
}

void Win32Sleep::KeepDisplayOn() { ::SetThreadExecutionState(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED); }

CancelResult Win32Sleep::CancelWaiter(std::chrono::milliseconds limit) {
  UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kWaiterMutexName));
  UniqueHandle cancel(::OpenEventW(EVENT_MODIFY_STATE, FALSE, kCancelEventName));
  if (!mutex || !cancel) return CancelResult::kNothingPending;
  ::SetEvent(cancel.get());
  const DWORD result = ::WaitForSingleObject(mutex.get(), static_cast<DWORD>(limit.count()));
  if (result == WAIT_TIMEOUT) return CancelResult::kTimedOut;
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ::ReleaseMutex(mutex.get());
  return CancelResult::kCancelled;
}

std::optional<LocalDateTime> Win32Sleep::LocalTimeOf(int64_t seconds) {
  const int64_t ticks = seconds * kSecondIn100Ns + kEpochIn100Ns;
  if (seconds < -11644473600LL || ticks < 0) return std::nullopt;
  FILETIME file;
  file.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  SYSTEMTIME utc, local;
  if (!::FileTimeToSystemTime(&file, &utc)) return std::nullopt;
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return std::nullopt;
  return LocalDateTime{local.wYear, local.wMonth, local.wDay,
                       local.wHour, local.wMinute, local.wSecond};
}

}  // namespace tav::win32
