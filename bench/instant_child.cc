// A child program that ends at once: the bench installs it as powercfg.exe,
// schtasks and TAV_PowerSaveSuspend.exe, so that every child costs the same
// minimum and the tool's own work stands out.
//
// With TAV_BENCH_RECORD set (calibration runs only) it appends what it was
// started as to that file, so the floor and the script replay exactly the
// same programs and arguments: "<argc>\0<program path>\0<argv[0]>\0...".
//
// One command does more than end: "/SETACTIVE <guid>" sets the active plan
// in the plan store (TAV_STANDIN_DIR/plan-store.txt), because the tool reads
// it back to confirm the activation before it goes on. The floor replays the
// same command, so both sides pay for it.
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool ReadFile(const std::string& path, std::string& text) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[8192];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(fd);
  return n == 0;
}

// Replaces the value of the store's "active-plan = " line; a missing store is
// left missing (the default store has another plan active).
bool SetActivePlan(const char* guid) {
  const char* dir = std::getenv("TAV_STANDIN_DIR");
  if (dir == nullptr) return true;
  const std::string path = std::string(dir) + "/plan-store.txt";
  std::string text;
  if (!ReadFile(path, text)) return true;
  const std::string key = "\nactive-plan = ";
  const size_t start = text.find(key);
  if (start == std::string::npos) return false;
  const size_t value = start + key.size();
  const size_t end = text.find('\n', value);
  if (end == std::string::npos) return false;
  if (text.compare(value, end - value, guid) == 0) return true;
  text.replace(value, end - value, guid);
  const std::string temporary = path + ".bench-tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = close(fd) == 0 && ok;
  return ok && std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcasecmp(argv[1], "/SETACTIVE") == 0 && !SetActivePlan(argv[2])) return 1;
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
