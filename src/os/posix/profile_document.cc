#include "os/posix/profile_document.h"

#include <algorithm>

#include "os/utf8.h"

namespace tav::posix {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// White space as the profile functions trim it: tab to CR, ^Z and blank.
bool IsProfileSpace(wchar_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::wstring_view Trim(std::wstring_view s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsProfileSpace(s[begin])) ++begin;
  while (end > begin && IsProfileSpace(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Upper case for name comparison: ASCII, Latin-1, Greek, Cyrillic and
// fullwidth Latin letters, the same whatever the process's locale.
uint32_t Fold(wchar_t c) {
  const uint32_t u = static_cast<uint32_t>(c);
  if (u >= 'a' && u <= 'z') return u - 0x20;
  if (u < 0x80) return u;
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return u - 0x20;
  if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return u - 0x20;
  if (u >= 0x430 && u <= 0x44F) return u - 0x20;
  if (u >= 0x450 && u <= 0x45F) return u - 0x50;
  if (u >= 0xFF41 && u <= 0xFF5A) return u - 0x20;
  return u;
}

bool NamesEqual(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

// wchar_t is UTF-32 on Linux and UTF-16 on Windows; both are handled.
void AppendCodePoint(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(cp);
}

// The code point at `i` (with a 16-bit wchar_t a surrogate pair counts as
// one); false for any other surrogate or a value beyond U+10FFFF. A 32-bit
// wchar_t holds code points: surrogates there are never text, and a pair of
// them would not read back as written.
bool NextCodePoint(std::wstring_view text, size_t& i, char32_t& cp) {
  const uint32_t u = static_cast<uint32_t>(text[i++]);
  if (sizeof(wchar_t) == 2 && u >= 0xD800 && u <= 0xDBFF && i < text.size()) {
    const uint32_t v = static_cast<uint32_t>(text[i]);
    if (v >= 0xDC00 && v <= 0xDFFF) {
      ++i;
      cp = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
      return true;
    }
  }
  if ((u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) return false;
  cp = u;
  return true;
}

bool IsValidText(std::wstring_view text) {
  char32_t cp = 0;
  for (size_t i = 0; i < text.size();)
    if (!NextCodePoint(text, i, cp)) return false;
  return true;
}

uint32_t Utf16Unit(std::string_view s, size_t i, bool bigEndian) {
  const uint32_t a = static_cast<unsigned char>(s[i]);
  const uint32_t b = static_cast<unsigned char>(s[i + 1]);
  return bigEndian ? (a << 8) | b : (b << 8) | a;
}

// Lone surrogates and an odd last byte read as U+FFFD.
void DecodeUtf16(std::string_view s, bool bigEndian, std::wstring& out) {
  size_t i = 0;
  while (i + 1 < s.size()) {
    const uint32_t u = Utf16Unit(s, i, bigEndian);
    i += 2;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size()) {
      const uint32_t v = Utf16Unit(s, i, bigEndian);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        i += 2;
        AppendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        continue;
      }
    }
    AppendCodePoint(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
  }
  if (i < s.size()) AppendCodePoint(out, kReplacement);
}

void EncodeUtf16Unit(uint32_t unit, bool bigEndian, std::string& out) {
  const char high = static_cast<char>(unit >> 8);
  const char low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

void EncodeUtf16(char32_t cp, bool bigEndian, std::string& out) {
  if (cp > 0xFFFF) {
    cp -= 0x10000;
    EncodeUtf16Unit(0xD800 + (cp >> 10), bigEndian, out);
    EncodeUtf16Unit(0xDC00 + (cp & 0x3FF), bigEndian, out);
  } else {
    EncodeUtf16Unit(cp, bigEndian, out);
  }
}

bool IsUtf16(ProfileEncoding e) {
  return e == ProfileEncoding::kUtf16Le || e == ProfileEncoding::kUtf16Be;
}

std::string ByteOrderMark(ProfileEncoding e) {
  switch (e) {
    case ProfileEncoding::kUtf8Bom: return "\xEF\xBB\xBF";
    case ProfileEncoding::kUtf16Le: return "\xFF\xFE";
    case ProfileEncoding::kUtf16Be: return "\xFE\xFF";
    case ProfileEncoding::kUtf8: break;
  }
  return "";
}

// Names are written trimmed; they must be valid text on one line.
bool IsStorableText(std::wstring_view text) {
  return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) == std::wstring_view::npos &&
         IsValidText(text);
}

// A write of `value` under the trimmed names that reads back as written.
bool IsStorableWrite(std::wstring_view sectionName, std::wstring_view keyName,
                     std::wstring_view value) {
  return IsStorableText(sectionName) && IsStorableText(keyName) && IsStorableText(value) &&
         keyName.find(L'=') == std::wstring_view::npos &&
         (keyName.empty() || (keyName.front() != L';' && keyName.front() != L'['));
}

// The text written for a value, so that reading gives the value back: in
// double quotes when reading would otherwise trim or unquote it.
std::wstring StoredText(std::wstring_view value) {
  if (value.empty()) return std::wstring();
  const bool edgeSpace = IsProfileSpace(value.front()) || IsProfileSpace(value.back());
  const bool quoted = value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
                      value.back() == value.front();
  if (edgeSpace || quoted) return L"\"" + std::wstring(value) + L"\"";
  return std::wstring(value);
}

// The longest start of `text` that fits into `units` UTF-16 code units; a
// surrogate pair is never split.
std::wstring CutToUtf16Units(const std::wstring& text, size_t units) {
  size_t used = 0;
  size_t i = 0;
  while (i < text.size()) {
    size_t next = i;
    char32_t cp = 0;
    const bool valid = NextCodePoint(text, next, cp);
    const size_t need = valid && cp > 0xFFFF ? 2 : 1;
    if (used + need > units) break;
    used += need;
    i = next;
  }
  return text.substr(0, i);
}

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
  if (c >= L'a' && c <= L'z') return c - L'a' + 10;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// ProfileDocument

ProfileDocument::ProfileDocument() = default;

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
  ProfileDocument doc;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.encoding_ = ProfileEncoding::kUtf8Bom;
  } else if (bytes.substr(0, 2) == "\xFF\xFE") {
    doc.encoding_ = ProfileEncoding::kUtf16Le;
  } else if (bytes.substr(0, 2) == "\xFE\xFF") {
    doc.encoding_ = ProfileEncoding::kUtf16Be;
  }
  std::string_view body = bytes.substr(ByteOrderMark(doc.encoding_).size());
  const bool wide = IsUtf16(doc.encoding_);
  if (wide && body.size() % 2 != 0) {
    // Not text; it stays last so that every line keeps its alignment.
    doc.oddByte_.assign(1, body.back());
    body.remove_suffix(1);
  }
  const bool bigEndian = doc.encoding_ == ProfileEncoding::kUtf16Be;
  const size_t unit = wide ? 2 : 1;
  auto unitAt = [&](size_t p) -> uint32_t {
    return wide ? Utf16Unit(body, p, bigEndian) : static_cast<unsigned char>(body[p]);
  };

  // Room for the lines at once: a line feed byte ends at most one each.
  doc.lines_.reserve(static_cast<size_t>(std::count(body.begin(), body.end(), '\n')) + 1);
  size_t lineStart = 0;
  size_t p = 0;
  while (p + unit <= body.size()) {
    const uint32_t u = unitAt(p);
    if (u != '\r' && u != '\n') {
      p += unit;
      continue;
    }
    size_t endLength = unit;
    if (u == '\r' && p + 2 * unit <= body.size() && unitAt(p + unit) == '\n') endLength = 2 * unit;
    Line line;
    line.Raw = body.substr(lineStart, p - lineStart);
    line.End = body.substr(p, endLength);
    if (doc.newLine_.empty()) doc.newLine_ = line.End;
    doc.ParseLine(line);
    doc.lines_.push_back(std::move(line));
    p += endLength;
    lineStart = p;
  }
  if (lineStart < body.size()) {
    Line line;
    line.Raw = body.substr(lineStart);
    doc.ParseLine(line);
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

std::wstring ProfileDocument::Decode(std::string_view bytes) const {
  // Every byte that does not belong to a well-formed UTF-8 sequence reads
  // as U+FFFD.
  if (!IsUtf16(encoding_)) return FromUtf8(bytes);
  std::wstring text;
  text.reserve(bytes.size() / 2 + 1);  // one allocation
  DecodeUtf16(bytes, encoding_ == ProfileEncoding::kUtf16Be, text);
  return text;
}

std::string ProfileDocument::Encode(std::wstring_view text) const {
  std::string bytes;
  char32_t cp = 0;
  for (size_t i = 0; i < text.size();) {
    if (!NextCodePoint(text, i, cp)) cp = kReplacement;  // callers pass valid text
    if (IsUtf16(encoding_))
      EncodeUtf16(cp, encoding_ == ProfileEncoding::kUtf16Be, bytes);
    else
      tav::AppendUtf8(bytes, cp);
  }
  return bytes;
}

std::string ProfileDocument::NewLine() const {
  return newLine_.empty() ? Encode(L"\r\n") : newLine_;
}

void ProfileDocument::ParseLine(Line& line) const {
  const std::wstring text = Decode(line.Raw);
  const std::wstring_view trimmed = Trim(text);
  line.Kind = LineKind::kBlank;
  line.Name.clear();
  line.Value.clear();
  if (trimmed.empty()) return;
  if (trimmed.front() == L';') {
    line.Kind = LineKind::kComment;
    return;
  }
  if (trimmed.front() == L'[') {
    // The name ends at the last ']'; a line without one is read as a key.
    const size_t close = trimmed.rfind(L']');
    if (close != std::wstring_view::npos && close > 0) {
      line.Kind = LineKind::kSection;
      line.Name = Trim(trimmed.substr(1, close - 1));
      return;
    }
  }
  const size_t equals = trimmed.find(L'=');
  if (equals == std::wstring_view::npos) {
    line.Kind = LineKind::kOther;  // a key without a value: never found
    return;
  }
  line.Kind = LineKind::kKey;
  line.Name = Trim(trimmed.substr(0, equals));
  line.Value = Trim(trimmed.substr(equals + 1));
  // The first '=' of the decoded text is the first '=' unit of the bytes.
  const size_t unit = IsUtf16(encoding_) ? 2 : 1;
  for (size_t p = 0; p + unit <= line.Raw.size(); p += unit) {
    const uint32_t u = unit == 2 ? Utf16Unit(line.Raw, p, encoding_ == ProfileEncoding::kUtf16Be)
                                 : static_cast<unsigned char>(line.Raw[p]);
    if (u == '=') {
      line.RawValueStart = p + unit;
      break;
    }
  }
}

long ProfileDocument::FindSection(std::wstring_view section) const {
  const std::wstring_view name = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].Kind == LineKind::kSection && NamesEqual(lines_[i].Name, name))
      return static_cast<long>(i);
  return -1;
}

long ProfileDocument::FindKey(long sectionLine, std::wstring_view key) const {
  const std::wstring_view name = Trim(key);
  for (size_t i = static_cast<size_t>(sectionLine) + 1;
       i < lines_.size() && lines_[i].Kind != LineKind::kSection; ++i)
    if (lines_[i].Kind == LineKind::kKey && NamesEqual(lines_[i].Name, name))
      return static_cast<long>(i);
  return -1;
}

const std::wstring* ProfileDocument::Find(std::wstring_view section, std::wstring_view key) const {
  const long s = FindSection(section);
  if (s < 0) return nullptr;
  const long k = FindKey(s, key);
  return k < 0 ? nullptr : &lines_[static_cast<size_t>(k)].Value;
}

ProfileChange ProfileDocument::WouldChange(std::wstring_view section, std::wstring_view key,
                                           std::wstring_view value) const {
  const std::wstring_view sectionName = Trim(section);
  const std::wstring_view keyName = Trim(key);
  if (!IsStorableWrite(sectionName, keyName, value)) return ProfileChange::kRefused;
  const long s = FindSection(sectionName);
  const long k = s < 0 ? -1 : FindKey(s, keyName);
  if (k >= 0 && lines_[static_cast<size_t>(k)].Value == StoredText(value))
    return ProfileChange::kUnchanged;
  return ProfileChange::kChanged;
}

ProfileChange ProfileDocument::Set(std::wstring_view section, std::wstring_view key,
                                   std::wstring_view value) {
  const std::wstring_view sectionName = Trim(section);
  const std::wstring_view keyName = Trim(key);
  if (!IsStorableWrite(sectionName, keyName, value)) return ProfileChange::kRefused;
  const std::wstring stored = StoredText(value);

  const long s = FindSection(sectionName);
  if (s >= 0) {
    const long k = FindKey(s, keyName);
    if (k >= 0) {
      // The name and everything up to the '=' stay as they were.
      Line& line = lines_[static_cast<size_t>(k)];
      if (line.Value == stored) return ProfileChange::kUnchanged;
      line.Raw = line.Raw.substr(0, line.RawValueStart) + Encode(stored);
      ParseLine(line);
      return ProfileChange::kChanged;
    }
  }

  auto makeLine = [&](const std::wstring& text) {
    Line line;
    line.Raw = Encode(text);
    line.End = NewLine();
    ParseLine(line);
    return line;
  };
  const std::wstring keyLine = std::wstring(keyName) + L"=" + stored;
  if (s >= 0) {
    // After the last key of the section, before blank lines and comments
    // that lead to the next section.
    size_t last = static_cast<size_t>(s);
    for (size_t i = last + 1; i < lines_.size() && lines_[i].Kind != LineKind::kSection; ++i)
      if (lines_[i].Kind == LineKind::kKey || lines_[i].Kind == LineKind::kOther) last = i;
    if (lines_[last].End.empty()) lines_[last].End = NewLine();
    lines_.insert(lines_.begin() + static_cast<long>(last) + 1, makeLine(keyLine));
    return ProfileChange::kChanged;
  }
  if (!lines_.empty() && lines_.back().End.empty()) lines_.back().End = NewLine();
  lines_.push_back(makeLine(L"[" + std::wstring(sectionName) + L"]"));
  lines_.push_back(makeLine(keyLine));
  return ProfileChange::kChanged;
}

std::string ProfileDocument::Serialize() const {
  std::string bytes = ByteOrderMark(encoding_);
  for (const Line& line : lines_) {
    bytes += line.Raw;
    bytes += line.End;
  }
  return bytes + oddByte_;
}

// ---------------------------------------------------------------------------
// Reading values

std::wstring ProfileResultText(const std::wstring* stored, std::wstring_view defaultValue,
                               size_t bufferChars) {
  if (bufferChars == 0) return std::wstring();
  std::wstring text;
  if (stored) {
    text = *stored;
  } else {
    text = defaultValue;
    while (!text.empty() && text.back() == L' ') text.pop_back();
  }
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);  // the text is a C string there
  if (text.size() >= 2 && (text.front() == L'"' || text.front() == L'\'') &&
      text.back() == text.front())
    text = text.substr(1, text.size() - 2);
  return CutToUtf16Units(text, bufferChars - 1);
}

uint32_t ProfileTextToInteger(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<uint32_t>(text[i]) <= 0x20u) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  uint32_t base = 10;
  if (text.size() - i >= 2 && text[i] == L'0') {
    if (text[i + 1] == L'x') base = 16;
    if (text[i + 1] == L'o') base = 8;
    if (text[i + 1] == L'b') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t total = 0;  // unsigned: wraps modulo 2^32 without undefined behaviour
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit < 0 || static_cast<uint32_t>(digit) >= base) break;
    total = total * base + static_cast<uint32_t>(digit);
  }
  return negative ? 0u - total : total;
}

}  // namespace tav::posix
