// A throw-away installation of the native tool for end-to-end tests: the
// tool and its stand-ins in one folder, private data folders, a private
// runtime folder for the mutex and window socket, and the stand-ins' state.
// Nothing outside the sandbox's temporary root is touched.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <thread>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "os/utf8.h"

namespace tav::e2e {

namespace fs = std::filesystem;

class Sandbox {
 public:
  Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "tav-e2e.XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    root = mkdtemp(buf.data());
    bin = root + "/bin";
    common = root + "/common";
    local = root + "/local";
    runtime = root + "/runtime";
    state = root + "/state";
    work = root + "/work";
    for (const auto& d : {bin, common, local, runtime, state, work}) fs::create_directories(d);
    Install();
  }
  ~Sandbox() {
    std::error_code ec;
    // Make everything writable again so that the removal cannot fail.
    for (auto& e : fs::recursive_directory_iterator(root, ec))
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }

  std::string root, bin, common, local, runtime, state, work;

  std::string DataFolder() const { return common + "/VARENTO/TAV_POWERSAVE"; }
  std::string UserDataFolder() const { return local + "/VARENTO/TAV_POWERSAVE"; }

  // A path as the Windows-form command line names it: '/' becomes '\'.
  static std::string WinPath(std::string path) {
    for (auto& c : path)
      if (c == '/') c = '\\';
    return path;
  }

  // A path option of the command line: "/N:" and the quoted Windows-form path.
  static std::string Arg(const std::string& key, const std::string& path) {
    return "/" + key + ":\"" + WinPath(path) + "\"";
  }

  // Runs the tool with `commandLine` as its raw command line; returns the
  // exit status (-1 when it did not exit normally, -2 when it was still
  // running after `timeoutSeconds` and was killed).
  int Run(const std::string& commandLine) { return Wait(Start(commandLine), timeoutSeconds); }

  // Starts the tool without waiting for it (see Run); Wait collects it.
  pid_t Start(const std::string& commandLine) {
    pid_t pid = fork();
    if (pid == 0) {
      setenv("TAV_POSIX_COMMON_APPDATA", common.c_str(), 1);
      setenv("TAV_POSIX_LOCAL_APPDATA", local.c_str(), 1);
      setenv("TAV_POSIX_RUNTIME_DIR", runtime.c_str(), 1);
      setenv("TAV_STANDIN_DIR", state.c_str(), 1);
      setenv("PATH", "/usr/bin:/bin", 1);
      for (const auto& [k, v] : extraEnv) setenv(k.c_str(), v.c_str(), 1);
      int devnull = open("/dev/null", O_RDWR);
      dup2(devnull, 0);
      dup2(devnull, 1);
      if (stderrFd >= 0) dup2(stderrFd, 2);
      if (chdir(work.c_str()) != 0) _exit(126);
      if (beforeExec) beforeExec();
      std::string tool = bin + "/TAV_PowerSaveSetting";
      if (commandLine.empty()) {
        execl(tool.c_str(), tool.c_str(), static_cast<char*>(nullptr));
      } else {
        execl(tool.c_str(), tool.c_str(), commandLine.c_str(), static_cast<char*>(nullptr));
      }
      _exit(127);
    }
    return pid;
  }

  // The exit status of a started tool, as Run reports it; 0 seconds: no limit.
  static int Wait(pid_t pid, int seconds = 0) {
    if (pid < 0) return -1;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      const pid_t done = waitpid(pid, &status, seconds > 0 ? WNOHANG : 0);
      if (done == pid) break;
      if (done < 0 && errno != EINTR) return -1;
      if (done == 0 && std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -2;
      }
      if (done == 0) usleep(1000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Lines of a stand-in's log in the state folder (empty when missing).
  std::vector<std::string> Log(const std::string& name) const { return Lines(state + "/" + name); }

  // The lines of a text file as UTF-8; a file that starts with the UTF-16 LE
  // byte-order mark (records the tool creates) is decoded first.
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(TextAsUtf8(Read(path)));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static bool IsUtf16Le(const std::string& bytes) { return bytes.rfind("\xFF\xFE", 0) == 0; }
  static std::string TextAsUtf8(const std::string& bytes) {
    if (!IsUtf16Le(bytes)) return bytes;
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      uint32_t unit = static_cast<unsigned char>(bytes[i]) |
                      static_cast<unsigned char>(bytes[i + 1]) << 8;
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
        const uint32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                             static_cast<unsigned char>(bytes[i + 3]) << 8;
        if (low >= 0xDC00 && low < 0xE000) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      text += static_cast<wchar_t>(unit);
    }
    return tav::ToUtf8(text);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Write(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  static bool Exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

  std::vector<std::pair<std::string, std::string>> extraEnv;
  // The tool's standard error, when not -1 (else the test's own).
  int stderrFd = -1;
  // Runs in the tool's process just before it starts the tool (after the
  // environment and working folder are set): resource limits, namespaces.
  std::function<void()> beforeExec;
  // Run's limit in seconds; 0 waits for good.
  int timeoutSeconds = 0;

 private:
  void Install() {
    const std::string built = TAV_BINARY_DIR;
    Copy(built + "/TAV_PowerSaveSetting", bin + "/TAV_PowerSaveSetting");
    for (const char* name : {"powercfg.exe", "schtasks.exe", "TAV_PowerSaveSuspend.exe"})
      Copy(built + "/standins/" + name, bin + "/" + name);
  }
  static void Copy(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << "cannot copy " << from << ": " << ec.message();
  }
};

// The native exit status of a failed run (exit code 1280 on Windows).
inline constexpr int kFailedStatus = 5;

// The "Current" value of `key` in an INI file (empty when missing).
inline std::string CurrentValue(const std::string& path, const std::string& key) {
  bool inCurrent = false;
  for (std::string line : Sandbox::Lines(path)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inCurrent = line == "[Current]";
      continue;
    }
    if (inCurrent && line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

// HHMM of the local time, waiting first when the minute is about to end, so
// that a run started now still sees the same minute.
inline std::string CurrentHhmm() {
  for (;;) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (local.tm_sec <= 55) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "%02d%02d", local.tm_hour, local.tm_min);
      return buf;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
}

}  // namespace tav::e2e
