// A child program that ends at once: the bench installs it as powercfg.exe,
// schtasks and TAV_PowerSaveSuspend.exe, so that every child costs the same
// minimum and the tool's own work stands out.
//
// With TAV_BENCH_RECORD set (calibration runs only) it appends what it was
// started as to that file, so the floor and the script replay exactly the
// same programs and arguments: "<argc>\0<program path>\0<argv[0]>\0...".
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const char* record = std::getenv("TAV_BENCH_RECORD");
  if (record == nullptr) return 0;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n < 0) return 1;
  self[n] = '\0';
  std::string entry = std::to_string(argc);
  entry += '\0';
  entry.append(self, static_cast<size_t>(n));
  entry += '\0';
  for (int i = 0; i < argc; ++i) {
    entry += argv[i];
    entry += '\0';
  }
  int fd = open(record, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return 1;
  bool ok = write(fd, entry.data(), entry.size()) == static_cast<ssize_t>(entry.size());
  close(fd);
  return ok ? 0 : 1;
}
