// The schtasks stand-in's behaviour, kept in a header so that the program and
// its tests share it.
//
// Registry file "schtasks-registry.txt" in the state folder: one task per
// line, "<name>\t<xml>\n", both fields escaped: "\" becomes "\\" and every
// byte below 0x20 (tab, line feed, NUL, ...) or 0x7F becomes "\xHH" (two
// upper-case hex digits); all other bytes stay as they are. The name is UTF-8;
// the XML is the task file's bytes as read (often UTF-16 with a BOM). Task
// names are compared without regard to ASCII case; a task registered again
// replaces the line of the old one in place.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "standins/standin_common.h"

namespace tav::standin {

struct RegisteredTask {
  std::string Name;  // UTF-8
  std::string Xml;   // raw bytes
};

inline std::string EscapeRegistryField(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
  return out;
}

// False on a malformed escape.
inline bool UnescapeRegistryField(std::string_view text, std::string& out) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && hex(text[i + 2]) >= 0 &&
               hex(text[i + 3]) >= 0) {
      out += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

// Malformed lines are dropped.
inline std::vector<RegisteredTask> ParseRegistry(std::string_view text) {
  std::vector<RegisteredTask> tasks;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    RegisteredTask task;
    if (UnescapeRegistryField(line.substr(0, tab), task.Name) &&
        UnescapeRegistryField(line.substr(tab + 1), task.Xml))
      tasks.push_back(std::move(task));
  }
  return tasks;
}

inline std::string FormatRegistry(const std::vector<RegisteredTask>& tasks) {
  std::string text;
  for (const auto& task : tasks)
    text += EscapeRegistryField(task.Name) + "\t" + EscapeRegistryField(task.Xml) + "\n";
  return text;
}

inline bool SameTaskName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
    char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

inline void PutTask(std::vector<RegisteredTask>& tasks, RegisteredTask task) {
  for (auto& existing : tasks) {
    if (SameTaskName(existing.Name, task.Name)) {
      existing = std::move(task);
      return;
    }
  }
  tasks.push_back(std::move(task));
}

// --- Files (paths are UTF-8 in this platform's form) ------------------------

inline std::FILE* OpenStandinFile(const std::string& path, const char* mode) {
#ifdef _WIN32
  return _wfopen(FromUtf8(path).c_str(), FromUtf8(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

inline bool ReadWholeFile(const std::string& path, std::string& out) {
  std::FILE* f = OpenStandinFile(path, "rb");
  if (!f) return false;
  out.clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

inline bool WriteWholeFile(const std::string& path, const std::string& text) {
  std::FILE* f = OpenStandinFile(path, "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

inline std::string RegistryPath(const std::string& stateDir) {
#ifdef _WIN32
  return stateDir + "\\schtasks-registry.txt";
#else
  return stateDir + "/schtasks-registry.txt";
#endif
}

inline bool IsSwitch(const std::wstring& arg, std::wstring_view name) {
  if (arg.size() != name.size()) return false;
  for (size_t i = 0; i < arg.size(); ++i) {
    wchar_t c = (arg[i] >= L'a' && arg[i] <= L'z') ? static_cast<wchar_t>(arg[i] - 32) : arg[i];
    if (c != name[i]) return false;
  }
  return true;
}

// Accepts exactly "/Create /TN <name> /XML <path> /F" (switches in any case)
// and records the task; 1 with the registry untouched for anything else or an
// unreadable XML file.
inline int RunSchtasks(const std::vector<std::wstring>& args, const std::string& stateDir) {
  if (args.size() != 6 || !IsSwitch(args[0], L"/CREATE") || !IsSwitch(args[1], L"/TN") ||
      !IsSwitch(args[3], L"/XML") || !IsSwitch(args[5], L"/F") || args[2].empty())
    return 1;
  RegisteredTask task{ToUtf8(args[2]), {}};
  if (!ReadWholeFile(NativePath(args[4]), task.Xml)) return 1;

  std::string path = RegistryPath(stateDir);
  std::string text;
  if (!ReadWholeFile(path, text)) text.clear();  // no registry yet
  std::vector<RegisteredTask> tasks = ParseRegistry(text);
  PutTask(tasks, std::move(task));
  return WriteWholeFile(path, FormatRegistry(tasks)) ? 0 : 1;
}

}  // namespace tav::standin
