#include "standins/standin_common.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>

#include "os/command_line_args.h"
#include "standins/plan_store/plan_store.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tav::standin {

std::string NativePath(const std::wstring& path) {
  std::string p = ToUtf8(path);
#ifndef _WIN32
  for (auto& c : p)
    if (c == '\\') c = '/';
#endif
  return p;
}

static std::string ExecutableFolder(const char* argv0) {
#ifdef _WIN32
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::string path = ToUtf8(std::wstring(buf, n));
  size_t cut = path.find_last_of("\\/");
#else
  std::string path;
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  path = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string(argv0 ? argv0 : "");
  size_t cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

std::string StateDir() {
  const char* dir = std::getenv("TAV_STANDIN_DIR");
  if (dir && *dir) return dir;
  return ExecutableFolder(nullptr);
}

std::string PlanStorePath() { return PlanStorePathIn(StateDir()); }

std::wstring RawCommandLine(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  return GetCommandLineW();
#else
  std::vector<std::wstring> args;
  for (int i = 0; i < argc; ++i) args.push_back(FromUtf8(argv[i]));
  return JoinCommandLine(args);
#endif
}

std::vector<std::wstring> Arguments(int argc, char** argv) {
  std::vector<std::wstring> all = SplitCommandLine(RawCommandLine(argc, argv));
  if (!all.empty()) all.erase(all.begin());
  return all;
}

void AppendLog(const std::string& logName, const std::wstring& line) {
  FILE* f = OpenUtf8Path(StateFilePath(StateDir(), logName), "ab");
  if (!f) return;
  std::string text = ToUtf8(line) + "\n";
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

}  // namespace tav::standin
