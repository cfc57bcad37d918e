// The floor of a run: a minimal program that starts the same programs with
// the same arguments as the tool did, one after another, each with
// posix_spawn and waitpid, and nothing else.
//
// Usage: bench_floor <command record>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>

#include "command_record.h"

extern char** environ;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_floor <command record>\n");
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
  }
  return 0;
}
