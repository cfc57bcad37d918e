// Stand-in for another instance of the tool holding its single-instance mutex
// on POSIX: takes the lock file that PosixOs uses for the mutex and keeps it
// until killed or for a given time.
//
// Usage: mutex_holder [--name NAME] [--lock PATH] [--seconds N] [--ready FILE]
//    or: mutex_holder READY SECONDS
//   --name     mutex name (default MUTEX_TAV_POWERSAVE_SETTING)
//   --lock     lock file (default <runtime dir>/<name>.lock, the runtime dir
//              being $TAV_POSIX_RUNTIME_DIR, else $XDG_RUNTIME_DIR, else /tmp)
//   --seconds  lets go after N seconds (default: holds until killed)
//   --ready    file created once the lock is held; "ready" is also printed
// Exits with 3 ("busy") when the lock is held elsewhere.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

std::string RuntimeDir() {
  for (const char* name : {"TAV_POSIX_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "/tmp";
}

}  // namespace

int main(int argc, char** argv) {
  std::string name = "MUTEX_TAV_POWERSAVE_SETTING", lockPath, readyPath;
  long seconds = -1;
  if (argc > 1 && std::string(argv[1]).rfind("--", 0) == 0) {
    for (int i = 1; i + 1 < argc; i += 2) {
      std::string option = argv[i];
      if (option == "--name") name = argv[i + 1];
      else if (option == "--lock") lockPath = argv[i + 1];
      else if (option == "--seconds") seconds = std::strtol(argv[i + 1], nullptr, 10);
      else if (option == "--ready") readyPath = argv[i + 1];
    }
  } else {
    if (argc > 1) readyPath = argv[1];
    if (argc > 2) seconds = std::strtol(argv[2], nullptr, 10);
  }
  if (lockPath.empty()) lockPath = RuntimeDir() + "/" + name + ".lock";

  int fd = open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::perror("mutex_holder: open");
    return 1;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    std::printf(errno == EWOULDBLOCK ? "busy\n" : "error\n");
    return 3;
  }

  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  if (!readyPath.empty()) {
    if (FILE* ready = std::fopen(readyPath.c_str(), "w")) std::fclose(ready);
  }
  std::printf("ready\n");
  std::fflush(stdout);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!stopRequested) {
    if (seconds >= 0 && std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  close(fd);
  return 0;
}
