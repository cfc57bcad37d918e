#include "os/command_line_args.h"

namespace tav {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// One argument after the first, starting at `i` (not a blank); leaves `i`
// on the blank or end that closed it.
std::wstring ReadArgument(const std::wstring& line, size_t& i) {
  std::wstring arg;
  int quotes = 0;  // non-zero while inside quotes
  size_t backslashes = 0;
  while (i < line.size()) {
    // A run of plain characters (blanks too, inside quotes) is copied at once.
    size_t run = i;
    while (run < line.size() && line[run] != L'\\' && line[run] != L'"' &&
           (quotes != 0 || !IsBlank(line[run])))
      ++run;
    if (run > i) {
      arg.append(line, i, run - i);
      backslashes = 0;
      i = run;
      continue;
    }
    const wchar_t c = line[i];
    if (IsBlank(c) && quotes == 0) break;
    if (c == L'\\') {
      arg += c;
      ++backslashes;
      ++i;
      continue;
    }
    if (c == L'"') {
      // 2n backslashes and a quote: n backslashes, the quote opens or
      // closes; 2n+1 backslashes: n backslashes and a literal quote.
      if (backslashes % 2 == 0) {
        arg.resize(arg.size() - backslashes / 2);
        ++quotes;
      } else {
        arg.resize(arg.size() - backslashes / 2 - 1);
        arg += L'"';
      }
      ++i;
      backslashes = 0;
      // A run of quotes, the opening one counted: every third one is a
      // literal quote, and the run closes the quoted part unless it is a
      // multiple of three.
      while (i < line.size() && line[i] == L'"') {
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
  return arg;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
  std::vector<std::wstring> args;
  size_t i = 0;
  const size_t n = line.size();

  // The program name: no escapes.
  size_t start = i;
  if (i < n && line[i] == L'"') {
    start = ++i;
    while (i < n && line[i] != L'"') ++i;
    args.push_back(line.substr(start, i - start));
    if (i < n) ++i;
  } else {
    while (i < n && !IsBlank(line[i])) ++i;
    args.push_back(line.substr(start, i - start));
  }

  while (i < n && IsBlank(line[i])) ++i;
  while (i < n) {
    args.push_back(ReadArgument(line, i));
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
  // Backslashes before the closing quote are doubled so that it stays one.
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

std::wstring QuoteProgramName(const std::wstring& program) {
  std::wstring name;
  for (wchar_t c : program)
    if (c != L'"') name += c;
  if (!name.empty() && name.find_first_of(L" \t") == std::wstring::npos) return name;
  return L"\"" + name + L"\"";
}

std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i == 0) {
      line = QuoteProgramName(arguments[0]);
    } else {
      line += L' ';
      line += QuoteArgument(arguments[i]);
    }
  }
  return line;
}

}  // namespace tav
