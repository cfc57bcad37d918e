// Top-level windows as datagram sockets: a window "exists" while a process
// has its socket bound, and a posted message is one datagram, sent without
// waiting so that a stuck receiver never blocks the tool.
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

#include "os/posix/posix_parts.h"
#include "os/posix/unique_fd.h"
#include "os/posix/window_datagram.h"

namespace tav::posix {

bool PostWindowMessage(const std::string& socketPath, uint32_t message) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  // Connecting fails where no live process has the socket bound: no window.
  if (!fd || connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return false;
  WindowDatagram datagram;
  datagram.Message = message;
  ssize_t sent;
  do {
    sent = send(fd.get(), &datagram, sizeof datagram, MSG_DONTWAIT | MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(sizeof datagram);
}

}  // namespace tav::posix
