// Paths between the core and the POSIX system: Windows-form paths ('\') to
// native ones ('/', UTF-8 by os/utf8.h) and back, and the parts of a native
// path.
#pragma once

#include <string>
#include <string_view>

#include "os/utf8.h"

namespace tav::posix {

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
