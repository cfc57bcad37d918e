// The "Current" section: which profile was applied last and which plan
// carries it. Kept in "Setting.ini" of the data folder (with the plan GUID)
// and in "MySetting.ini" beside a profile that lies elsewhere.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "os/os.h"
#include "settings/pinned_data_folder.h"
#include "settings/record_file_checks.h"
#include "settings/settings_file.h"

namespace tav {

inline constexpr wchar_t kMachineRecordFileName[] = L"Setting.ini";
inline constexpr wchar_t kUserRecordFileName[] = L"MySetting.ini";
inline constexpr wchar_t kRecordSection[] = L"Current";
inline constexpr wchar_t kRecordProfilePathKey[] = L"ProfilePath";
inline constexpr wchar_t kRecordProfileNameKey[] = L"ProfileName";
inline constexpr wchar_t kRecordGuidKey[] = L"GUID";

// The file from which the "Current" section is read.
struct CurrentRecordFile {
  RecordFile Which = RecordFile::kUser;
  std::wstring Folder;   // the data folder used; empty when it cannot be named
  std::wstring Path;     // full path of the record file
  bool Refused = false;  // failed a check when opened: neither read nor written
  // The user's data folder, held while its record is read.
  std::shared_ptr<const PinnedDataFolder> HeldFolder;
};

// The profile that a record names; each part empty when missing.
struct RecordedProfile {
  std::wstring Path;
  std::wstring Name;
};

// Names the record file and clears its read-only attribute through the file
// opened as itself; a file (or the user's data folder) that fails its checks
// is marked Refused and left alone. `dataFolder`, held by the caller, is
// where the machine-wide file lies; the user's data folder is pinned here.
CurrentRecordFile OpenCurrentRecordFile(Os& os, const PinnedDataFolder& dataFolder,
                                        RecordFile which);
// The "GUID" value (empty when missing) of the machine-wide file; nothing for
// the user's file, which carries none, or a refused one.
std::optional<std::wstring> ReadCurrentPlanGuid(Os& os, const CurrentRecordFile& recordFile);
// Reads "ProfilePath" and "ProfileName" (empty when missing or refused).
RecordedProfile ReadCurrentProfile(Os& os, const CurrentRecordFile& recordFile);
// Records an applied profile; true when every key write succeeded. Every
// write is attempted even after one failed. Each record file is written only
// while it is held open as verified (a refused or missing one fails its
// writes), in `dataFolder`, which the caller holds until the last write.
// "ProfilePath" is the settings file as named; where its record lies follows
// from where it is reached. An empty path or name: false, nothing written.
bool WriteCurrentPlanRecord(Os& os, const PinnedDataFolder& dataFolder,
                            const SettingsLocation& settings, const std::wstring& profileName,
                            const std::wstring& planGuid);

}  // namespace tav
