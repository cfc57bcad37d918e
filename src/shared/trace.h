// The diagnostic trace: one line per decision and per child program, so that
// a support engineer can tell why a run ended as it did. It goes to the
// platform's debug output (Windows: OutputDebugStringW, always; the native
// build: standard error when TAV_POWERSAVE_TRACE=1) and never to a file. It
// changes nothing the tool does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "os/os.h"

namespace tav {

// Longest line handed to the platform; a longer one is cut and says so.
inline constexpr size_t kTraceLineLimit = 4096;

// The program names that start trace lines.
inline constexpr wchar_t kToolTraceName[] = L"TAV_PowerSaveSetting";
inline constexpr wchar_t kCompanionTraceName[] = L"TAV_PowerSaveSuspend";

// Emits "TAV_PowerSaveSetting[<pid>]: <text>".
void Trace(Os& os, const std::wstring& text);
// Emits "<program>[<pid>]: <text>".
void TraceAs(Os& os, const wchar_t* program, const std::wstring& text);

// "HH:MM" of a time of day; "--:--" for none.
std::wstring ClockText(const std::optional<TimeOfDay>& time);

}  // namespace tav
