// Sleeping and waking on the native build: the power stand-in's state file
// (sleep-state.txt beside the plan store) says which sleep states exist and
// whether a sleep is refused; a granted one is logged to powrprof.log there,
// as the powrprof.dll stand-in logs it, and nothing sleeps. The waiter is a
// detached child process, its timer a deadline, its mutex a lock file and
// its cancel event and armed signal marker files in the runtime folder.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "os/posix/posix_parts.h"
#include "os/utf8.h"

namespace tav::posix {
namespace {

constexpr std::chrono::milliseconds kPoll{20};

bool StateSwitch(const std::string& stateFile, const std::string& name) {
  std::ifstream in(stateFile);
  std::string line;
  while (std::getline(in, line))
    if (line == name) return true;
  return false;
}

int64_t NowSeconds() { return static_cast<int64_t>(::time(nullptr)); }

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

void Touch(const std::string& path) {
  if (FILE* f = std::fopen(path.c_str(), "w")) std::fclose(f);
}

class PosixWaiterSlot final : public OsWaiterSlot {
 public:
  PosixWaiterSlot(std::unique_ptr<OsMutex> lock, std::string objects)
      : lock_(std::move(lock)), objects_(std::move(objects)) {}
  ~PosixWaiterSlot() override { lock_->Release(); }

  bool ArmWakeTimer(int64_t dueSeconds) override {
    due_ = dueSeconds;
    Touch(objects_ + "_ARMED");
    return true;
  }

  WaitEnd Wait() override {
    for (;;) {
      if (Exists(objects_ + "_CANCEL")) {
        ::unlink((objects_ + "_CANCEL").c_str());
        return WaitEnd::kCancelled;
      }
      if (NowSeconds() >= due_) return WaitEnd::kFired;
      std::this_thread::sleep_for(kPoll);
    }
  }

 private:
  std::unique_ptr<OsMutex> lock_;
  std::string objects_;
  int64_t due_ = 0;
};

}  // namespace

std::optional<SleepCapabilities> StandinSleepCapabilities(const std::string& stateFile) {
  SleepCapabilities c;
  c.S1 = c.S2 = false;
  c.S3 = !StateSwitch(stateFile, "no-s3");
  c.S4 = c.HibernationFile = !StateSwitch(stateFile, "no-hibernation");
  c.ModernStandby = StateSwitch(stateFile, "modern-standby");
  return c;
}

bool StandinRequestSleep(const std::string& stateFile, const std::string& logFile, bool hibernate) {
  const bool granted = !StateSwitch(stateFile, "sleep-refused");
  std::ofstream(logFile, std::ios::app) << "SetSuspendState hibernate=" << (hibernate ? 1 : 0)
                                        << " -> " << (granted ? 1 : 0) << "\n";
  return granted;
}

WaiterStart StartWaiterProcess(const std::string& objects, const std::string& arguments,
                               std::chrono::milliseconds limit) {
  const std::string program = ExecutablePath();
  if (program.empty()) return WaiterStart::kNotArmed;
  ::unlink((objects + "_ARMED").c_str());
  const pid_t child = ::fork();
  if (child < 0) return WaiterStart::kNotArmed;
  if (child == 0) {
    // Detached: a session of its own, no terminal, no standard streams.
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
    }
    ::execl(program.c_str(), program.c_str(), arguments.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (Exists(objects + "_ARMED")) return WaiterStart::kArmed;
    int status;
    if (::waitpid(child, &status, WNOHANG) == child) return WaiterStart::kNotArmed;
    std::this_thread::sleep_for(kPoll);
  }
  ::kill(child, SIGKILL);  // no late wake timer
  ::waitpid(child, nullptr, 0);
  return WaiterStart::kNotArmed;
}

WaiterSlotTaking TakeWaiterLock(const std::string& objects) {
  MutexOpening opening = OpenLockFileMutex(objects + ".lock");
  if (!opening.Mutex) return {};
  if (opening.Existed) return {nullptr, true};
  ::unlink((objects + "_CANCEL").c_str());  // meant for an earlier waiter
  return {std::make_unique<PosixWaiterSlot>(std::move(opening.Mutex), objects), false};
}

CancelResult CancelWaiterProcess(const std::string& objects, std::chrono::milliseconds limit) {
  MutexOpening probe = OpenLockFileMutex(objects + ".lock");
  if (!probe.Existed) return CancelResult::kNothingPending;
  Touch(objects + "_CANCEL");
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(kPoll);
    MutexOpening again = OpenLockFileMutex(objects + ".lock");
    if (again.Mutex && !again.Existed) return CancelResult::kCancelled;
  }
  return CancelResult::kTimedOut;
}

std::optional<LocalDateTime> LocalDateTimeOf(int64_t seconds) {
  const time_t reading = static_cast<time_t>(seconds);
  if (static_cast<int64_t>(reading) != seconds) return std::nullopt;
  struct tm local;
  if (!::localtime_r(&reading, &local)) return std::nullopt;
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tav::posix
