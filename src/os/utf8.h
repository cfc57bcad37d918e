// UTF-8 conversions of wide text, for the places where wide strings meet
// byte strings (POSIX file names, stand-in logs). UTF-16 surrogate pairs are
// joined where wchar_t has 16 bits.
#pragma once

#include <string>
#include <string_view>

namespace tav {

// UTF-8 of wide text; a value that is no Unicode scalar (a lone surrogate,
// or beyond U+10FFFF) becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
// Appends the UTF-8 bytes of one code point; a value that is no Unicode
// scalar becomes U+FFFD. The one UTF-8 encoder: ToUtf8 and the profile files
// use it.
void AppendUtf8(std::string& out, char32_t codePoint);
// Wide text of UTF-8; each byte of an invalid or cut-off sequence becomes
// U+FFFD, so nothing is lost silently and decoding never stops. The one UTF-8
// decoder: paths and the profile files use it.
std::wstring FromUtf8(std::string_view text);

}  // namespace tav
