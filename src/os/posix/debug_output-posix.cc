// The trace's debug output: standard error, one write per line.
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "os/posix/posix_parts.h"

namespace tav::posix {

void WriteDebugLine(const std::string& line) {
  // A reader that went away must not end the tool with SIGPIPE: the signal
  // is blocked for the write, and one that it raised is taken back.
  sigset_t pipe, previous;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &previous);
  const std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // closed, full or broken: the line is lost
    }
  }
  sigset_t pending;
  sigpending(&pending);
  if (sigismember(&pending, SIGPIPE) && !sigismember(&previous, SIGPIPE)) {
    const struct timespec now = {0, 0};
    sigtimedwait(&pipe, nullptr, &now);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace tav::posix
