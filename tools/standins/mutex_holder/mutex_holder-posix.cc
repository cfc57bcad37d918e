// Stand-in for another instance of the tool holding its single-instance mutex
// on POSIX: creates the mutex through the POSIX layer itself, so it takes the
// very lock file the tool would, and keeps it until killed or for a given time.
//
// Usage: mutex_holder [--name NAME] [--seconds N] [--ready FILE]
//    or: mutex_holder READY SECONDS
//   --name     mutex name (default MUTEX_TAV_POWERSAVE_SETTING)
//   --seconds  lets go after N seconds (default: holds until killed)
//   --ready    file created once the lock is held; "ready" is also printed
// Exits with 3 ("busy") when the lock is held elsewhere.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "os/posix/posix_os.h"
#include "os/utf8.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
  std::string name = "MUTEX_TAV_POWERSAVE_SETTING", readyPath;
  long seconds = -1;
  if (argc > 1 && std::string(argv[1]).rfind("--", 0) == 0) {
    for (int i = 1; i + 1 < argc; i += 2) {
      std::string option = argv[i];
      if (option == "--name") name = argv[i + 1];
      else if (option == "--seconds") seconds = std::strtol(argv[i + 1], nullptr, 10);
      else if (option == "--ready") readyPath = argv[i + 1];
    }
  } else {
    if (argc > 1) readyPath = argv[1];
    if (argc > 2) seconds = std::strtol(argv[2], nullptr, 10);
  }
  std::unique_ptr<tav::Os> os = tav::MakePosixOs(tav::PosixConfig::FromEnvironment());
  const tav::MutexOpening opening = os->system().CreateOwnedMutex(tav::FromUtf8(name));
  if (!opening.Mutex) {
    std::printf("error\n");
    return 1;
  }
  if (opening.Existed) {
    std::printf("busy\n");
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
  opening.Mutex->Release();
  return 0;
}
