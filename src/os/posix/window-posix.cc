// Top-level windows as datagram sockets: a window "exists" while a process
// has its socket bound, and a posted message is one datagram, sent without
// waiting so that a stuck receiver never blocks the tool.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/posix/posix_parts.h"
#include "os/posix/window_datagram.h"

namespace tav::posix {
namespace {

// A datagram socket connected to `socketPath`, or -1.
int ConnectTo(const std::string& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool HasWindowListener(const std::string& socketPath) {
  int fd = ConnectTo(socketPath);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool SendWindowMessage(const std::string& socketPath, uint32_t message, uintptr_t wParam,
                       intptr_t lParam) {
  int fd = ConnectTo(socketPath);
  if (fd < 0) return false;
  WindowDatagram datagram;
  datagram.message = message;
  datagram.wParam = wParam;
  datagram.lParam = lParam;
  ssize_t sent;
  do {
    sent = send(fd, &datagram, sizeof datagram, MSG_DONTWAIT | MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  close(fd);
  return sent == static_cast<ssize_t>(sizeof datagram);
}

}  // namespace tav::posix
