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
// With --child-setup each child is started and awaited the way the tool must
// start a system program, and nothing more: the NUL device as its standard
// handles, no inherited descriptor, a session of its own, every signal at its
// default, and a wait with a time limit (a pidfd and poll). The tool's
// distance to this floor is its own work alone.
//
// Usage: bench_floor <command record> [--task-files] [--child-setup]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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
  for (size_t i = 1; i + 1 < command.Argv.size(); ++i) {
    if (command.Argv[i] != "/XML") continue;
    std::string path = command.Argv[i + 1];
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  }
  return "";
}

// The set-up of --child-setup.
struct ChildSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  ChildSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
  }
};

// Waits as the tool does: a pidfd polled with the time limit, then the reap.
void WaitWithLimit(pid_t pid) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    pollfd ready{pidfd, POLLIN, 0};
    while (poll(&ready, 1, 120000) < 0 && errno == EINTR) {
    }
    close(pidfd);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool taskFiles = false, childSetup = false, usage = argc < 2;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--task-files") == 0)
      taskFiles = true;
    else if (std::strcmp(argv[i], "--child-setup") == 0)
      childSetup = true;
    else
      usage = true;
  }
  if (usage) {
    std::fprintf(stderr, "usage: bench_floor <command record> [--task-files] [--child-setup]\n");
    return 2;
  }
  std::string text;
  std::vector<tav::bench::RecordedCommand> commands;
  if (!tav::bench::ReadWholeFile(argv[1], text) ||
      !tav::bench::ParseCommandRecord(text, commands)) {
    std::fprintf(stderr, "bench_floor: cannot read %s\n", argv[1]);
    return 2;
  }
  ChildSetup setup;
  for (tav::bench::RecordedCommand& command : commands) {
    std::vector<char*> arguments;
    for (std::string& argument : command.Argv) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, command.Program.c_str(), childSetup ? &setup.actions : nullptr,
                    childSetup ? &setup.attributes : nullptr, arguments.data(), environ) != 0)
      return 1;
    if (childSetup) {
      WaitWithLimit(pid);
    } else {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    if (!taskFiles) continue;
    const std::string xml = XmlFileOf(command);
    if (xml.empty() || chmod(xml.c_str(), 0644) != 0 || unlink(xml.c_str()) != 0) return 1;
  }
  return 0;
}
