// Splitting a Windows command line into arguments by the rules of
// CommandLineToArgvW, and the reverse (quoting arguments so that they split
// back unchanged). Used where the platform does not split for us.
#pragma once

#include <string>
#include <vector>

namespace tav {

// The first argument ends at the next double quote when it starts with one,
// else at the first blank or tab; no escapes apply to it. The others follow
// the backslash-and-quote rules of CommandLineToArgvW.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);
// Quotes one argument when it is empty or holds a blank, tab or double quote.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace tav
