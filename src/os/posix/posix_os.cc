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
// The system version that VerifyVersionInfoW compares against: never 5.1.
constexpr uint32_t kVersionMajor = 10;
constexpr uint32_t kVersionMinor = 0;

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A kernel object name as one file name element.
std::string ObjectFileName(const std::wstring& name) {
  std::string file = posix::ToUtf8(name);
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
  void SelectUserDefaultLocale() override { std::setlocale(LC_CTYPE, ""); }

  uint32_t GetCurrentProcessId() override { return static_cast<uint32_t>(getpid()); }

  bool ProcessIdToSessionId(uint32_t processId, uint32_t& sessionId) override {
    pid_t pid = static_cast<pid_t>(processId);
    if (pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) return false;
    sessionId = kConsoleSession;
    return true;
  }

  uint32_t GetActiveConsoleSessionId() override { return kConsoleSession; }

  std::unique_ptr<OsMutex> CreateMutex(const std::wstring& name, bool initialOwner,
                                       bool& alreadyExists) override {
    // The lock marks the mutex's existence, so it is taken whether or not
    // ownership was asked for; the tool always asks for it.
    std::string path = config_.runtimeDir + "/" + ObjectFileName(name) + ".lock";
    return posix::CreateLockFileMutex(path, alreadyExists);
  }

  bool VerifyVersionEquals(uint32_t major, uint32_t minor) override {
    return major == kVersionMajor && minor == kVersionMinor;
  }

  WindowRef FindWindowByClass(const std::wstring& className) override {
    std::string socket = posix::WindowSocketPath(config_.runtimeDir, ObjectFileName(className));
    if (!posix::HasWindowListener(socket)) return 0;
    for (size_t i = 0; i < windows_.size(); ++i)
      if (windows_[i] == socket) return i + 1;
    windows_.push_back(socket);
    return windows_.size();
  }

  bool PostMessage(WindowRef window, uint32_t message, uintptr_t wParam,
                   intptr_t lParam) override {
    if (window == 0 || window > windows_.size()) return false;
    return posix::SendWindowMessage(windows_[window - 1], message, wParam, lParam);
  }

  uint32_t GetTickCount() override {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
  }

  void DebugOutput(const std::wstring& line) override {
    if (!config_.trace) return;
    posix::WriteDebugLine(posix::ToUtf8(line));
  }

  bool IsDebugOutputOn() override { return config_.trace; }

  int64_t CurrentTime() override { return static_cast<int64_t>(std::time(nullptr)); }

  bool ToLocalTime(int64_t seconds, LocalTimeFields& fields) override {
    if (seconds < std::numeric_limits<time_t>::min() ||
        seconds > std::numeric_limits<time_t>::max())
      return false;
    time_t reading = static_cast<time_t>(seconds);
    struct tm local;
    if (!localtime_r(&reading, &local)) return false;
    fields.hour = local.tm_hour;
    fields.minute = local.tm_min;
    return true;
  }

 private:
  const PosixConfig& config_;
  std::vector<std::string> windows_;  // socket paths; a WindowRef is index + 1
};

class PosixProcesses final : public OsProcesses {
 public:
  explicit PosixProcesses(const PosixConfig& config) : config_(config) {}

  std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                 std::wstring& commandLine) override {
    const std::string program =
        applicationName.empty() ? std::string() : posix::NativePath(applicationName);
    if (!applicationName.empty() && program.empty()) return nullptr;
    // The tool's folder is searched only for a program named without a path.
    return posix::StartHiddenProcess(program, commandLine,
                                     program.empty() ? ModuleFolder() : std::string());
  }

  std::wstring GetSystemDirectory() override {
    if (config_.systemDir.empty()) return L"";
    std::wstring folder = FolderForCore(config_.systemDir);
    return folder.size() >= kMaxPath ? L"" : folder;
  }

 private:
  const PosixConfig& config_;
};

class PosixFiles final : public OsFiles {
 public:
  PosixFiles(const PosixConfig& config, posix::UnsyncedFiles& unsynced)
      : config_(config), unsynced_(unsynced) {}

  bool PathFileExists(const std::wstring& path) override {
    return posix::FileExists(posix::NativePath(path));
  }

  uint32_t GetFileAttributes(const std::wstring& path) override {
    return posix::FileAttributes(posix::NativePath(path));
  }

  bool IsRegularFile(const std::wstring& path) override {
    return posix::IsRegularFileItself(posix::NativePath(path));
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

  bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override {
    return posix::ChangeFileAttributes(posix::NativePath(path), attributes);
  }

  bool DeleteFile(const std::wstring& path) override {
    return posix::RemoveFile(posix::NativePath(path));
  }

  bool CreateDirectory(const std::wstring& path) override {
    return posix::MakeDirectory(posix::NativePath(path));
  }

  bool GetSpecialFolderPath(SpecialFolder folder, bool create, std::wstring& path) override {
    const std::string& native =
        folder == SpecialFolder::CommonAppData ? config_.commonAppData : config_.localAppData;
    if (native.empty()) return false;
    std::wstring result = FolderForCore(native);
    if (result.size() >= kMaxPath) return false;
    // Like shell32: a missing folder is made when asked for, else it fails.
    if (!(create ? posix::MakeDirectories(native) : posix::IsDirectory(native))) return false;
    path = result;
    return true;
  }

  uint32_t GetModuleFileName(std::wstring& path) override {
    // A MAX_PATH buffer: a longer path is cut and the whole buffer size
    // returned, as GetModuleFileNameW does.
    // Converted once: every child start asks for the tool's folder.
    if (modulePath_.empty()) modulePath_ = posix::WindowsPath(posix::ExecutablePath());
    path = modulePath_;
    if (path.size() < kMaxPath) return static_cast<uint32_t>(path.size());
    path.resize(kMaxPath - 1);
    return static_cast<uint32_t>(kMaxPath);
  }

  std::unique_ptr<OsTextFile> OpenTextFileForReading(const std::wstring& path) override {
    return posix::OpenTextFile(posix::NativePath(path));
  }

 private:
  const PosixConfig& config_;
  posix::UnsyncedFiles& unsynced_;  // the files it creates, until synced
  std::wstring modulePath_;  // the running executable in Windows form, once read
};

class PosixPaths final : public OsPaths {
 public:
  std::wstring PathCombine(const std::wstring& folder, const std::wstring& file) override {
    return PathStringCombine(folder, file);
  }

