// Wide-string helpers shared by the core: trimming, case-insensitive
// comparison and decimal formatting, all locale-aware through <cwctype>.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "os/time_of_day.h"

namespace tav {

// iswspace of the runtime's current locale.
bool IsWhiteSpace(wchar_t c);
// `text` without white space at either end: a view into `text`.
std::wstring_view TrimWhiteSpace(std::wstring_view text);
// Compares without regard to case: A-Z as a-z whatever the locale, other
// letters by towlower of the current locale.
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b);
// Removes every `c` at the end, then every `c` at the start.
std::wstring StripRepeated(std::wstring_view text, wchar_t leading, wchar_t trailing);
// %d of a signed 32-bit integer.
std::wstring DecimalText(int32_t value);
// %02d: at least two digits, a leading zero below 10.
std::wstring TwoDigitText(int32_t value);
// Exactly four ASCII digits "hhmm" as an hour and a minute, each 00-99 (no
// range test); nothing for anything else.
std::optional<TimeOfDay> FourDigitTime(std::wstring_view digits);
// `text` between double quotes, nothing escaped.
std::wstring Quoted(const std::wstring& text);
// The "/"-separated fields of the command line and of a task list line: skips
// a run of '/', then takes the text up to the next '/' or the end. `position`
// moves behind the '/' that ended the field. Empty when only separators, or
// nothing, remain.
std::wstring_view NextSlashField(std::wstring_view text, size_t& position);

}  // namespace tav
