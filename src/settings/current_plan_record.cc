#include "settings/current_plan_record.h"

#include "settings/data_folder.h"
#include "shared/file_attributes.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

constexpr size_t kTextBufferChars = 1024;

std::wstring ReadRecordValue(Os& os, const std::wstring& path, const wchar_t* key) {
  return os.GetPrivateProfileString(kRecordSection, key, L"", kTextBufferChars, path);
}

// A record file that the tool makes is made as UTF-16 LE with a byte-order
// mark before its first value is written: the profile functions then keep
// its text in Unicode, so a Japanese profile name survives any ANSI code
// page. An existing file keeps its encoding.
void CreateRecordFileIfMissing(Os& os, const std::wstring& path) {
  if (path.empty() || os.PathFileExists(path)) return;
  const bool created = os.CreateUnicodeTextFile(path);
  Trace(os, L"record: " + Quoted(path) + (created ? L" created as UTF-16" : L" cannot be created"));
}

// Writes one key of the "Current" section; a failure clears `allWritten`. An
// empty path is a record file name that did not fit into MAX_PATH: nothing
// is written anywhere else in its place.
void WriteRecordValue(Os& os, const std::wstring& path, const wchar_t* key,
                      const std::wstring& value, bool& allWritten) {
  if (path.empty()) {
    Trace(os, std::wstring(L"record: ") + key + L" not written: the record's path does not fit");
    allWritten = false;
    return;
  }
  const bool written = os.WritePrivateProfileString(kRecordSection, key, value, path);
  Trace(os, L"record: " + std::wstring(key) + L"=" + value + L" in " + Quoted(path) +
                (written ? L": written" : L": failed"));
  if (!written) allWritten = false;
}

}  // namespace

CurrentRecordFile OpenCurrentRecordFile(Os& os, RecordFile which) {
  CurrentRecordFile file;
  file.Which = which;
  const wchar_t* fileName;
  if (which == RecordFile::Machine) {
    file.Folder = GetDataFolder(os);
    fileName = kMachineRecordFileName;
  } else {
    file.Folder = GetUserDataFolder(os);
    fileName = kUserRecordFileName;
  }
  file.Path = os.PathCombine(file.Folder, fileName);
  // The record is rewritten later in the run; another program may have left
  // it read-only.
  if (os.PathFileExists(file.Path)) ClearReadOnlyAttribute(os, file.Path);
  return file;
}

std::optional<std::wstring> ReadCurrentPlanGuid(Os& os, const CurrentRecordFile& recordFile) {
  if (recordFile.Which != RecordFile::Machine) return std::nullopt;
  return ReadRecordValue(os, recordFile.Path, kRecordGuidKey);
}

RecordedProfile ReadCurrentProfile(Os& os, const CurrentRecordFile& recordFile) {
  RecordedProfile profile;
  profile.Path = ReadRecordValue(os, recordFile.Path, kRecordProfilePathKey);
  profile.Name = ReadRecordValue(os, recordFile.Path, kRecordProfileNameKey);
  return profile;
}

bool WriteCurrentPlanRecord(Os& os, const std::wstring& settingsPath,
                            const std::wstring& profileName, const std::wstring& planGuid) {
  // Nothing to record without both: no record names a nameless profile.
  if (settingsPath.empty() || profileName.empty()) return false;
  bool allWritten = true;
  const std::wstring machineFolder = GetDataFolder(os);

  // A profile in the data folder is recorded in its Setting.ini; one elsewhere
  // gets a MySetting.ini beside it, and the data folder's Setting.ini as well.
  const std::wstring settingsFolder = FolderOfFile(os, settingsPath);
  const bool inDataFolder = IsSameFolder(settingsFolder, machineFolder);
  std::wstring target =
      os.PathCombine(settingsFolder, inDataFolder ? kMachineRecordFileName : kUserRecordFileName);
  CreateRecordFileIfMissing(os, target);
  WriteRecordValue(os, target, kRecordProfilePathKey, settingsPath, allWritten);
  WriteRecordValue(os, target, kRecordProfileNameKey, profileName, allWritten);

  if (!inDataFolder) {
    os.FlushPrivateProfile(target);
    target = os.PathCombine(machineFolder, kMachineRecordFileName);
    CreateRecordFileIfMissing(os, target);
    WriteRecordValue(os, target, kRecordProfilePathKey, settingsPath, allWritten);
    WriteRecordValue(os, target, kRecordProfileNameKey, profileName, allWritten);
  }
  // Only the data folder's Setting.ini carries the plan GUID.
  WriteRecordValue(os, target, kRecordGuidKey, planGuid, allWritten);
  os.FlushPrivateProfile(target);
  return allWritten;
}

}  // namespace tav
