#include "standins/standin_common.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>

#include "os/command_line_args.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tav::standin {

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      uint32_t low = static_cast<uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    uint32_t c;
    size_t len;
    if (b < 0x80) { c = b; len = 1; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; len = 2; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; len = 3; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; len = 4; }
    else { out += static_cast<wchar_t>(0xFFFD); ++i; continue; }
    if (i + len > text.size()) { out += static_cast<wchar_t>(0xFFFD); break; }
    for (size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += len;
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
  }
  return out;
}

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
  std::string path = StateDir();
#ifdef _WIN32
  path += "\\" + logName;
  FILE* f = _wfopen(FromUtf8(path).c_str(), L"ab");
#else
  path += "/" + logName;
  FILE* f = std::fopen(path.c_str(), "ab");
#endif
  if (!f) return;
  std::string text = ToUtf8(line) + "\n";
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

}  // namespace tav::standin
