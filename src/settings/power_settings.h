// The power settings file: one profile of timeouts, brightness, times and
// task entries, read from an INI file with defaults and clamps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "os/os.h"
#include "os/time_of_day.h"

namespace tav {

struct TaskEntry {
  std::wstring TaskName;
  int32_t TaskId = -1;
};

// A value type: copying copies every field, strings included.
struct PowerSettings {
  std::wstring Version = L"2.00.000";
  std::wstring Name;
  int32_t DisplayAcTime = 0;
  int32_t DisplayDcTime = 0;
  int32_t DisplayAcBright = -1;
  int32_t DisplayDcBright = -1;
  int32_t HddAcTime = 0;
  int32_t HddDcTime = 0;
  int32_t SleepAcTime = 0;
  int32_t SleepDcTime = 0;
  int32_t StopAcTime = 0;
  int32_t StopDcTime = 0;
  int32_t StopCheckBox = 0;
  std::optional<TimeOfDay> SleepStartTime;  // none when missing or negative
  std::optional<TimeOfDay> ResumeTime;
  std::optional<TimeOfDay> StartTime;
  std::optional<TimeOfDay> EndTime;
  TaskEntry TaskSleep;          // section "TASK_SLEEP"
  TaskEntry StartTaskProfile;   // section "START_TASK_PROFILE"
  TaskEntry EndTaskProfile;     // section "END_TASK_PROFILE"
};

// Loads `settingsPath` into `out`, which is always written; true when the
// file exists with a non-empty "Version" and "Name".
bool LoadPowerSettings(Os& os, const std::wstring& settingsPath, PowerSettings& out);
// Fills `record` from the file; true when every key was read.
bool ReadPowerSettingsFile(Os& os, const std::wstring& settingsPath, PowerSettings& record);
void SetPowerSettingsDefaults(PowerSettings& record);
// The time rule: HHMM split into hour (at most 23) and minute (at most 59),
// none for a negative value; returns the value as normalised.
int32_t SplitTimeOfDay(int32_t value, std::optional<TimeOfDay>& time);
// The brightness rule: out of 0..100 gives 100, else rounded down to a
// multiple of 5.
int32_t NormalizeBrightness(int32_t value);

}  // namespace tav
