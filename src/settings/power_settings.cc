#include "settings/power_settings.h"

#include <algorithm>

#include "settings/setting_table.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

// INI text values are read through a buffer of this many characters.
constexpr size_t kTextBufferChars = 1024;

std::wstring ReadText(Os& os, const wchar_t* section, const wchar_t* key,
                      const std::wstring& path) {
  return os.profile().ReadString(section, key, L"", kTextBufferChars, path);
}

// An integer key, raised to `floor` when it reads below it (a missing key
// reads as `defaultValue` and passes through the same clamp).
int32_t ReadInt(Os& os, const wchar_t* section, const wchar_t* key, int32_t defaultValue,
                int32_t floor, const std::wstring& path) {
  int32_t value = os.profile().ReadInt(section, key, defaultValue, path);
  return value < floor ? floor : value;
}

void ReadTimeOfDay(Os& os, const wchar_t* section, const wchar_t* key, const std::wstring& path,
                   std::optional<TimeOfDay>& time) {
  SplitTimeOfDay(ReadInt(os, section, key, -1, -1, path), time);
}

void ReadTaskEntry(Os& os, const wchar_t* section, const std::wstring& path, TaskEntry& entry) {
  entry.TaskName = ReadText(os, section, L"TaskName", path);
  entry.TaskId = ReadInt(os, section, L"TaskId", -1, -1, path);
}

}  // namespace

bool LoadPowerSettings(Os& os, const std::wstring& settingsPath, PowerSettings& out) {
  PowerSettings local;
  SetPowerSettingsDefaults(local);
  // A failed read leaves defaults whose Name is empty; the Name decides.
  ReadPowerSettingsFile(os, settingsPath, local);
  out = local;
  if (!os.files().Exists(settingsPath)) {
    Trace(os, L"settings: " + Quoted(settingsPath) + L" does not exist");
  } else if (out.Version.empty()) {
    Trace(os, L"settings: " + Quoted(settingsPath) + L" has no [GENERAL] Version");
  } else if (out.Name.empty()) {
    Trace(os, L"settings: " + Quoted(settingsPath) + L" has no [GENERAL] Name");
  } else {
    Trace(os, L"settings: " + Quoted(settingsPath) + L" loaded: " + Quoted(out.Name) +
                  L", version " + out.Version);
  }
  return !out.Name.empty();
}

bool ReadPowerSettingsFile(Os& os, const std::wstring& path, PowerSettings& r) {
  if (!os.files().Exists(path)) return false;

  r.Version = ReadText(os, L"GENERAL", L"Version", path);
  if (r.Version.empty()) return false;
  r.Name = ReadText(os, L"GENERAL", L"Name", path);
  if (r.Name.empty()) return false;

  for (const NumericSetting& setting : kNumericSettings) {
    const int32_t value =
        ReadInt(os, setting.Section, setting.Key, setting.DefaultValue, setting.Floor, path);
    switch (setting.ClampRule) {
      case Clamp::kAtLeast: r.*setting.Field = value; break;
      case Clamp::kBrightness: r.*setting.Field = NormalizeBrightness(value); break;
      case Clamp::kFlag: r.*setting.Field = value == 1 ? 1 : 0; break;
    }
  }
  ReadTimeOfDay(os, L"SYSTEM", L"SleepStartTime", path, r.SleepStartTime);
  ReadTimeOfDay(os, L"SYSTEM", L"ResumeTime", path, r.ResumeTime);

  ReadTimeOfDay(os, L"SETTING", L"StartTime", path, r.StartTime);
  ReadTimeOfDay(os, L"SETTING", L"EndTime", path, r.EndTime);

  ReadTaskEntry(os, L"TASK_SLEEP", path, r.TaskSleep);
  ReadTaskEntry(os, L"START_TASK_PROFILE", path, r.StartTaskProfile);
  ReadTaskEntry(os, L"END_TASK_PROFILE", path, r.EndTaskProfile);
  return true;
}

void SetPowerSettingsDefaults(PowerSettings& record) { record = PowerSettings{}; }

int32_t SplitTimeOfDay(int32_t value, std::optional<TimeOfDay>& time) {
  time.reset();
  if (value < 0) return value;
  time = TimeOfDay{std::min(value / 100, 23), std::min(value % 100, 59)};
  return time->Hour * 100 + time->Minute;
}

int32_t NormalizeBrightness(int32_t value) {
  if (value < 0 || value > 100) return 100;
  return value / 5 * 5;
}

}  // namespace tav
