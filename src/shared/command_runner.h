// Runs one external program hidden and waits for its end.
#pragma once

#include <chrono>
#include <string>

#include "os/os.h"

namespace tav {

// How long a system program may run. A child still running then is ended and
// counts as not started: a console program that waits for an answer (schtasks
// asking for a password) would otherwise hold the tool, and its mutex, for
// good. Generous: powercfg.exe and schtasks normally end within seconds.
inline constexpr std::chrono::milliseconds kSystemProgramTimeLimit = std::chrono::minutes(2);

// True when the process was created (and has ended); false when none was
// created. The child's exit code is never read. `commandLine` is unchanged.
// The platform finds the program named by its first token; used for the
// companion, whose first token is its full path in double quotes.
bool RunProcessAndWait(Os& os, const std::wstring& commandLine);

// The same for a system program ("powercfg.exe", "schtasks") named by the
// first token of `commandLine`, started from the file SystemProgramPath
// gives; the command line reaches the program unchanged. False, starting
// nothing, when no trusted folder can be named. A program still running
// after kSystemProgramTimeLimit is ended and counts as not started (false).
bool RunSystemProgramAndWait(Os& os, const std::wstring& commandLine);
// The same with another time limit (tests).
bool RunSystemProgramAndWait(Os& os, const std::wstring& commandLine,
                             std::chrono::milliseconds timeLimit);

// Where a system program is started from: the file of that name in the
// tool's own folder when one is there (administrators put stand-ins or
// newer versions there), else the one in the system folder. Never the
// current folder: an elevated tool started from a folder that any user can
// write to would run a program planted there. ".exe" is added to a name
// without an extension, as the platform's own search does. Empty when
// neither folder can be named.
std::wstring SystemProgramPath(Os& os, const std::wstring& programName);

}  // namespace tav
