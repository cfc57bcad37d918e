// The record files opened as themselves before the tool unprotects or writes
// them: each must be a plain file with one name whose final path is the one
// meant. "Setting.ini" lies in the machine-wide data folder, which must be
// held; a "MySetting.ini" lies beside the settings file, named by the folder
// where the settings file really lies (the user's own folders may be
// redirected on purpose: only the two files must agree), or in the user's
// data folder, which gets the checks of the machine-wide one.
#pragma once

#include <string>
#include <vector>

#include "os/os.h"
#include "settings/pinned_data_folder.h"
#include "settings/settings_file.h"

namespace tav {

// Which record file: which decides where it lies and the checks it gets.
enum class RecordFile {
  kMachine,  // "Setting.ini" in the machine-wide data folder, the only one with the plan GUID
  kUser,     // a "MySetting.ini" beside a settings file or in the user's data folder
};

// Opens the record file at `path` for use. For kDataFolder, `dataFolder`
// must be held (Pin) by the caller for as long as the file is used; a
// refused data folder refuses the file too. Traces a refusal.
FilePin HoldRecordFile(Os& os, const std::wstring& path, RecordFile scope,
                       const PinnedDataFolder& dataFolder);
// The same for a record file about to be written: one that does not exist is
// made (UTF-16 LE with a byte-order mark, so that a Japanese profile name
// survives any ANSI code page) through a handle that follows no link, and
// checked through it.
FilePin CreateOrHoldRecordFile(Os& os, const std::wstring& path, RecordFile scope,
                               const PinnedDataFolder& dataFolder);

// Whether the settings file lies directly in the data folder, by where both
// really lie (so that a short 8.3 spelling is the same folder as the long one).
bool LiesInDataFolder(Os& os, const SettingsLocation& settings,
                      const PinnedDataFolder& dataFolder);

// A record file that a run writes, and the checks it gets.
struct RecordTarget {
  std::wstring Path;  // empty when it does not fit or the data folder has no name
  RecordFile File;
};

// The record files that recording the settings file at `settingsPath`
// writes, in the order written: the data folder's "Setting.ini" for a
// settings file that lies in the data folder; otherwise "MySetting.ini"
// beside it, then the data folder's "Setting.ini".
std::vector<RecordTarget> RecordTargets(Os& os, const SettingsLocation& settings,
                                        const PinnedDataFolder& dataFolder);

// Checks, before any plan is changed, every record file that applying the
// settings file reads or writes, inside the data folder that the caller
// holds, and for a settings file elsewhere the user's data folder. False,
// with the reason traced, when one of them or a data folder is refused: the
// run must then end before it changes anything. Missing files are fine.
bool RecordFilesUsable(Os& os, const PinnedDataFolder& dataFolder,
                       const SettingsLocation& settings);

}  // namespace tav
