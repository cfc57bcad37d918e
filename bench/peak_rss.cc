// Runs a program and writes its peak resident memory (KiB) to a file: the
// largest of the program and the children it waited for, as wait4 reports it.
//
// A process started from a large parent inherits that parent's resident size
// as its starting peak (vfork shares the parent's memory until exec; fork
// copies its page counts). This helper is small and static, so what it passes
// on is a few hundred KiB at most.
//
// Usage: bench_peak_rss <result file> <program> [arguments...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  FILE* out = std::fopen(argv[1], "w");
  if (!out) return 2;
  std::fprintf(out, "%ld\n", usage.ru_maxrss);
  std::fclose(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