  bool PathAppend(std::wstring& path, const std::wstring& more) override {
    return PathStringAppend(path, more);
  }

  bool PathRemoveFileSpec(std::wstring& path) override { return PathStringRemoveFileSpec(path); }
};

class PosixProfile final : public OsProfile {
 public:
  explicit PosixProfile(posix::UnsyncedFiles& unsynced) : profiles_(&unsynced) {}

  std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& defaultValue, size_t bufferChars,
                                       const std::wstring& path) override {
    return profiles_.GetString(posix::NativePath(path), section, key, defaultValue, bufferChars);
  }

  int32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                               int32_t defaultValue, const std::wstring& path) override {
    return profiles_.GetInt(posix::NativePath(path), section, key, defaultValue);
  }

  bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value, const std::wstring& path) override {
    return profiles_.WriteString(posix::NativePath(path), section, key, value);
  }

  void FlushPrivateProfile(const std::wstring& path) override {
    profiles_.Flush(posix::NativePath(path));
  }

 private:
  posix::ProfileStore profiles_;  // the profile functions' cached files
};

class PosixPower final : public OsPower {
 public:
  explicit PosixPower(const PosixConfig& config) : config_(config) {}

  std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() override {
    return posix::LoadStandinPowerLibrary(planStores_.Load(PlanStorePath()));
  }

  std::optional<std::vector<std::wstring>> EnumPwrSchemes() override {
    return posix::EnumStandinSchemes(planStores_.Load(PlanStorePath()));
  }

 private:
  std::string PlanStorePath() const {
    std::string folder = config_.standinDir.empty() ? ModuleFolder() : config_.standinDir;
    return folder + "/" + standin::kPlanStoreFileName;
  }

  const PosixConfig& config_;
  posix::PlanStoreCache planStores_;  // the power functions' store, read again when changed
};

class PosixCom final : public OsCom {
 public:
  bool CoInitialize() override { return true; }
  void CoUninitialize() override {}
  bool CoCreateGuid(Guid& guid) override { return posix::NewGuid(guid); }

  bool StringFromClsid(const Guid& guid, std::wstring& text) override {
    text = posix::GuidText(guid);
    return true;
  }
};

// The facets, made before the Os that points at them.
struct PosixFacetObjects {
  explicit PosixFacetObjects(const PosixConfig& config)
      : config_(config),
        system_(config_),
        processes_(config_),
        files_(config_, unsynced_),
        profile_(unsynced_),
        power_(config_) {}

  PosixConfig config_;
  // The files one facet makes and another writes, not yet synced.
  posix::UnsyncedFiles unsynced_;
  PosixSystem system_;
  PosixProcesses processes_;
  PosixFiles files_;
  PosixPaths paths_;
  PosixProfile profile_;
  PosixPower power_;
  PosixCom com_;
};

class PosixOs final : private PosixFacetObjects, public Os {
 public:
  explicit PosixOs(const PosixConfig& config)
      : PosixFacetObjects(config),
        Os(OsFacets{&system_, &processes_, &files_, &paths_, &profile_, &power_, &com_}) {}
};

}  // namespace

PosixConfig PosixConfig::FromEnvironment() {
  PosixConfig config;
  config.commonAppData = EnvironmentValue("TAV_POSIX_COMMON_APPDATA");
  if (config.commonAppData.empty()) config.commonAppData = "/var/lib";
  config.localAppData = EnvironmentValue("TAV_POSIX_LOCAL_APPDATA");
  if (config.localAppData.empty()) config.localAppData = EnvironmentValue("XDG_DATA_HOME");
  if (config.localAppData.empty()) {
    std::string home = EnvironmentValue("HOME");
    if (!home.empty()) config.localAppData = home + "/.local/share";
  }
  config.runtimeDir = EnvironmentValue("TAV_POSIX_RUNTIME_DIR");
  if (config.runtimeDir.empty()) config.runtimeDir = EnvironmentValue("XDG_RUNTIME_DIR");
  if (config.runtimeDir.empty()) config.runtimeDir = "/tmp";
  config.standinDir = EnvironmentValue("TAV_STANDIN_DIR");
  config.trace = EnvironmentValue("TAV_POWERSAVE_TRACE") == "1";
  config.systemDir = EnvironmentValue("TAV_POSIX_SYSTEM_DIR");
  if (config.systemDir.empty()) config.systemDir = "/usr/bin";
  return config;
}

std::unique_ptr<Os> MakePosixOs(const PosixConfig& config) {
  return std::make_unique<PosixOs>(config);
}

}  // namespace tav
