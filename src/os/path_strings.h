// The shlwapi path functions on Windows-form paths ('\' separators), as pure
// string operations. Win32Os calls shlwapi itself; the other Os
// implementations use these.
#pragma once

#include <string>

namespace tav {

inline constexpr size_t kMaxPath = 260;  // MAX_PATH, terminator included

// PathIsRelativeW: not "\..." and not "X:...".
bool PathStringIsRelative(const std::wstring& path);
// PathCombineW: empty when the result does not fit into MAX_PATH.
std::wstring PathStringCombine(const std::wstring& folder, const std::wstring& file);
// PathAppendW: false, `path` unchanged, when the result does not fit.
bool PathStringAppend(std::wstring& path, const std::wstring& more);
// PathRemoveFileSpecW: true when something was removed.
bool PathStringRemoveFileSpec(std::wstring& path);

}  // namespace tav
