#include "settings/record_file_checks.h"

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

bool RecordFilesUsable(Os& os, const std::wstring& settingsPath) {
  const PinnedDataFolder dataFolder = PinnedDataFolder::Pin(os);
  if (dataFolder.Refused()) {
    Trace(os, L"record: not used: " + dataFolder.Reason());
    return false;
  }
  const std::wstring settingsFolder = FolderOfFile(os, settingsPath);
  const bool inDataFolder = IsSameFolder(settingsFolder, dataFolder.Path());

  struct Candidate {
    std::wstring path;
    RecordScope scope;
  };
  std::vector<Candidate> candidates;
  if (!dataFolder.Path().empty())
    candidates.push_back({os.PathCombine(dataFolder.Path(), kMachineRecordFileName),
                          RecordScope::kDataFolder});
  if (!inDataFolder) {
    candidates.push_back({os.PathCombine(settingsFolder, kUserRecordFileName),
                          RecordScope::kUserFolder});
    const std::wstring userFolder = GetUserDataFolder(os);
    if (!userFolder.empty())
      candidates.push_back({os.PathCombine(userFolder, kUserRecordFileName),
                            RecordScope::kUserFolder});
  }
  for (const Candidate& candidate : candidates) {
    if (candidate.path.empty()) continue;  // does not fit: it is never written
    if (IsRefused(HoldRecordFile(os, candidate.path, candidate.scope, dataFolder).check))
      return false;
  }
  return true;
}

}  // namespace tav
