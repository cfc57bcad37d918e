// Shared by the stand-ins for the system programs that the tool drives: where
// they keep their state, their raw command line, and their logs.
#pragma once

#include <string>
#include <vector>

#include "os/utf8.h"

namespace tav::standin {

// TAV_STANDIN_DIR when set, else the folder of the running executable.
std::string StateDir();
// <StateDir()>/plan-store.txt
std::string PlanStorePath();
// The command line as the process received it: GetCommandLineW on Windows;
// elsewhere argv quoted back the way Windows would split it.
std::wstring RawCommandLine(int argc, char** argv);
// The arguments after the program name, split by the Windows rules.
std::vector<std::wstring> Arguments(int argc, char** argv);
// Appends one line (UTF-8) to <StateDir>/<logName>.
void AppendLog(const std::string& logName, const std::wstring& line);
using tav::FromUtf8;
using tav::ToUtf8;
// A path for this platform's file functions: on POSIX '\' becomes '/'.
std::string NativePath(const std::wstring& path);

}  // namespace tav::standin
