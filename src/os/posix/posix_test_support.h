// Helpers for the POSIX layer's tests: a private temporary folder, files in
// it (plan stores among them), and scoped changes of the locale and the
// environment.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "os/posix/plan_store_format.h"
#include "os/posix/posix_os.h"

namespace tav::posix::testing {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tav-posix.XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char* made = mkdtemp(buffer.data());
    path_ = made ? made : "";
  }
  ~TempDir() {
    std::error_code ec;
    for (auto& entry : fs::recursive_directory_iterator(path_, ec))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // A PosixConfig whose every folder lies in here.
  PosixConfig Config() const {
    PosixConfig config;
    config.CommonAppData = path_ + "/common";
    config.LocalAppData = path_ + "/local";
    config.RuntimeDir = path_;
    config.StandinDir = path_;
    return config;
  }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; }
  chmod(path.c_str(), mode);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A plan store file as the stand-ins save it: a temporary file renamed over
// `path`.
inline bool SavePlanStore(const std::string& path, const standin::PlanStore& store) {
  const std::string temporary = path + ".tmp";
  WriteFile(temporary, standin::FormatPlanStore(store));
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline mode_t ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Polls `done` for up to `seconds`.
inline bool WaitFor(const std::function<bool()>& done, double seconds = 5) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Sets LC_ALL for the scope; `ok()` is false when the locale is missing.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_;
};

// Sets (or, with nullopt, unsets) one environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (saved_) setenv(name_.c_str(), saved_->c_str(), 1);
    else unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace tav::posix::testing
