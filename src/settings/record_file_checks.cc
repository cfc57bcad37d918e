#include "settings/record_file_checks.h"

#include <algorithm>
#include <vector>

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

FilePin HoldRecordFile(Os& os, const std::wstring& path, RecordScope scope,
                       const PinnedDataFolder& dataFolder) {
  if (scope == RecordScope::kDataFolder && dataFolder.Refused()) {
    TraceRefusal(os, path, dataFolder.Reason());
    return FilePin{dataFolder.Check(), nullptr};
  }
  FilePin pin = os.PinFile(path, scope == RecordScope::kDataFolder ? FinalPathCheck::kCompare
                                                                   : FinalPathCheck::kSkip);
  if (IsRefused(pin.check)) TraceRefusal(os, path, L"it " + std::wstring(DescribeFileCheck(pin.check)));
  return pin;
}

std::vector<RecordTarget> RecordTargets(Os& os, const std::wstring& settingsPath,
                                        const PinnedDataFolder& dataFolder) {
  const std::wstring settingsFolder = FolderOfFile(os, settingsPath);
  // A data folder without a name has no "Setting.ini": nothing may go to a
  // file of that name in whatever folder is current.
  const auto machineRecordIn = [&](const std::wstring& folder) {
    return RecordTarget{
        dataFolder.Path().empty() ? L"" : os.PathCombine(folder, kMachineRecordFileName),
        RecordScope::kDataFolder};
  };
  if (LiesDirectlyIn(os, settingsPath, dataFolder.Path())) return {machineRecordIn(settingsFolder)};
  return {{os.PathCombine(settingsFolder, kUserRecordFileName), RecordScope::kUserFolder},
          machineRecordIn(dataFolder.Path())};
}

bool RecordFilesUsable(Os& os, const PinnedDataFolder& dataFolder,
                       const std::wstring& settingsPath) {
  if (dataFolder.Refused()) {
    Trace(os, L"record: not used: " + dataFolder.Reason());
    return false;
  }
  std::vector<RecordTarget> records = RecordTargets(os, settingsPath, dataFolder);
  // The data folder's record first, as the discovery reads it first.
  std::stable_partition(records.begin(), records.end(), [](const RecordTarget& record) {
    return record.scope == RecordScope::kDataFolder;
  });
  // The user's own record is read for a settings file outside the data folder.
  const bool elsewhere = std::any_of(
      records.begin(), records.end(),
      [](const RecordTarget& record) { return record.scope == RecordScope::kUserFolder; });
  if (elsewhere) {
    const std::wstring userFolder = GetUserDataFolder(os);
    if (!userFolder.empty())
      records.push_back(
          {os.PathCombine(userFolder, kUserRecordFileName), RecordScope::kUserFolder});
  }
  for (const RecordTarget& record : records) {
    if (record.path.empty()) continue;  // never written
    if (IsRefused(HoldRecordFile(os, record.path, record.scope, dataFolder).check)) return false;
  }
  return true;
}

}  // namespace tav
