// The command line: "/"-separated option tokens parsed into LaunchOptions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "os/os.h"

namespace tav {

struct LaunchOptions {
  std::wstring SettingsPath;        // "N:"
  std::wstring TaskListPath;        // "F:"
  bool SkipOnXp = false;            // "I"
  bool SuspendRequested = false;    // an accepted "S:"
  bool HibernateRequested = false;  // an accepted "H:"
  int32_t ActionHour = -1;          // "S:" and "H:"
  int32_t ActionMinute = -1;
  int32_t HandOffHour = -1;  // "T:"
  int32_t HandOffMinute = -1;
};

// Parses `commandLine` into `options`, which is always fully written; true
// when the command line is usable: a path option was seen and the settings
// path, or else the task list path, exists.
bool ReadLaunchOptions(Os& os, const std::wstring& commandLine, LaunchOptions& options);

// The token scan; returns true when at least one "N:" or "F:" token was seen.
bool ParseLaunchOptions(const std::wstring& commandLine, LaunchOptions& options);

// Reads the HHMM digits behind a token's two-character key into `hour` and
// `minute`, which are set to -1 first: a rejected token clears them too.
bool ParseTimeValue(std::wstring_view token, int32_t& hour, int32_t& minute);

}  // namespace tav
