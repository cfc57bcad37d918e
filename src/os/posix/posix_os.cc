// PosixOs: the core's Windows calls mapped onto POSIX, one building block per
// concept (posix_parts.h). Paths arrive in Windows form and leave in it. One
// class per facet of the Os; PosixOs holds one of each and the configuration
// they share.
#include "os/posix/posix_os.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <vector>

#include "os/path_strings.h"
#include "os/posix/posix_parts.h"
#include "os/posix/plan_store_cache.h"
#include "os/posix/posix_paths.h"
#include "os/posix/profile_file.h"
#include "os/posix/window_datagram.h"

namespace tav {
namespace {

// Every process counts as running in the console session.
constexpr uint32_t kConsoleSession = 1;

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A kernel object name as one file name element.
std::string ObjectFileName(const std::wstring& name) {
  std::string file = ToUtf8(name);
  for (char& c : file)
    if (c == '/' || c == '\\') c = '_';
  return file;
}

// A configured folder as the core sees it: no trailing separator, '\' form.
std::wstring FolderForCore(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return posix::WindowsPath(folder);
}

// The tool's own folder, native; empty when the executable cannot be named.
std::string ModuleFolder() {
  std::string executable = posix::ExecutablePath();
  return executable.empty() ? "" : posix::NativeFolderOf(executable);
}

class PosixSystem final : public OsSystem {
 public:
  explicit PosixSystem(const PosixConfig& config) : config_(config) {}

  // Only the character category: the core's character classification and
  // the task list's decoding use it, and nothing here reads the others; each
  // of them would load a locale file at every start.
  void SelectUserLocale() override { std::setlocale(LC_CTYPE, ""); }

  uint32_t ProcessId() override { return static_cast<uint32_t>(getpid()); }

  std::optional<uint32_t> SessionOf(uint32_t processId) override {
    pid_t pid = static_cast<pid_t>(processId);
    if (pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) return std::nullopt;
    return kConsoleSession;
  }

  uint32_t ConsoleSession() override { return kConsoleSession; }

  // The lock marks the mutex's existence and its ownership at once.
  MutexOpening CreateOwnedMutex(const std::wstring& name) override {
    return posix::OpenLockFileMutex(config_.RuntimeDir + "/" + ObjectFileName(name) + ".lock");
  }

  // The native build stands in for a later Windows version, never 5.1.
  bool IsWindowsXp() override { return false; }

  bool PostToWindowOfClass(const std::wstring& className, uint32_t message) override {
    return posix::PostWindowMessage(
        posix::WindowSocketPath(config_.RuntimeDir, ObjectFileName(className)), message);
  }

  std::chrono::milliseconds SteadyTime() override {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::chrono::milliseconds(int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000);
  }

  void WriteTrace(const std::wstring& line) override {
    if (config_.Trace) posix::WriteDebugLine(ToUtf8(line));
  }

  bool TraceWanted() override { return config_.Trace; }

  int64_t Now() override { return static_cast<int64_t>(std::time(nullptr)); }

  std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) override {
    if (seconds < std::numeric_limits<time_t>::min() ||
        seconds > std::numeric_limits<time_t>::max())
      return std::nullopt;
    const time_t reading = static_cast<time_t>(seconds);
    struct tm local;
    if (!localtime_r(&reading, &local)) return std::nullopt;
    return TimeOfDay{local.tm_hour, local.tm_min};
  }

 private:
  const PosixConfig& config_;
};

class PosixProcesses final : public OsProcesses {
 public:
  explicit PosixProcesses(const PosixConfig& config) : config_(config) {}

  std::unique_ptr<OsProcess> StartHidden(const std::wstring& program,
                                         const std::wstring& commandLine) override {
    const std::string native = program.empty() ? std::string() : posix::NativePath(program);
    if (!program.empty() && native.empty()) return nullptr;
    // The tool's folder is searched only for a program named without a path.
    return posix::StartHiddenProcess(native, commandLine,
                                     native.empty() ? ModuleFolder() : std::string());
  }

  std::wstring SystemFolder() override {
    if (config_.SystemDir.empty()) return L"";
    std::wstring folder = FolderForCore(config_.SystemDir);
    return folder.size() >= kMaxPath ? L"" : folder;
  }

