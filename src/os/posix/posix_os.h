// The POSIX implementation of Os: the native Linux build's stand-in for the
// Windows platform, with the same semantics for every call the core makes.
//
// Paths reach it in Windows form: '\' is turned into '/' at every file
// system call, and paths that it hands back use '\'.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

// Where the POSIX layer keeps what Windows keeps in system places.
struct PosixConfig {
  std::string CommonAppData;  // CSIDL_COMMON_APPDATA: /var/lib
  std::string LocalAppData;   // CSIDL_LOCAL_APPDATA: $XDG_DATA_HOME or ~/.local/share
  std::string RuntimeDir;     // lock file and window socket: $XDG_RUNTIME_DIR or /tmp
  std::string StandinDir;     // plan store of the power stand-ins; empty: the module folder
  std::string SystemDir;      // GetSystemDirectoryW, the system programs: /usr/bin
  bool Trace = false;         // debug output on standard error: TAV_POWERSAVE_TRACE=1

  // The defaults above, each overridable for tests by TAV_POSIX_COMMON_APPDATA,
  // TAV_POSIX_LOCAL_APPDATA, TAV_POSIX_RUNTIME_DIR, TAV_STANDIN_DIR and
  // TAV_POSIX_SYSTEM_DIR; the trace is on with TAV_POWERSAVE_TRACE=1.
  static PosixConfig FromEnvironment();
};

std::unique_ptr<Os> MakePosixOs(const PosixConfig& config);

}  // namespace tav
