// The record files opened as themselves before the tool unprotects or writes
// them. "Setting.ini" in the data folder must be a plain file with one name
// whose final path is the one meant, inside a data folder that is held; a
// "MySetting.ini" in the user's own folders gets the checks of the file
// itself only, since those folders may be redirected on purpose.
#pragma once

#include <string>
#include <vector>

#include "os/os.h"
#include "settings/pinned_data_folder.h"

namespace tav {

// Where a record file lies, which decides the checks it gets.
enum class RecordScope {
  kDataFolder,  // "Setting.ini" in the machine-wide data folder
  kUserFolder,  // a "MySetting.ini" beside a profile or in the user's data folder
};

// Opens the record file at `path` for use. For kDataFolder, `dataFolder`
// must be held (Pin) by the caller for as long as the file is used; a
// refused data folder refuses the file too. Traces a refusal.
FilePin HoldRecordFile(Os& os, const std::wstring& path, RecordScope scope,
                       const PinnedDataFolder& dataFolder);

// A record file that a run writes, and the checks it gets.
struct RecordTarget {
  std::wstring path;  // empty when it does not fit or the data folder has no name
  RecordScope scope;
};

// The record files that recording the settings file at `settingsPath`
// writes, in the order written: the data folder's "Setting.ini" for a
// settings file that lies in the data folder; otherwise "MySetting.ini"
// beside it, then the data folder's "Setting.ini".
std::vector<RecordTarget> RecordTargets(Os& os, const std::wstring& settingsPath,
                                        const PinnedDataFolder& dataFolder);

// Checks, before any plan is changed, every record file that applying the
// settings file at `settingsPath` reads or writes, inside the data folder
// that the caller holds. False, with the reason traced, when one of them or
// the data folder is refused: the run must then end before it changes
// anything. Missing files are fine.
bool RecordFilesUsable(Os& os, const PinnedDataFolder& dataFolder,
                       const std::wstring& settingsPath);

}  // namespace tav
