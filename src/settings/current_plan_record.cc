#include "settings/current_plan_record.h"

#include "os/path_strings.h"
#include "settings/data_folder.h"
#include "settings/record_file_checks.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

constexpr size_t kTextBufferChars = 1024;

std::wstring ReadRecordValue(Os& os, const std::wstring& path, const wchar_t* key) {
  return os.profile().ReadString(kRecordSection, key, L"", kTextBufferChars, path);
}

// Writes one key of the "Current" section; a failure clears `allWritten`. An
// empty path is a record file name that did not fit into MAX_PATH, or the
// data folder's record when that folder has no name: nothing is written
// anywhere else in its place.
// A record file that is not held (refused, or missing because it could not
// be made) is not written; the refusal was traced when it was opened.
void WriteRecordValue(Os& os, const std::wstring& path, const FilePin& held, const wchar_t* key,
                      const std::wstring& value, bool& allWritten) {
  if (path.empty()) {
    Trace(os, std::wstring(L"record: ") + key +
                  L" not written: the record's path does not fit or its folder has no name");
    allWritten = false;
    return;
  }
  if (!held.File) {
    if (!IsRefused(held.Check))
      Trace(os, std::wstring(L"record: ") + key + L" not written: " + Quoted(path) + L" " +
                    DescribeFileCheck(held.Check));
    allWritten = false;
    return;
  }
  const bool written = os.profile().WriteString(kRecordSection, key, value, path);
  if (os.system().TraceWanted())  // the line is built only when someone reads it
    Trace(os, L"record: " + std::wstring(key) + L"=" + value + L" in " + Quoted(path) +
                  (written ? L": written" : L": failed"));
  if (!written) allWritten = false;
}

}  // namespace

CurrentRecordFile OpenCurrentRecordFile(Os& os, const PinnedDataFolder& dataFolder,
                                        RecordFile which) {
  CurrentRecordFile file;
  file.Which = which;
  const bool machine = which == RecordFile::kMachine;
  if (machine) {
    file.Folder = dataFolder.Path();
  } else {
    auto userFolder = std::make_shared<const PinnedDataFolder>(
        PinnedDataFolder::Pin(os, SpecialFolder::kLocalAppData));
    file.Folder = userFolder->Path();
    file.Refused = userFolder->Refused();
    file.HeldFolder = std::move(userFolder);
  }
  file.Path = PathStringCombine(file.Folder, machine ? kMachineRecordFileName : kUserRecordFileName);
  if (file.Refused) return file;
  // The record is rewritten later in the run; another program may have left
  // it read-only.
  if (os.files().Exists(file.Path)) {
    FilePin held = HoldRecordFile(
        os, file.Path, machine ? RecordFile::kMachine : RecordFile::kUser, dataFolder);
    if (held.File) held.File->ClearReadOnlyAttribute();
    file.Refused = IsRefused(held.Check);
  }
  return file;
}

std::optional<std::wstring> ReadCurrentPlanGuid(Os& os, const CurrentRecordFile& recordFile) {
  if (recordFile.Which != RecordFile::kMachine || recordFile.Refused) return std::nullopt;
  return ReadRecordValue(os, recordFile.Path, kRecordGuidKey);
}

RecordedProfile ReadCurrentProfile(Os& os, const CurrentRecordFile& recordFile) {
  RecordedProfile profile;
  if (recordFile.Refused) return profile;
  profile.Path = ReadRecordValue(os, recordFile.Path, kRecordProfilePathKey);
  profile.Name = ReadRecordValue(os, recordFile.Path, kRecordProfileNameKey);
  return profile;
}

bool WriteCurrentPlanRecord(Os& os, const PinnedDataFolder& dataFolder,
                            const SettingsLocation& settings, const std::wstring& profileName,
                            const std::wstring& planGuid) {
  const std::wstring& settingsPath = settings.Named;
  // Nothing to record without both: no record names a nameless profile.
  if (settingsPath.empty() || profileName.empty()) return false;
  bool allWritten = true;
  // A profile in the data folder is recorded in its Setting.ini; one elsewhere
  // gets a MySetting.ini beside it, and the data folder's Setting.ini as well.
  for (const RecordTarget& target : RecordTargets(os, settings, dataFolder)) {
    const FilePin held = CreateOrHoldRecordFile(os, target.Path, target.File, dataFolder);
    WriteRecordValue(os, target.Path, held, kRecordProfilePathKey, settingsPath, allWritten);
    WriteRecordValue(os, target.Path, held, kRecordProfileNameKey, profileName, allWritten);
    // Only the data folder's Setting.ini carries the plan GUID.
    if (target.File == RecordFile::kMachine)
      WriteRecordValue(os, target.Path, held, kRecordGuidKey, planGuid, allWritten);
    if (!target.Path.empty()) os.profile().Flush(target.Path);
  }
  return allWritten;
}

}  // namespace tav
