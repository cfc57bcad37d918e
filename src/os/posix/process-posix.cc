// Child programs started the way CreateProcessW starts a command line without
// an application name: the first token names the program, found by the same
// search order, and the child gets no window, that is no terminal here.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "os/command_line_args.h"
#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/unique_fd.h"

extern char** environ;

namespace tav::posix {
namespace {

class ChildProcess : public OsProcess {
 public:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  // The child is always reaped, so it never stays a zombie; the tool waits
  // for every child anyway, so this only waits when a caller did not. A
  // child that outlived its killing (stuck in the kernel) is not waited for.
  ~ChildProcess() override {
    if (!killed_) Wait(std::nullopt);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Without a limit, a plain waitpid. With one, a pidfd becomes readable
  // when the child ends, so the wait costs no polling; where the kernel has
  // none (before 5.3), the child is polled.
  bool Wait(std::optional<std::chrono::milliseconds> limit) override {
    if (!limit) return Reap(0);
    if (reaped_) return true;
    const auto deadline = std::chrono::steady_clock::now() + *limit;
#ifdef SYS_pidfd_open
    const UniqueFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
    if (pidfd) {
      for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{pidfd.get(), POLLIN, 0};
        const int n = poll(&ready, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (n < 0 && errno == EINTR) continue;
        break;
      }
      return Reap(WNOHANG);
    }
#endif
    auto pause = std::chrono::milliseconds(1);
    while (!Reap(WNOHANG)) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(pause);
      if (pause < std::chrono::milliseconds(50)) pause *= 2;
    }
    return true;
  }

  // The child leads its own session and process group (POSIX_SPAWN_SETSID):
  // the whole group is ended, so no grandchild stays behind.
  // The wait for the killed child has a limit too: one stuck in an
  // uninterruptible sleep must not hold the tool.
  void Terminate() override {
    if (reaped_) return;
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    killed_ = true;
    Wait(kWaitAfterKilling);
  }

  // The exit status; a child ended by a signal reads as 128 + the signal's
  // number, as shells report it.
  std::optional<uint32_t> ExitCode() override {
    if (!reaped_) return std::nullopt;
    if (WIFEXITED(status_)) return static_cast<uint32_t>(WEXITSTATUS(status_));
    if (WIFSIGNALED(status_)) return 128u + static_cast<uint32_t>(WTERMSIG(status_));
    return std::nullopt;
  }

 private:
  // waitpid with `options`; true once the child has been reaped.
  bool Reap(int options) {
    if (reaped_) return true;
    pid_t done;
    while ((done = waitpid(pid_, &status_, options)) < 0 && errno == EINTR) {
    }
    if (done == pid_ || done < 0) reaped_ = true;  // < 0: not ours to wait for any more
    return reaped_;
  }

  static constexpr std::chrono::seconds kWaitAfterKilling{10};
  pid_t pid_;
  int status_ = 0;
  bool reaped_ = false;
  bool killed_ = false;
};

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The names tried for one program name: as given, then with ".exe" appended
// when its last element has no extension.
std::vector<std::wstring> CandidateNames(const std::wstring& name) {
  std::vector<std::wstring> names{name};
  size_t last = name.find_last_of(L"\\/");
  std::wstring fileName = last == std::wstring::npos ? name : name.substr(last + 1);
  if (fileName.find(L'.') == std::wstring::npos) names.push_back(name + L".exe");
  return names;
}

// RAII for the spawn descriptions.
struct SpawnSetup {
  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attributes;
  bool Ok = false;

  SpawnSetup() {
    if (posix_spawn_file_actions_init(&Actions) != 0) return;
    if (posix_spawnattr_init(&Attributes) != 0) {
      posix_spawn_file_actions_destroy(&Actions);
      return;
    }
    Ok = Prepare();
  }
  ~SpawnSetup() {
    if (!Ok) return;
    posix_spawnattr_destroy(&Attributes);
    posix_spawn_file_actions_destroy(&Actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

 private:
  bool Prepare() {
    bool good = posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
                posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
                posix_spawn_file_actions_adddup2(&Actions, 1, 2) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // No handle of the tool is inherited, whoever opened it.
    good = good && posix_spawn_file_actions_addclosefrom_np(&Actions, 3) == 0;
#endif
    // Every signal back to its default, whatever the tool inherited ignored.
    // The C library's spawn visits every signal in the child anyway; with
    // all of them named it sets each once instead of asking for each first,
    // so the full set is also the cheapest.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;  // a new session: no controlling terminal
#else
    flags |= POSIX_SPAWN_SETPGROUP;  // at least out of the terminal's process group
#endif
    good = good && posix_spawnattr_setsigmask(&Attributes, &none) == 0 &&
           posix_spawnattr_setsigdefault(&Attributes, &all) == 0 &&
           posix_spawnattr_setflags(&Attributes, flags) == 0;
    if (!good) {
      posix_spawnattr_destroy(&Attributes);
      posix_spawn_file_actions_destroy(&Actions);
    }
    return good;
  }
};

}  // namespace

std::string FindProgram(const std::wstring& name, const std::string& moduleFolder,
                        const std::string& searchPath) {
  if (name.empty()) return "";
  std::vector<std::wstring> names = CandidateNames(name);
  if (name.find_first_of(L"\\/") != std::wstring::npos) {
    for (const std::wstring& candidate : names) {
      std::string path = NativePath(candidate);
      if (IsRegularFile(path)) return path;
    }
    return "";
  }
  // The own folder first, then the search path; empty entries (the current
  // folder in POSIX shells) are not searched.
  std::vector<std::string> folders;
  if (!moduleFolder.empty()) folders.push_back(moduleFolder);
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(':', start);
    if (end == std::string::npos) end = searchPath.size();
    if (end > start) folders.push_back(searchPath.substr(start, end - start));
    start = end + 1;
  }
  for (const std::string& folder : folders) {
    for (const std::wstring& candidate : names) {
      std::string path = folder + (folder.back() == '/' ? "" : "/") + ToUtf8(candidate);
      if (IsRegularFile(path)) return path;
    }
  }
  return "";
}

std::unique_ptr<OsProcess> StartHiddenProcess(const std::string& applicationPath,
                                              const std::wstring& commandLine,
                                              const std::string& moduleFolder) {
  std::string program = applicationPath;
  // A given program is started as it is, without a search: posix_spawn
  // itself refuses a path that names nothing, a folder or no program.
  if (program.empty()) {
    const char* searchPath = getenv("PATH");
    program =
        FindProgram(SplitCommandLine(commandLine)[0], moduleFolder, searchPath ? searchPath : "");
  }
  if (program.empty()) return nullptr;

  // Split in UTF-8: one conversion of the line, not one per argument.
  std::vector<std::string> argumentBytes = SplitUtf8CommandLine(ToUtf8(commandLine));
  std::vector<char*> argv;
  for (std::string& argument : argumentBytes) argv.push_back(argument.data());
  argv.push_back(nullptr);

  // The same for every child, so made once.
  static const SpawnSetup setup;
  if (!setup.Ok) return nullptr;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &setup.Actions, &setup.Attributes, argv.data(),
                  environ) != 0)
    return nullptr;
  return std::make_unique<ChildProcess>(pid);
}

}  // namespace tav::posix
