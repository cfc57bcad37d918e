#include "os/utf8.h"

#include <cstdint>
#include <random>

#include <gtest/gtest.h>

namespace tav {
namespace {

constexpr bool kUtf16 = sizeof(wchar_t) == 2;

// Plain one-code-point-at-a-time UTF-8, to check the sized conversion
// against.
std::string ReferenceUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    if (kUtf16 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        static_cast<uint32_t>(text[i + 1]) >= 0xDC00 &&
        static_cast<uint32_t>(text[i + 1]) <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

TEST(Utf8Test, EncodesAsciiPrefixesAndEveryLength) {
  struct Case {
    std::wstring text;
    std::string utf8;
  };
  const Case cases[] = {
      {L"", ""},
      {L"C:\\ProgramData\\VARENTO", "C:\\ProgramData\\VARENTO"},
      {L"\x7F\x80", "\x7F\xC2\x80"},
      {L"a\x7FF\x800z", "a\xDF\xBF\xE0\xA0\x80z"},
      {L"\\tmp\\オフィス.ini", "\\tmp\\\xE3\x82\xAA\xE3\x83\x95\xE3\x82\xA3\xE3\x82\xB9.ini"},
      {L"x\U0001F600", "x\xF0\x9F\x98\x80"},
      {L"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {std::wstring(1, static_cast<wchar_t>(0xDC00)) + L"a", "\xEF\xBF\xBD" "a"},
      {L"ab" + std::wstring(1, static_cast<wchar_t>(0xD800)), "ab\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUtf8(c.text), c.utf8) << c.utf8;
    // Text without a replaced value comes back as it was.
    if (c.utf8.find("\xEF\xBF\xBD") == std::string::npos) {
      EXPECT_EQ(FromUtf8(c.utf8), c.text);
    }
  }
  if (!kUtf16) {
    // A 32-bit value beyond Unicode is replaced like a lone surrogate.
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
  }
}

TEST(Utf8Test, DecodesInvalidBytesOneReplacementEach) {
  struct Case {
    std::string utf8;
    std::wstring text;
  };
  const Case cases[] = {
      {"plain", L"plain"},
      {"a\x80z", L"a\uFFFDz"},
      {"\xC0\xAF", L"\uFFFD\uFFFD"},          // overlong
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {"\xE3\x82", L"\uFFFD\uFFFD"},          // cut off at the end
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\xE3\x82\xAA\xF0\x9F\x98\x80!", L"オ\U0001F600!"},
  };
  for (const Case& c : cases) EXPECT_EQ(FromUtf8(c.utf8), c.text) << c.utf8;
}

// Random mixes of ASCII runs, every encoded length and invalid values, both
// ways against the plain encoder.
TEST(Utf8Test, MatchesThePlainEncoderOnRandomText) {
  std::mt19937 random(17);
  const uint32_t pool[] = {'a', '\\', 0x7F, 0x80, 0x3042, 0xFFFD, 0xFFFF, 0x10000, 0x1F600,
                           0x10FFFF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF};
  for (int round = 0; round < 2000; ++round) {
    std::wstring text;
    const size_t length = random() % 24;
    for (size_t i = 0; i < length; ++i) {
      const uint32_t pick = random() % (2 * std::size(pool));
      text += static_cast<wchar_t>(pick < std::size(pool) ? pool[pick] : 'A' + pick % 26);
    }
    const std::string utf8 = ToUtf8(text);
    ASSERT_EQ(utf8, ReferenceUtf8(text)) << round;
    // Back again: the same text where it held only Unicode scalars.
    ASSERT_EQ(ToUtf8(FromUtf8(utf8)), utf8) << round;
  }
}

// The one UTF-8 encoder: ToUtf8 and the profile files both go through it.
TEST(Utf8Test, AppendUtf8EncodesScalarsAndReplacesTheRest) {
  struct Case {
    char32_t codePoint;
    std::string bytes;
  };
  const Case cases[] = {
      {U'A', "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x96FB, "\xE9\x9B\xBB"},  // 電
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      {0xD800, "\xEF\xBF\xBD"},  // a lone surrogate
      {0xDFFF, "\xEF\xBF\xBD"},
      {0x110000, "\xEF\xBF\xBD"},  // beyond Unicode
  };
  for (const Case& c : cases) {
    std::string out = "x";
    AppendUtf8(out, c.codePoint);
    EXPECT_EQ(out, "x" + c.bytes) << static_cast<uint32_t>(c.codePoint);
    // The bytes read back as the one character that was encoded.
    const std::wstring back = FromUtf8(c.bytes);
    std::string again;
    for (wchar_t w : back) AppendUtf8(again, static_cast<char32_t>(w));
    if (sizeof(wchar_t) == 4) {
      EXPECT_EQ(again, c.bytes) << static_cast<uint32_t>(c.codePoint);
    }
  }
  EXPECT_EQ(ToUtf8(L"電源\U0001F600"), "\xE9\x9B\xBB\xE6\xBA\x90\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace tav
