#include "os/command_line_args.h"

namespace tav {
namespace {

// The rules look only at blanks, tabs, double quotes and backslashes, all
// ASCII, so they split a command line in UTF-16 or in UTF-8 alike: no byte
// of a UTF-8 multi-byte sequence is ASCII.
template <class Char>
bool IsBlank(Char c) {
  return c == Char(' ') || c == Char('\t');
}

// One argument after the first, starting at `i` (not a blank); leaves `i`
// on the blank or end that closed it.
template <class Char>
std::basic_string<Char> ReadArgument(const std::basic_string<Char>& line, size_t& i) {
  constexpr Char kBackslash('\\'), kQuote('"');
  std::basic_string<Char> arg;
  int quotes = 0;  // non-zero while inside quotes
  size_t backslashes = 0;
  while (i < line.size()) {
    // A run of plain characters (blanks too, inside quotes) is copied at once.
    size_t run = i;
    while (run < line.size() && line[run] != kBackslash && line[run] != kQuote &&
           (quotes != 0 || !IsBlank(line[run])))
      ++run;
    if (run > i) {
      arg.append(line, i, run - i);
      backslashes = 0;
      i = run;
      continue;
    }
    const Char c = line[i];
    if (IsBlank(c) && quotes == 0) break;
    if (c == kBackslash) {
      arg += c;
      ++backslashes;
      ++i;
      continue;
    }
    if (c == kQuote) {
      // 2n backslashes and a quote: n backslashes, the quote opens or
      // closes; 2n+1 backslashes: n backslashes and a literal quote.
      if (backslashes % 2 == 0) {
        arg.resize(arg.size() - backslashes / 2);
        ++quotes;
      } else {
        arg.resize(arg.size() - backslashes / 2 - 1);
        arg += kQuote;
      }
      ++i;
      backslashes = 0;
      // A run of quotes, the opening one counted: every third one is a
      // literal quote, and the run closes the quoted part unless it is a
      // multiple of three.
      while (i < line.size() && line[i] == kQuote) {
        if (++quotes == 3) {
          arg += kQuote;
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

template <class Char>
std::vector<std::basic_string<Char>> Split(const std::basic_string<Char>& line) {
  std::vector<std::basic_string<Char>> args;
  size_t i = 0;
  const size_t n = line.size();

  // The program name: no escapes.
  size_t start = i;
  if (i < n && line[i] == Char('"')) {
    start = ++i;
    while (i < n && line[i] != Char('"')) ++i;
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

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) { return Split(line); }

std::vector<std::string> SplitUtf8CommandLine(const std::string& line) { return Split(line); }

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
