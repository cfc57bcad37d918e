// Which outcomes of opening a file or folder as itself (os/file_pin.h) refuse
// it for each use the tool makes of one. An outcome that is neither passed
// nor refused leaves the thing merely unusable: it behaves as a missing one
// always has (a record that cannot be written, a list that cannot be read).
#pragma once

#include "os/file_pin.h"

namespace tav {

enum class FileUse {
  kRecord,      // a record file, a data folder or the settings file
  kTaskList,    // the task registration list
  kTaskXml,     // an XML file named in the list
};

// True when `check` forbids `use` outright: the thing is there, but not as
// the plain file or folder that was meant.
bool IsRefused(FileCheck check, FileUse use = FileUse::kRecord);

}  // namespace tav
