#include "settings/current_plan_record.h"

#include "settings/data_folder.h"
#include "settings/record_file_checks.h"
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

// Writes one key of the "Current" section; a failure clears `result`. An
// empty path is a record file name that did not fit into MAX_PATH: nothing
// is written anywhere else in its place.
// A record file that is not held (refused, or missing because it could not
// be made) is not written; the refusal was traced when it was opened.
void WriteRecordValue(Os& os, const std::wstring& path, const FilePin& held, const wchar_t* key,
                      const std::wstring& value, int& result) {
  if (path.empty()) {
    Trace(os, std::wstring(L"record: ") + key + L" not written: the record's path does not fit");
    result = 0;
    return;
  }
  if (!held.file) {
    if (!IsRefused(held.check))
      Trace(os, std::wstring(L"record: ") + key + L" not written: " + Quoted(path) + L" " +
                    DescribeFileCheck(held.check));
    result = 0;
    return;
  }
  const bool written = os.WritePrivateProfileString(kRecordSection, key, value, path);
  Trace(os, L"record: " + std::wstring(key) + L"=" + value + L" in " + Quoted(path) +
                (written ? L": written" : L": failed"));
  if (!written) result = 0;
}

// A record file opened as itself for the writes; a path that does not fit
// is left to WriteRecordValue, which says so.
FilePin Hold(Os& os, const std::wstring& path, RecordScope scope,
             const PinnedDataFolder& dataFolder) {
  if (path.empty()) return FilePin();
  return HoldRecordFile(os, path, scope, dataFolder);
}

}  // namespace

CurrentRecordFile OpenCurrentRecordFile(Os& os, int machineWide) {
  CurrentRecordFile file;
  file.MachineWide = machineWide;
  const wchar_t* fileName;
  if (machineWide != 0) {
    file.Folder = GetDataFolder(os);
    fileName = kMachineRecordFileName;
  } else {
    file.Folder = GetUserDataFolder(os);
    fileName = kUserRecordFileName;
  }
  file.Path = os.PathCombine(file.Folder, fileName);
  // The record is rewritten later in the run; another program may have left
  // it read-only.
  if (os.PathFileExists(file.Path)) {
    const PinnedDataFolder dataFolder =
        machineWide != 0 ? PinnedDataFolder::Pin(os) : PinnedDataFolder();
    FilePin held = HoldRecordFile(
        os, file.Path, machineWide != 0 ? RecordScope::kDataFolder : RecordScope::kUserFolder,
        dataFolder);
    if (held.file) held.file->ClearReadOnlyAttribute();
    file.Refused = IsRefused(held.check);
  }
  return file;
}

int ReadCurrentPlanGuid(Os& os, const CurrentRecordFile& recordFile, std::wstring& guid) {
  if (recordFile.MachineWide == 0 || recordFile.Refused) return 0;
  guid = ReadRecordValue(os, recordFile.Path, kRecordGuidKey);
  return 1;
}

int ReadCurrentProfile(Os& os, const CurrentRecordFile& recordFile, std::wstring& profilePath,
                       std::wstring& profileName) {
  if (recordFile.Refused) {
    profilePath.clear();
    profileName.clear();
    return 1;
  }
  profilePath = ReadRecordValue(os, recordFile.Path, kRecordProfilePathKey);
  profileName = ReadRecordValue(os, recordFile.Path, kRecordProfileNameKey);
  return 1;
}

int WriteCurrentPlanRecord(Os& os, const std::wstring* settingsPath,
                           const std::wstring* profileName, const std::wstring* planGuid) {
  if (settingsPath == nullptr || profileName == nullptr) return 0;
  int result = 1;
  // Held until the last write: neither folder can be swapped for a link.
  const PinnedDataFolder dataFolder = PinnedDataFolder::Pin(os);
  const std::wstring& machineFolder = dataFolder.Path();
  std::wstring settingsFolder = *settingsPath;
  os.PathRemoveFileSpec(settingsFolder);

  // A profile in the data folder is recorded in its Setting.ini; one elsewhere
  // gets a MySetting.ini beside it, and the data folder's Setting.ini as well.
  const bool inDataFolder = EqualsIgnoreCase(settingsFolder, machineFolder);
  std::wstring target =
      os.PathCombine(settingsFolder, inDataFolder ? kMachineRecordFileName : kUserRecordFileName);
  CreateRecordFileIfMissing(os, target);
  FilePin held = Hold(os, target, inDataFolder ? RecordScope::kDataFolder : RecordScope::kUserFolder,
                      dataFolder);
  WriteRecordValue(os, target, held, kRecordProfilePathKey, *settingsPath, result);
  WriteRecordValue(os, target, held, kRecordProfileNameKey, *profileName, result);

  if (!inDataFolder) {
    os.FlushPrivateProfile(target);
    held = FilePin();
    target = os.PathCombine(machineFolder, kMachineRecordFileName);
    CreateRecordFileIfMissing(os, target);
    held = Hold(os, target, RecordScope::kDataFolder, dataFolder);
    WriteRecordValue(os, target, held, kRecordProfilePathKey, *settingsPath, result);
    WriteRecordValue(os, target, held, kRecordProfileNameKey, *profileName, result);
  }
  // Only the data folder's Setting.ini carries the plan GUID.
  if (planGuid != nullptr) WriteRecordValue(os, target, held, kRecordGuidKey, *planGuid, result);
  os.FlushPrivateProfile(target);
  return result;
}

}  // namespace tav
