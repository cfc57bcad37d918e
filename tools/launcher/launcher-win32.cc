// Runs one command line exactly as written and reports the child's full
// 32-bit exit code. Wine's own launcher re-quotes the arguments it is given
// and reports exit codes above 255 as 1, so tests start the Windows builds
// through this program instead.
//
// Usage: launcher FILE
//   FILE holds the complete command line in UTF-8 (a trailing line break is
//   dropped). Prints "exit=<code>" and exits 0 when the child ran, prints
//   "start-failed=<GetLastError>" and exits 2 when it could not be started,
//   and exits 3 when FILE cannot be read.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "standins/standin_common.h"

namespace {

bool ReadFileText(const wchar_t* path, std::string& text) {
  FILE* file = _wfopen(path, L"rb");
  if (!file) return false;
  char chunk[4096];
  size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, count);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: launcher FILE\n");
    return 3;
  }
  std::string text;
  if (!ReadFileText(argv[1], text)) {
    std::fprintf(stderr, "launcher: cannot read the command line file\n");
    return 3;
  }
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();

  std::wstring commandLine = tav::standin::FromUtf8(text);
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    std::printf("start-failed=%lu\n", GetLastError());
    return 2;
  }
  CloseHandle(info.hThread);
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  std::printf("exit=%lu\n", static_cast<unsigned long>(code));
  return 0;
}
