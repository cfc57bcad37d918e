// Preloaded into the tool by the benchmark's break-down runs only, to show
// what its durable profile writes cost: fsync becomes a no-op, for every
// file (BENCH_SKIP_ALL_FSYNC) or for folders only.
#include <dlfcn.h>
#include <sys/stat.h>

#ifndef BENCH_SKIP_ALL_FSYNC
namespace {
using Fsync = int (*)(int);
// Looked up at the first call. A plain pointer, not a function's static: its
// guard would pull the C++ runtime into the tool with the shim.
Fsync realFsync = nullptr;
}  // namespace
#endif

extern "C" int fsync(int fd) {
#ifndef BENCH_SKIP_ALL_FSYNC
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) {
    if (!realFsync) realFsync = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return realFsync ? realFsync(fd) : 0;
  }
#endif
  (void)fd;
  return 0;
}
