// The tool's entry: start-up rules, single instance, run, notification, exit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/run_sequence.h"
#include "os/os.h"

namespace tav {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1280;  // 0x500

inline constexpr wchar_t kInstanceMutexName[] = L"MUTEX_TAV_POWERSAVE_SETTING";
inline constexpr wchar_t kMainWindowClass[] = L"TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS";
inline constexpr uint32_t kFinishedMessage = 0x8000 + 1000;  // WM_APP + 1000

// Runs one start of the tool. `commandLine` is the command line without the
// program's own path. Returns the exit code, 0 or 1280.
int RunEntry(Os& os, const std::wstring& commandLine);
// The same with the run sequence's steps supplied by the caller.
int RunEntry(Os& os, RunSteps& steps, const std::wstring& commandLine);

// The owned single-instance mutex, or no handle.
std::unique_ptr<OsMutex> AcquireInstanceMutex(Os& os);
// Releases and closes it; no handle does nothing.
void ReleaseInstanceMutex(std::unique_ptr<OsMutex> mutex);
// Posts the finished message to the main user-interface window, if any.
void NotifyMainWindow(Os& os);

}  // namespace tav
