#include "settings/record_file_checks.h"

#include <algorithm>
#include <vector>

#include "os/path_strings.h"
#include "settings/current_plan_record.h"
#include "settings/data_folder.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

void TraceRefusal(Os& os, const std::wstring& path, const std::wstring& reason) {
  Trace(os, L"record: " + Quoted(path) + L" not used: " + reason);
}

}  // namespace

// Every record file's final path is compared with the path meant: the one
// beside the settings file is named by the folder where the settings file
// really lies, so the two must agree.
FilePin HoldRecordFile(Os& os, const std::wstring& path, RecordFile scope,
                       const PinnedDataFolder& dataFolder) {
  if (scope == RecordFile::kMachine && dataFolder.Refused()) {
    TraceRefusal(os, path, dataFolder.Reason());
    return FilePin{dataFolder.Check(), nullptr};
  }
  FilePin pin = os.files().PinFile(path, FinalPathCheck::kCompare, PinSharing::kReadWrite);
  if (IsRefused(pin.Check)) TraceRefusal(os, path, L"it " + std::wstring(DescribeFileCheck(pin.Check)));
  return pin;
}

FilePin CreateOrHoldRecordFile(Os& os, const std::wstring& path, RecordFile scope,
                               const PinnedDataFolder& dataFolder) {
  if (path.empty()) return FilePin();  // WriteRecordValue says why
  if (os.files().Exists(path) ||
      (scope == RecordFile::kMachine && dataFolder.Refused()))
    return HoldRecordFile(os, path, scope, dataFolder);
  FilePin pin = os.files().CreateUnicodeTextFile(path, FinalPathCheck::kCompare);
  if (pin.Created) {
    Trace(os, L"record: " + Quoted(path) + L" created as UTF-16");
  } else if (IsRefused(pin.Check)) {
    TraceRefusal(os, path, L"it " + std::wstring(DescribeFileCheck(pin.Check)));
  } else if (!pin.File) {
    Trace(os, L"record: " + Quoted(path) + L" cannot be created");
  }
  return pin;
}

bool LiesInDataFolder(Os& os, const SettingsLocation& settings,
                      const PinnedDataFolder& dataFolder) {
  return LiesDirectlyIn(os, settings.Reached, dataFolder.FinalPath());
}

std::vector<RecordTarget> RecordTargets(Os& os, const SettingsLocation& settings,
                                        const PinnedDataFolder& dataFolder) {
  // A data folder without a name has no "Setting.ini": nothing may go to a
  // file of that name in whatever folder is current.
  const std::wstring settingsFolder = FolderOfFile(os, settings.Reached);
  const auto machineRecordIn = [&](const std::wstring& folder) {
    return RecordTarget{
        dataFolder.Path().empty() ? L"" : PathStringCombine(folder, kMachineRecordFileName),
        RecordFile::kMachine};
  };
  if (LiesInDataFolder(os, settings, dataFolder)) return {machineRecordIn(settingsFolder)};
  return {{PathStringCombine(settingsFolder, kUserRecordFileName), RecordFile::kUser},
          machineRecordIn(dataFolder.Path())};
}

bool RecordFilesUsable(Os& os, const PinnedDataFolder& dataFolder,
                       const SettingsLocation& settings) {
  if (dataFolder.Refused()) {
    Trace(os, L"record: not used: " + dataFolder.Reason());
    return false;
  }
  std::vector<RecordTarget> records = RecordTargets(os, settings, dataFolder);
  // The data folder's record first, as the discovery reads it first.
  std::stable_partition(records.begin(), records.end(), [](const RecordTarget& record) {
    return record.File == RecordFile::kMachine;
  });
  // The user's own record is read for a settings file outside the data folder.
  const bool elsewhere = std::any_of(
      records.begin(), records.end(),
      [](const RecordTarget& record) { return record.File == RecordFile::kUser; });
  // Held while its record file is checked.
  PinnedDataFolder userFolder;
  if (elsewhere) {
    userFolder = PinnedDataFolder::Pin(os, SpecialFolder::kLocalAppData);
    if (userFolder.Refused()) {
      Trace(os, L"record: not used: the user's " + userFolder.Reason().substr(4));
      return false;
    }
    if (!userFolder.Path().empty())
      records.push_back(
          {PathStringCombine(userFolder.Path(), kUserRecordFileName), RecordFile::kUser});
  }
  for (const RecordTarget& record : records) {
    if (record.Path.empty()) continue;  // never written
    if (IsRefused(HoldRecordFile(os, record.Path, record.File, dataFolder).Check)) return false;
  }
  return true;
}

}  // namespace tav
