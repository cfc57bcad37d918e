// Conversions between the core's strings and the POSIX system's: wide text to
// UTF-8 and back, and Windows-form paths ('\') to native paths ('/').
#pragma once

#include <string>
#include <string_view>

#include "os/utf8.h"

namespace tav::posix {

using tav::FromUtf8;
using tav::ToUtf8;
// A core path for a file system call: '\' becomes '/', encoded as UTF-8.
std::string NativePath(std::wstring_view path);
// A native path handed back to the core: '/' becomes '\'.
std::wstring WindowsPath(std::string_view nativePath);
// The folder of a native path, without the last element and its '/'; "/"
// for an element of the root, "." for a bare name.
std::string NativeFolderOf(std::string_view path);
// The last element of a native path.
std::string NativeFileNameOf(std::string_view path);

}  // namespace tav::posix
