// The shlwapi path functions on Windows-form paths ('\' separators), as pure
// string operations. Win32Os calls shlwapi itself; the other Os
// implementations use these. '/' is an ordinary character here, as it is
// for these functions on Windows.
#pragma once

#include <string>

namespace tav {

inline constexpr size_t kMaxPath = 260;  // MAX_PATH, terminator included

// PathIsRelativeW: not "\..." and not "X:...".
bool PathStringIsRelative(const std::wstring& path);

// PathCombineW: joins `folder` and `file` and canonicalises the result
// (PathCanonicalizeW: ".\" elements dropped, ".." resolved). A `file` that
// starts with a single '\' replaces everything after the root of `folder`;
// an absolute `file` replaces `folder`. Empty when the result does not fit
// into MAX_PATH; two empty inputs give "\".
std::wstring PathStringCombine(const std::wstring& folder, const std::wstring& file);

// PathAppendW: PathCombineW of `path` and `more` with the leading '\' of
// `more` dropped (unless it is a UNC path). False, `path` unchanged, when the
// result does not fit (shlwapi empties its buffer instead; the Os wrappers
// keep the caller's text on both platforms).
bool PathStringAppend(std::wstring& path, const std::wstring& more);

// PathRemoveFileSpecW: removes the last element and the separator before it,
// keeping the root ("C:\", "\", "\\"); true when something was removed.
bool PathStringRemoveFileSpec(std::wstring& path);

}  // namespace tav
