// The command line: "/"-separated option tokens parsed into LaunchOptions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "os/os.h"
#include "os/time_of_day.h"

namespace tav {

struct LaunchOptions {
  std::wstring SettingsPath;        // "N:"
  std::wstring TaskListPath;        // "F:"
  bool SkipOnXp = false;            // "I"
  bool SuspendRequested = false;    // an accepted "S:"
  bool HibernateRequested = false;  // an accepted "H:"
  std::optional<TimeOfDay> ActionTime;   // "S:" and "H:"
  std::optional<TimeOfDay> HandOffTime;  // "T:", kept only with a request
};

// Parses `commandLine` into `options`, which is always fully written; true
// when the command line is usable: a path option was seen and the settings
// path, or else the task list path, exists.
bool ReadLaunchOptions(Os& os, const std::wstring& commandLine, LaunchOptions& options);

// The token scan; returns true when at least one "N:" or "F:" token was seen.
bool ParseLaunchOptions(const std::wstring& commandLine, LaunchOptions& options);

// The HHMM digits behind a token's two-character key (any four digits);
// none for a rejected token, which so also clears what an earlier one set.
std::optional<TimeOfDay> ParseTimeValue(std::wstring_view token);

}  // namespace tav
