// The command line without the program's own path, derived the way the
// Windows C runtime derives a GUI program's lpCmdLine: a first token that
// opens with a double quote ends at the next double quote, any other at the
// first blank or control character; the blanks and control characters after
// it are skipped. The rest is returned unchanged, quotes included.
#pragma once

#include <string>

namespace tav::win32 {

inline std::wstring CommandLineTail(const wchar_t* commandLine) {
  if (!commandLine) return std::wstring();
  const wchar_t* p = commandLine;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p > L' ') ++p;
  }
  while (*p && *p <= L' ') ++p;
  return std::wstring(p);
}

}  // namespace tav::win32
