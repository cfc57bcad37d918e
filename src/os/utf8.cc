#include "os/utf8.h"

#include <cstdint>

namespace tav {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr bool kUtf16 = sizeof(wchar_t) == 2;

bool IsScalar(uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }
bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Writes the UTF-8 of `c` at `out` (room for 4 bytes) and returns the end.
char* EncodeOne(char* out, uint32_t c) {
  if (!IsScalar(c)) c = kReplacement;
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// The code point at `i`, a UTF-16 pair joined (then `i` is left on its
// second unit).
uint32_t NextCodePoint(std::wstring_view text, size_t& i) {
  uint32_t c = static_cast<uint32_t>(text[i]);
  if (kUtf16 && IsHighSurrogate(c) && i + 1 < text.size() &&
      IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
    c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
  }
  return c;
}

// The UTF-8 length of the code point at `i`, moving `i` as NextCodePoint does.
size_t EncodedLength(std::wstring_view text, size_t& i) {
  const uint32_t c = NextCodePoint(text, i);
  if (!IsScalar(c)) return 3;  // U+FFFD
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// Decodes one well-formed sequence at `i`; 0 when the bytes there are not one.
size_t DecodeOne(std::string_view s, size_t i, uint32_t& c) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  size_t len;
  uint32_t min;
  if (b < 0x80) {
    c = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    c = b & 0x1F, len = 2, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    c = b & 0x0F, len = 3, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    c = b & 0x07, len = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < min || !IsScalar(c)) return 0;  // overlong forms and surrogates
  return len;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t codePoint) {
  char bytes[4];
  out.append(bytes, EncodeOne(bytes, static_cast<uint32_t>(codePoint)));
}

// Both conversions size the result once: paths and profile values are
// converted on every file call, mostly plain ASCII, so the common case is one
// allocation and a copy.
std::string ToUtf8(std::wstring_view text) {
  const size_t n = text.size();
  // ASCII is copied as it is checked; at the first other character the rest
  // is measured, so that the result is allocated once more at most.
  std::string out(n, '\0');
  size_t ascii = 0;
  for (; ascii < n; ++ascii) {
    const uint32_t c = static_cast<uint32_t>(text[ascii]);
    if (c >= 0x80) break;
    out[ascii] = static_cast<char>(c);
  }
  if (ascii == n) return out;
  size_t bytes = ascii;
  for (size_t i = ascii; i < n; ++i) bytes += EncodedLength(text, i);
  out.resize(bytes);
  char* end = out.data() + ascii;
  for (size_t i = ascii; i < n; ++i) end = EncodeOne(end, NextCodePoint(text, i));
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  // At most one unit a byte: a 4-byte sequence gives 2 UTF-16 units, a
  // rejected byte 1.
  std::wstring out(text.size(), L'\0');
  wchar_t* const begin = out.data();
  wchar_t* end = begin;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      *end++ = static_cast<wchar_t>(b);
      ++i;
      continue;
    }
    uint32_t c = 0;
    size_t len = DecodeOne(text, i, c);
    if (len == 0) {
      *end++ = static_cast<wchar_t>(kReplacement);
      ++i;
      continue;
    }
    i += len;
    if (kUtf16 && c >= 0x10000) {
      c -= 0x10000;
      *end++ = static_cast<wchar_t>(0xD800 + (c >> 10));
      *end++ = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
      *end++ = static_cast<wchar_t>(c);
    }
  }
  out.resize(static_cast<size_t>(end - begin));
  return out;
}

}  // namespace tav
