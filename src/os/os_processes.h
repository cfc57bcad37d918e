// The Os facet of child processes: the system programs the tool starts.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tav {

// A started child process. Destroying it closes the process handle.
class OsProcess {
 public:
  virtual ~OsProcess() = default;
  // Waits until the child has ended, at most `limit` when one is given:
  // true once it has ended, false while it still runs.
  virtual bool Wait(std::optional<std::chrono::milliseconds> limit) = 0;
  // The exit code of the ended child, for the diagnostic trace only: no
  // result of the tool ever depends on it.
  virtual std::optional<uint32_t> ExitCode() = 0;
  // Ends the child and whatever it started (its job; only the child itself
  // where it could not be given one), then waits a bounded time for it to go.
  virtual void Terminate() = 0;
};

class OsProcesses {
 public:
  // Starts `commandLine` with its window hidden (CreateProcessW with
  // STARTF_USESHOWWINDOW / SW_HIDE, on a private copy of the command line):
  // nothing when no process was created. `program` is the file started, as
  // it is, without a search; empty lets the platform find the program named
  // by the first token of `commandLine`. The child's standard input, output
  // and error are the NUL device, so a question it asks reads end-of-file;
  // it inherits no other handle of the tool (where the system cannot name
  // the one handle to inherit, it inherits none and has no standard handles
  // from the tool). It runs in a job of its own, where the system allows
  // one, that ends what it left running when the child's object is
  // destroyed; it keeps the caller's current folder.
  virtual std::unique_ptr<OsProcess> StartHidden(const std::wstring& program,
                                                 const std::wstring& commandLine) = 0;
  // The folder of the system's own programs (GetSystemDirectoryW); empty
  // when it cannot be named or does not fit into MAX_PATH.
  virtual std::wstring SystemFolder() = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsProcesses() = default;
};

}  // namespace tav
