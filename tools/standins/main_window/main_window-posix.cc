// Stand-in for the product's main user-interface window on POSIX: binds the
// datagram socket that PosixOs treats as the window of its class and logs
// every message posted to it, one line each:
//   message=0x83E8 wParam=0 lParam=0
//
// Usage: main_window --log FILE [--socket PATH] [--seconds N] [--ready FILE]
//    or: main_window LOG READY SECONDS
//   --socket   default <runtime dir>/TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS.sock, the
//              runtime dir being $TAV_POSIX_RUNTIME_DIR, else $XDG_RUNTIME_DIR,
//              else /tmp
//   --seconds  ends after N seconds (default: runs until killed)
//   --ready    file created once the socket is bound; "ready" is also printed
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "os/posix/posix_os.h"
#include "os/posix/window_datagram.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

void AppendLine(const std::string& path, const std::string& line) {
  FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) return;
  std::fputs((line + "\n").c_str(), file);
  std::fclose(file);
}

std::string Describe(const char* bytes, ssize_t size) {
  if (size != static_cast<ssize_t>(sizeof(tav::posix::WindowDatagram)))
    return "malformed datagram of " + std::to_string(size) + " bytes";
  tav::posix::WindowDatagram datagram;
  std::memcpy(&datagram, bytes, sizeof datagram);
  return "message=" + Hex(datagram.Message) + " wParam=" + std::to_string(datagram.WParam) +
         " lParam=" + std::to_string(datagram.LParam);
}

}  // namespace

int main(int argc, char** argv) {
  std::string logPath, socketPath, readyPath;
  long seconds = -1;
  if (argc > 1 && std::string(argv[1]).rfind("--", 0) == 0) {
    for (int i = 1; i + 1 < argc; i += 2) {
      std::string option = argv[i];
      if (option == "--log") logPath = argv[i + 1];
      else if (option == "--socket") socketPath = argv[i + 1];
      else if (option == "--seconds") seconds = std::strtol(argv[i + 1], nullptr, 10);
      else if (option == "--ready") readyPath = argv[i + 1];
    }
  } else {
    if (argc > 1) logPath = argv[1];
    if (argc > 2) readyPath = argv[2];
    if (argc > 3) seconds = std::strtol(argv[3], nullptr, 10);
  }
  if (logPath.empty()) {
    std::fprintf(stderr,
                 "usage: main_window --log FILE [--socket PATH] [--seconds N] [--ready FILE]\n");
    return 2;
  }
  if (socketPath.empty())
    socketPath = tav::posix::WindowSocketPath(tav::PosixConfig::FromEnvironment().RuntimeDir, "TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS");

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof address.sun_path) {
    std::fprintf(stderr, "main_window: socket path too long\n");
    return 2;
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  unlink(socketPath.c_str());  // a socket left behind by a killed stand-in
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("main_window: bind");
    return 1;
  }

  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  if (!readyPath.empty()) AppendLine(readyPath, "ready");
  std::printf("ready\n");
  std::fflush(stdout);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!stopRequested) {
    if (seconds >= 0 && std::chrono::steady_clock::now() >= deadline) break;
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 100) <= 0) continue;
    char bytes[256];
    ssize_t size = recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
    if (size < 0) continue;
    AppendLine(logPath, Describe(bytes, size));
  }
  // A window takes every message already in its queue before it goes: a
  // stop request that arrives just after a post must not lose that post.
  char bytes[256];
  for (ssize_t size; (size = recv(fd, bytes, sizeof bytes, MSG_DONTWAIT)) >= 0;) {
    AppendLine(logPath, Describe(bytes, size));
  }
  close(fd);
  unlink(socketPath.c_str());
  return 0;
}
