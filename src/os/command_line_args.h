// Splitting a Windows command line into arguments by the rules of
// CommandLineToArgvW, and the reverse (quoting arguments so that they split
// back unchanged). Used where the platform does not split for us.
#pragma once

#include <string>
#include <vector>

namespace tav {

// The first argument (the program) ends at the next double quote when it
// starts with one, else at the first blank or tab; no escapes apply to it.
// The others follow the backslash-and-quote rules of CommandLineToArgvW.
// An empty command line gives one empty argument (CommandLineToArgvW would
// return the path of the running program instead).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);
// The same rules over the command line's UTF-8 form: each argument comes out
// as the UTF-8 form of what SplitCommandLine gives (the rules split only at
// ASCII characters, which no multi-byte sequence contains).
std::vector<std::string> SplitUtf8CommandLine(const std::string& commandLine);

// Quotes one argument (not the first) when it is empty or holds a blank, tab
// or double quote, escaping quotes and the backslashes before them.
std::wstring QuoteArgument(const std::wstring& argument);

// Quotes a program name for the first place of a command line, where no
// escapes exist: in double quotes when it is empty or holds a blank or tab.
// A double quote cannot be represented there (nor can it be part of a
// Windows file name), so any is dropped.
std::wstring QuoteProgramName(const std::wstring& program);

// The command line that SplitCommandLine turns back into `arguments`: the
// program name by QuoteProgramName, the others by QuoteArgument, separated by
// single blanks. Empty for no arguments.
std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);

}  // namespace tav
