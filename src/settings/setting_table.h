// The numeric values of a power settings file, one row each: where the value
// is read, its default and clamp, the field it fills and how powercfg.exe
// sets it. Reading the file and both powercfg command sets walk this table
// in its order, so a new value is one new row.
#pragma once

#include <cstdint>

#include "settings/power_settings.h"

namespace tav {

// How a value read from the file is kept.
enum class Clamp {
  kAtLeast,     // raised to `floor` when it reads below it
  kBrightness,  // raised to `floor`, then the brightness rule (NormalizeBrightness)
  kFlag,        // 1 stays 1, anything else becomes 0
};

// How powercfg.exe receives a value.
enum class PowercfgSetting {
  kNone,             // not handed to powercfg.exe
  kChange,           // "/CHANGE <option> <value>": the active plan (GUID command set)
                    // or the dedicated scheme by name (Windows XP command set)
  kAcBrightnessIndex,  // "/SETACVALUEINDEX <plan> <display> <brightness> <value>" (GUID set only)
  kDcBrightnessIndex,  // "/SETDCVALUEINDEX ..." (GUID set only)
};

struct NumericSetting {
  const wchar_t* Section;
  const wchar_t* Key;
  int32_t DefaultValue;  // a missing key reads as this, then passes the clamp
  int32_t Floor;
  Clamp ClampRule;
  int32_t PowerSettings::*Field;
  PowercfgSetting Powercfg;
  const wchar_t* ChangeOption;  // for PowercfgSetting::kChange
};

inline constexpr NumericSetting kNumericSettings[] = {
    {L"DISPLAY", L"DisplayAcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::DisplayAcTime,
     PowercfgSetting::kChange, L"/monitor-timeout-ac"},
    {L"DISPLAY", L"DisplayDcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::DisplayDcTime,
     PowercfgSetting::kChange, L"/monitor-timeout-dc"},
    {L"DISPLAY", L"DisplayAcBright", -1, -1, Clamp::kBrightness, &PowerSettings::DisplayAcBright,
     PowercfgSetting::kAcBrightnessIndex, nullptr},
    {L"DISPLAY", L"DisplayDcBright", -1, -1, Clamp::kBrightness, &PowerSettings::DisplayDcBright,
     PowercfgSetting::kDcBrightnessIndex, nullptr},
    {L"HDD", L"HddAcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::HddAcTime,
     PowercfgSetting::kChange, L"/disk-timeout-ac"},
    {L"HDD", L"HddDcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::HddDcTime,
     PowercfgSetting::kChange, L"/disk-timeout-dc"},
    {L"SYSTEM", L"SleepAcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::SleepAcTime,
     PowercfgSetting::kChange, L"/standby-timeout-ac"},
    {L"SYSTEM", L"SleepDcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::SleepDcTime,
     PowercfgSetting::kChange, L"/standby-timeout-dc"},
    {L"SYSTEM", L"StopAcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::StopAcTime,
     PowercfgSetting::kChange, L"/hibernate-timeout-ac"},
    {L"SYSTEM", L"StopDcTime", 0, 0, Clamp::kAtLeast, &PowerSettings::StopDcTime,
     PowercfgSetting::kChange, L"/hibernate-timeout-dc"},
    {L"SYSTEM", L"StopCheckBox", 0, 0, Clamp::kFlag, &PowerSettings::StopCheckBox,
     PowercfgSetting::kNone, nullptr},
};

}  // namespace tav
