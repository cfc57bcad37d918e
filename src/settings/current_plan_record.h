// The "Current" section: which profile was applied last and which plan
// carries it. Kept in "Setting.ini" of the data folder (with the plan GUID)
// and in "MySetting.ini" beside a profile that lies elsewhere.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

inline constexpr wchar_t kMachineRecordFileName[] = L"Setting.ini";
inline constexpr wchar_t kUserRecordFileName[] = L"MySetting.ini";
inline constexpr wchar_t kRecordSection[] = L"Current";
inline constexpr wchar_t kRecordProfilePathKey[] = L"ProfilePath";
inline constexpr wchar_t kRecordProfileNameKey[] = L"ProfileName";
inline constexpr wchar_t kRecordGuidKey[] = L"GUID";

// The file from which the "Current" section is read.
struct CurrentRecordFile {
  int MachineWide = 0;  // 1: Setting.ini in the data folder; 0: MySetting.ini
  std::wstring Folder;  // the data folder used; empty when it cannot be named
  std::wstring Path;    // full path of the record file
  bool Refused = false;  // failed a check when opened: neither read nor written
};

// Names the record file and clears its read-only attribute through the file
// opened as itself; a file that fails its checks is marked Refused and left
// alone.
CurrentRecordFile OpenCurrentRecordFile(Os& os, int machineWide);
// 1 with the "GUID" value in `guid` for the machine-wide file; 0 (guid
// unchanged) for the user's file or a refused one.
int ReadCurrentPlanGuid(Os& os, const CurrentRecordFile& recordFile, std::wstring& guid);
// Reads "ProfilePath" and "ProfileName" (empty when missing or refused);
// always 1.
int ReadCurrentProfile(Os& os, const CurrentRecordFile& recordFile, std::wstring& profilePath,
                       std::wstring& profileName);
// Records an applied profile; 1 when every key write succeeded. Each record
// file is written only while it is held open as verified (a refused or
// missing one fails its writes), in a data folder that is held too. Null
// `settingsPath` or `profileName`: 0, nothing written. Null `planGuid`: no
// "GUID" written.
int WriteCurrentPlanRecord(Os& os, const std::wstring* settingsPath,
                           const std::wstring* profileName, const std::wstring* planGuid);

}  // namespace tav
