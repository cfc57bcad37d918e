// The task registration list: one "TN:"/"XML:" entry per line, each
// registered through schtasks; used XML files and the list are deleted.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

inline constexpr size_t kListLineBufferChars = 1024;

// 0: `listPath` null or the file cannot be opened (nothing touched). 1: every
// line handled and the list's deletion attempted.
int ProcessTaskRegistrationList(Os& os, const std::wstring* listPath);
// Runs `schtasks /Create /TN "<name>" /XML "<path>" /F`; non-zero when it
// could be started. Null arguments: 0 and nothing run.
int RegisterScheduledTask(Os& os, const std::wstring* xmlPath, const std::wstring* taskName);

}  // namespace tav
