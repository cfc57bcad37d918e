#include "os/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tav {
namespace {

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