 private:
  const PosixConfig& config_;
};

class PosixFiles final : public OsFiles {
 public:
  PosixFiles(const PosixConfig& config, posix::UnsyncedFiles& unsynced)
      : config_(config), unsynced_(unsynced) {}

  bool Exists(const std::wstring& path) override {
    return posix::FileExists(posix::NativePath(path));
  }

  PathKind KindOf(const std::wstring& path) override {
    const uint32_t attributes = posix::FileAttributes(posix::NativePath(path));
    if (attributes == kInvalidFileAttributes) return PathKind::kNothing;
    return attributes & kFileAttributeDirectory ? PathKind::kFolder : PathKind::kFile;
  }

  // POSIX cannot enforce share modes, so `sharing` changes nothing here. A
  // shared flock would need a second, readable descriptor (the held O_PATH
  // one cannot be locked) and would still bind only programs that ask for
  // locks; reading through a pin takes the text reader's shared lock anyway.
  FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath, PinSharing) override {
    return posix::PinNativeFile(posix::NativePath(path), finalPath);
  }

  FolderPin PinFolder(const std::wstring& path, FinalPathCheck finalPath) override {
    return posix::PinNativeFolder(posix::NativePath(path), finalPath);
  }

  FilePin CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) override {
    return posix::CreateUnicodeFile(posix::NativePath(path), finalPath, &unsynced_);
  }

  bool CreateFolder(const std::wstring& path) override {
    return posix::MakeDirectory(posix::NativePath(path));
  }

  // Like shell32 asked to create it: a missing folder is made.
  std::optional<std::wstring> SpecialFolderPath(SpecialFolder folder) override {
    const std::string& native =
        folder == SpecialFolder::kCommonAppData ? config_.CommonAppData : config_.LocalAppData;
    if (native.empty()) return std::nullopt;
    std::wstring path = FolderForCore(native);
    if (path.size() >= kMaxPath || !posix::MakeDirectories(native)) return std::nullopt;
    return path;
  }

  // Nothing where a MAX_PATH buffer would cut the path, as
  // GetModuleFileNameW fills it whole then. Converted once: every child
  // start asks for the tool's folder.
  std::optional<std::wstring> ProgramPath() override {
    if (programPath_.empty()) programPath_ = posix::WindowsPath(posix::ExecutablePath());
    if (programPath_.empty() || programPath_.size() >= kMaxPath) return std::nullopt;
    return programPath_;
  }

 private:
  const PosixConfig& config_;
  posix::UnsyncedFiles& unsynced_;  // the files it creates, until synced
  std::wstring programPath_;  // the running executable in Windows form, once read
};

class PosixProfile final : public OsProfile {
 public:
  explicit PosixProfile(posix::UnsyncedFiles& unsynced) : profiles_(&unsynced) {}

  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue, size_t bufferChars,
                          const std::wstring& path) override {
    return profiles_.GetString(posix::NativePath(path), section, key, defaultValue, bufferChars);
  }

  int32_t ReadInt(const std::wstring& section, const std::wstring& key, int32_t defaultValue,
                  const std::wstring& path) override {
    return profiles_.GetInt(posix::NativePath(path), section, key, defaultValue);
  }

  bool WriteString(const std::wstring& section, const std::wstring& key,
                   const std::wstring& value, const std::wstring& path) override {
    return profiles_.WriteString(posix::NativePath(path), section, key, value);
  }

  void Flush(const std::wstring& path) override { profiles_.Flush(posix::NativePath(path)); }

 private:
  posix::ProfileStore profiles_;  // the profile functions' cached files
};

class PosixPower final : public OsPower {
 public:
  explicit PosixPower(const PosixConfig& config) : config_(config) {}

  std::unique_ptr<OsPowerLibrary> OpenLibrary() override {
    return posix::LoadStandinPowerLibrary(planStores_.Load(PlanStorePath()));
  }

  std::optional<std::vector<std::wstring>> SchemeNames() override {
    return posix::EnumStandinSchemes(planStores_.Load(PlanStorePath()));
  }

 private:
  std::string PlanStorePath() const {
    std::string folder = config_.StandinDir.empty() ? ModuleFolder() : config_.StandinDir;
    return folder + "/" + standin::kPlanStoreFileName;
  }

  const PosixConfig& config_;
  posix::PlanStoreCache planStores_;  // the power functions' store, read again when changed
};

