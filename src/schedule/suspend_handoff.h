// Hands a due suspend or hibernate to the companion program.
#pragma once

#include <cstdint>

#include "os/os.h"

namespace tav {

inline constexpr wchar_t kSuspendCompanionName[] = L"TAV_PowerSaveSuspend.exe";

// Runs the companion twice: "/CANCEL", then "/SUSPEND" or "/HIBERNATE" with
// " /T:HHMM" when both time parts are 0 or more. True when both runs started.
bool HandOffSuspend(Os& os, bool hibernate, const std::optional<TimeOfDay>& time);

}  // namespace tav
