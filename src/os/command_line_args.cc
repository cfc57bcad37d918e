#include "os/command_line_args.h"

namespace tav {
namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
  std::vector<std::wstring> args;
  size_t i = 0;
  const size_t n = line.size();

  // The program name: no escapes.
  std::wstring first;
  if (i < n && line[i] == L'"') {
    ++i;
    while (i < n && line[i] != L'"') first += line[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !IsBlank(line[i])) first += line[i++];
  }
  args.push_back(first);

  while (i < n && IsBlank(line[i])) ++i;
  while (i < n) {
    std::wstring arg;
    int quotes = 0;  // odd while inside quotes
    size_t backslashes = 0;
    while (i < n) {
      wchar_t c = line[i];
      if (IsBlank(c) && quotes == 0) break;
      if (c == L'\\') {
        arg += c;
        ++backslashes;
        ++i;
        continue;
      }
      if (c == L'"') {
        if (backslashes % 2 == 0) {
          arg.resize(arg.size() - backslashes / 2);
          ++quotes;
        } else {
          arg.resize(arg.size() - backslashes / 2 - 1);
          arg += L'"';
        }
        ++i;
        backslashes = 0;
        // A run of quotes: every third one is a literal quote.
        while (i < n && line[i] == L'"') {
          if (++quotes == 3) {
            arg += L'"';
            quotes = 0;
          }
          ++i;
        }
        if (quotes == 2) quotes = 0;
        continue;
      }
      arg += c;
      backslashes = 0;
      ++i;
    }
    args.push_back(arg);
    while (i < n && IsBlank(line[i])) ++i;
  }
  return args;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
    return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
      out += L'"';
    } else {
      out.append(backslashes, L'\\');
      out += c;
    }
    backslashes = 0;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

}  // namespace tav