class PosixCom final : public OsCom {
 public:
  bool Start() override { return true; }
  void Stop() override {}
  std::optional<Guid> NewGuid() override { return posix::NewGuid(); }
  std::optional<std::wstring> GuidText(const Guid& guid) override { return posix::GuidText(guid); }
};

class PosixSleep final : public OsSleep {
 public:
  explicit PosixSleep(const PosixConfig& config) : config_(config) {}

  std::optional<SleepCapabilities> Capabilities() override {
    return posix::StandinSleepCapabilities(StandinFile(kSleepStateFileName));
  }
  bool EnableShutdownPrivilege() override { return true; }
  bool RequestSleep(SleepKind kind) override {
    return posix::StandinRequestSleep(StandinFile(kSleepStateFileName),
                                      StandinFile("powrprof.log"), kind == SleepKind::kHibernate);
  }
  WaiterStart StartWaiter(const std::wstring& arguments, std::chrono::milliseconds limit) override {
    return posix::StartWaiterProcess(WaiterObjects(), ToUtf8(arguments), limit);
  }
  WaiterSlotTaking TakeWaiterSlot() override { return posix::TakeWaiterLock(WaiterObjects()); }
  void KeepDisplayOn() override {}
  CancelResult CancelWaiter(std::chrono::milliseconds limit) override {
    return posix::CancelWaiterProcess(WaiterObjects(), limit);
  }
  std::optional<LocalDateTime> LocalTimeOf(int64_t seconds) override {
    return posix::LocalDateTimeOf(seconds);
  }

 private:
  static constexpr char kSleepStateFileName[] = "sleep-state.txt";

  std::string StandinFile(const char* name) const {
    return (config_.StandinDir.empty() ? ModuleFolder() : config_.StandinDir) + "/" + name;
  }
  std::string WaiterObjects() const {
    return config_.RuntimeDir + "/" + ObjectFileName(L"Global\\TAV_POWERSAVE_WAITER");
  }

  const PosixConfig& config_;
};

// The facets, made before the Os that points at them.
struct PosixFacetObjects {
  explicit PosixFacetObjects(const PosixConfig& config)
      : config_(config),
        system_(config_),
        processes_(config_),
        files_(config_, unsynced_),
        profile_(unsynced_),
        power_(config_),
        sleep_(config_) {}

  PosixConfig config_;
  // The files one facet makes and another writes, not yet synced.
  posix::UnsyncedFiles unsynced_;
  PosixSystem system_;
  PosixProcesses processes_;
  PosixFiles files_;
  PosixProfile profile_;
  PosixPower power_;
  PosixCom com_;
  PosixSleep sleep_;
};

class PosixOs final : private PosixFacetObjects, public Os {
 public:
  explicit PosixOs(const PosixConfig& config)
      : PosixFacetObjects(config),
        Os(OsFacets{&system_, &processes_, &files_, &profile_, &power_, &com_, &sleep_}) {}
};

}  // namespace

PosixConfig PosixConfig::FromEnvironment() {
  PosixConfig config;
  config.CommonAppData = EnvironmentValue("TAV_POSIX_COMMON_APPDATA");
  if (config.CommonAppData.empty()) config.CommonAppData = "/var/lib";
  config.LocalAppData = EnvironmentValue("TAV_POSIX_LOCAL_APPDATA");
  if (config.LocalAppData.empty()) config.LocalAppData = EnvironmentValue("XDG_DATA_HOME");
  if (config.LocalAppData.empty()) {
    std::string home = EnvironmentValue("HOME");
    if (!home.empty()) config.LocalAppData = home + "/.local/share";
  }
  config.RuntimeDir = EnvironmentValue("TAV_POSIX_RUNTIME_DIR");
  if (config.RuntimeDir.empty()) config.RuntimeDir = EnvironmentValue("XDG_RUNTIME_DIR");
  if (config.RuntimeDir.empty()) config.RuntimeDir = "/tmp";
  config.StandinDir = EnvironmentValue("TAV_STANDIN_DIR");
  config.Trace = EnvironmentValue("TAV_POWERSAVE_TRACE") == "1";
  config.SystemDir = EnvironmentValue("TAV_POSIX_SYSTEM_DIR");
  if (config.SystemDir.empty()) config.SystemDir = "/usr/bin";
  return config;
}

std::unique_ptr<Os> MakePosixOs(const PosixConfig& config) {
  return std::make_unique<PosixOs>(config);
}

}  // namespace tav
