// Conversions between the core's strings and the POSIX system's: wide text to
// UTF-8 and back, and Windows-form paths ('\') to native paths ('/').
#pragma once

#include <string>
#include <string_view>

namespace tav::posix {

// UTF-8 of wide text; a value that is no Unicode scalar becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
// Wide text of UTF-8; each byte of an invalid or cut-off sequence becomes
// U+FFFD, so nothing is lost silently and decoding never stops.
std::wstring FromUtf8(std::string_view text);
// A core path for a file system call: '\' becomes '/', encoded as UTF-8.
std::string NativePath(std::wstring_view path);
// A native path handed back to the core: '/' becomes '\'.
std::wstring WindowsPath(std::string_view nativePath);
// The folder of a native path, without the last element and its '/'; "/"
// for an element of the root, "." for a bare name.
std::string NativeFolderOf(std::string_view path);

}  // namespace tav::posix
