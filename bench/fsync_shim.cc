// Preloaded into the tool by the benchmark's break-down runs only, to show
// what its durable profile writes cost: fsync becomes a no-op, for every
// file (BENCH_SKIP_ALL_FSYNC) or for folders only.
#include <dlfcn.h>
#include <sys/stat.h>

extern "C" int fsync(int fd) {
#ifndef BENCH_SKIP_ALL_FSYNC
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) {
    using Fsync = int (*)(int);
    static Fsync real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return real ? real(fd) : 0;
  }
#endif
  (void)fd;
  return 0;
}
