// The Os facet of child processes: the system programs the tool starts.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace tav {

// A started child process. Destroying it closes the process handle.
class OsProcess {
 public:
  virtual ~OsProcess() = default;
  // WaitForSingleObject(process, INFINITE); the result is not reported.
  virtual void WaitForExit() = 0;
  // GetExitCodeProcess after the wait, for the diagnostic trace only: no
  // result of the tool ever depends on it. False when it cannot be read.
  virtual bool GetExitCode(uint32_t& exitCode) = 0;
  // WaitForSingleObject(process, limit): true when the child has ended
  // within `limit`, false when it is still running.
  virtual bool WaitForExitWithin(std::chrono::milliseconds limit) = 0;
  // Ends the child and whatever it started (its job; only the child itself
  // where it could not be given one), then waits a bounded time for it to go.
  virtual void Terminate() = 0;
};

class OsProcesses {
 public:
  // CreateProcessW(applicationName, commandLine, ..., STARTF_USESHOWWINDOW /
  // SW_HIDE): no handle when no process was created. The child's standard
  // input, output and error are the NUL device, so a question it asks reads
  // end-of-file; it inherits no other handle of the tool (where the system
  // cannot name the one handle to inherit, it inherits none and has no
  // standard handles from the tool). It runs in a job of its own, where the
  // system allows one, that ends what it left running when the child's
  // object is destroyed; it keeps the caller's current folder. An empty
  // `applicationName` (NULL for the platform) lets it find the program named
  // by the first token of `commandLine`; a given one is started as it is,
  // without a search.
  // `commandLine` is the caller's private writable buffer; the platform may
  // change it.
  virtual std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                         std::wstring& commandLine) = 0;
  // GetSystemDirectoryW: the folder of the system's own programs; empty when
  // it cannot be named or does not fit into MAX_PATH.
  virtual std::wstring GetSystemDirectory() = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsProcesses() = default;
};

}  // namespace tav
