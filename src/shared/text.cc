#include "shared/text.h"

#include <cwctype>

namespace tav {

namespace {

// Letters of the basic Latin alphabet fold without language rules, as the
// Windows runtime's non-linguistic casing does (a Turkish locale would lower
// "I" to a dotless "ı"); other letters follow the current locale.
wint_t FoldCase(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wint_t>(c - L'A' + L'a');
  if (c >= L'a' && c <= L'z') return static_cast<wint_t>(c);
  return std::towlower(static_cast<wint_t>(c));
}

}  // namespace

bool IsWhiteSpace(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

std::wstring_view TrimWhiteSpace(std::wstring_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::wstring StripRepeated(std::wstring_view text, wchar_t leading, wchar_t trailing) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == trailing) --end;
  size_t begin = 0;
  while (begin < end && text[begin] == leading) ++begin;
  return std::wstring(text.substr(begin, end - begin));
}

std::wstring DecimalText(int32_t value) {
  // Built by hand: wide printf's "%s"/"%d" conventions differ between CRTs.
  int64_t v = value;
  bool negative = v < 0;
  if (negative) v = -v;
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + v % 10));
    v /= 10;
  } while (v != 0);
  return negative ? L"-" + digits : digits;
}

std::wstring TwoDigitText(int32_t value) {
  std::wstring text = DecimalText(value);
  if (value >= 0 && text.size() < 2) text.insert(text.begin(), L'0');
  return text;
}

std::optional<TimeOfDay> FourDigitTime(std::wstring_view digits) {
  if (digits.size() != 4) return std::nullopt;
  for (wchar_t c : digits)
    if (c < L'0' || c > L'9') return std::nullopt;
  const auto two = [&](size_t at) { return (digits[at] - L'0') * 10 + (digits[at + 1] - L'0'); };
  return TimeOfDay{two(0), two(2)};
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring_view NextSlashField(std::wstring_view text, size_t& position) {
  while (position < text.size() && text[position] == L'/') ++position;
  const size_t begin = position;
  while (position < text.size() && text[position] != L'/') ++position;
  const std::wstring_view field = text.substr(begin, position - begin);
  if (position < text.size()) ++position;
  return field;
}

}  // namespace tav
