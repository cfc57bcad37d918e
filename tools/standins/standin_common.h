// Shared by the stand-ins for the system programs that the tool drives: where
// they keep their state, their raw command line, and their logs.
#pragma once

#include <string>
#include <vector>

namespace tav::standin {

// TAV_STANDIN_DIR when set, else the folder of the running executable.
std::string StateDir();
// The command line as the process received it: GetCommandLineW on Windows;
// elsewhere argv quoted back the way Windows would split it.
std::wstring RawCommandLine(int argc, char** argv);
// The arguments after the program name, split by the Windows rules.
std::vector<std::wstring> Arguments(int argc, char** argv);
// Appends one line (UTF-8) to <StateDir>/<logName>.
void AppendLog(const std::string& logName, const std::wstring& line);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
// A path for this platform's file functions: on POSIX '\' becomes '/'.
std::string NativePath(const std::wstring& path);

}  // namespace tav::standin
