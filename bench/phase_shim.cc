// Preloaded into the tool and the floor by the benchmark's phase runs only:
// it notes the time (CLOCK_MONOTONIC, as the harness's steady clock) when the
// process is loaded, when each child is started and when it is reaped, and
// when the process ends, and appends them as one line to the file named by
// TAV_BENCH_PHASES:
//   L <loaded> s <spawn called> S <spawn returned> W <reaped> ... E <ending>
// in microseconds. The harness splits a run's time into phases from it.
//
// Linked against the C library alone, as the sync shims: no C++ runtime in
// the measured process.
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kMarks = 512;
double times[kMarks];
char kinds[kMarks];
int count = 0;

using Spawn = int (*)(pid_t*, const char*, const posix_spawn_file_actions_t*,
                      const posix_spawnattr_t*, char* const[], char* const[]);
using WaitPid = pid_t (*)(pid_t, int*, int);
// Looked up at the first call; plain pointers, not function statics, whose
// guards would pull the C++ runtime in.
Spawn realSpawn = nullptr;
WaitPid realWaitPid = nullptr;

void Mark(char kind) {
  if (count >= kMarks) return;
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  times[count] = now.tv_sec * 1e6 + now.tv_nsec / 1e3;
  kinds[count++] = kind;
}

__attribute__((constructor)) void Loaded() { Mark('L'); }

__attribute__((destructor)) void Ending() {
  Mark('E');
  const char* path = getenv("TAV_BENCH_PHASES");
  if (!path) return;
  static char line[kMarks * 24 + 2];
  size_t used = 0;
  for (int i = 0; i < count && used + 24 < sizeof line; ++i)
    used += static_cast<size_t>(
        snprintf(line + used, sizeof line - used, "%c %.1f ", kinds[i], times[i]));
  line[used++] = '\n';
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (write(fd, line, used) < 0) {
  }
  close(fd);
}

}  // namespace

extern "C" int posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                           const posix_spawnattr_t* attributes, char* const argv[],
                           char* const envp[]) {
  if (!realSpawn) realSpawn = reinterpret_cast<Spawn>(dlsym(RTLD_NEXT, "posix_spawn"));
  Mark('s');
  const int result = realSpawn ? realSpawn(pid, path, actions, attributes, argv, envp) : -1;
  Mark('S');
  return result;
}

extern "C" pid_t waitpid(pid_t pid, int* status, int options) {
  if (!realWaitPid) realWaitPid = reinterpret_cast<WaitPid>(dlsym(RTLD_NEXT, "waitpid"));
  const pid_t reaped = realWaitPid ? realWaitPid(pid, status, options) : -1;
  if (reaped > 0) Mark('W');
  return reaped;
}
