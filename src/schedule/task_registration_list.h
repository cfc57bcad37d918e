// The task registration list: one "TN:"/"XML:" entry per line, each
// registered through schtasks; used XML files and the list are deleted.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

inline constexpr size_t kListLineBufferChars = 1024;

// False when the file cannot be opened (nothing touched); true when every
// line was handled and the list's deletion attempted.
bool ProcessTaskRegistrationList(Os& os, const std::wstring& listPath);
// Runs `schtasks /Create /TN "<name>" /XML "<path>" /F`; true when it could
// be started. An empty or unquotable argument: false and nothing run.
bool RegisterScheduledTask(Os& os, const std::wstring& xmlPath, const std::wstring& taskName);

}  // namespace tav
