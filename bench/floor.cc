// The floor of a run: a minimal program that starts the same programs with
// the same arguments as the tool did, one after another, each with
// posix_spawn and waitpid, and nothing else.
//
// With --task-files it also does the file work that a task list entry
// requires of the tool once its registration program has ended: the XML file
// named after "/XML" made writable and deleted, one system call each (chmod,
// unlink). The tool's own checks of the file (exists, a plain file) are its
// cost, not the floor's.
//
// Usage: bench_floor <command record> [--task-files]
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "command_record.h"

extern char** environ;

namespace {

// The native path after "/XML" in a registration's arguments; empty if none.
std::string XmlFileOf(const tav::bench::RecordedCommand& command) {
  for (size_t i = 1; i + 1 < command.argv.size(); ++i) {
    if (command.argv[i] != "/XML") continue;
    std::string path = command.argv[i + 1];
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const bool taskFiles = argc == 3 && std::strcmp(argv[2], "--task-files") == 0;
  if (argc != 2 && !taskFiles) {
    std::fprintf(stderr, "usage: bench_floor <command record> [--task-files]\n");
    return 2;
  }
  std::string text;
  std::vector<tav::bench::RecordedCommand> commands;
  if (!tav::bench::ReadWholeFile(argv[1], text) ||
      !tav::bench::ParseCommandRecord(text, commands)) {
    std::fprintf(stderr, "bench_floor: cannot read %s\n", argv[1]);
    return 2;
  }
  for (tav::bench::RecordedCommand& command : commands) {
    std::vector<char*> arguments;
    for (std::string& argument : command.argv) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, command.program.c_str(), nullptr, nullptr, arguments.data(),
                    environ) != 0)
      return 1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!taskFiles) continue;
    const std::string xml = XmlFileOf(command);
    if (xml.empty() || chmod(xml.c_str(), 0644) != 0 || unlink(xml.c_str()) != 0) return 1;
  }
  return 0;
}
