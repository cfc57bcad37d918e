#include "app/entry.h"

#include <utility>

#include "app/launch_options.h"
#include "app/windows_version.h"

namespace tav {
namespace {

// True when the process runs in the session attached to the physical console.
bool InConsoleSession(Os& os) {
  uint32_t session = 0;
  if (!os.ProcessIdToSessionId(os.GetCurrentProcessId(), session)) return false;
  return session == os.GetActiveConsoleSessionId();
}

}  // namespace

int RunEntry(Os& os, const std::wstring* commandLine) {
  SystemRunSteps steps(os);
  return RunEntry(os, steps, commandLine);
}

int RunEntry(Os& os, RunSteps& steps, const std::wstring* commandLine) {
  os.SelectUserDefaultLocale();

  // Outside the console session nothing is done, not even the parse.
  if (!InConsoleSession(os)) {
    NotifyMainWindow(os);
    return kExitSuccess;
  }

  LaunchOptions options;
  if (!ReadLaunchOptions(os, commandLine, options)) {
    NotifyMainWindow(os);
    return kExitFailure;
  }

  // The version is asked only when "I" was given.
  if (options.SkipOnXp && IsWindowsXp(os)) {
    NotifyMainWindow(os);
    return kExitSuccess;
  }

  // Another instance runs, or the mutex cannot be made: step aside, no wait.
  std::unique_ptr<OsMutex> mutex = AcquireInstanceMutex(os);
  if (!mutex) {
    NotifyMainWindow(os);
    return kExitSuccess;
  }

  const int succeeded = RunSequence(steps, options);
  // Released before the main window hears of the end.
  ReleaseInstanceMutex(std::move(mutex));
  NotifyMainWindow(os);
  return succeeded != 0 ? kExitSuccess : kExitFailure;
}

std::unique_ptr<OsMutex> AcquireInstanceMutex(Os& os) {
  bool alreadyExists = false;
  std::unique_ptr<OsMutex> mutex = os.CreateMutex(kInstanceMutexName, true, alreadyExists);
  if (!mutex) return nullptr;
  if (alreadyExists) {
    // Opened, not owned: releasing does nothing; the handle is closed on reset.
    mutex->Release();
    mutex.reset();
    return nullptr;
  }
  return mutex;
}

void ReleaseInstanceMutex(std::unique_ptr<OsMutex> mutex) {
  if (!mutex) return;
  mutex->Release();
  mutex.reset();  // closes the handle
}

void NotifyMainWindow(Os& os) {
  const WindowRef window = os.FindWindowByClass(kMainWindowClass);
  if (window != 0) os.PostMessage(window, kFinishedMessage, 0, 0);
}

}  // namespace tav
