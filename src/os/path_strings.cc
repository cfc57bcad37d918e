#include "os/path_strings.h"

#include <algorithm>

namespace tav {
namespace {

bool IsUnc(const std::wstring& p) { return p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\'; }

// "\\server" or "\\server\share": exactly one '\' after the leading two.
bool IsUncServerShare(const std::wstring& p) {
  if (!IsUnc(p)) return false;
  size_t separators = 0;
  for (size_t i = 2; i < p.size(); ++i)
    if (p[i] == L'\\') ++separators;
  return separators == 1;
}

// PathIsRootW: "\", "X:\", "\\", "\\server", "\\server\share".
bool IsRoot(const std::wstring& p) {
  if (p.empty()) return false;
  if (p[0] == L'\\') {
    if (p.size() == 1) return true;
    if (p[1] != L'\\') return false;
    size_t separators = 0;
    for (size_t i = 2; i < p.size(); ++i)
      if (p[i] == L'\\') ++separators;
    return separators <= 1;
  }
  return p.size() == 3 && p[1] == L':' && p[2] == L'\\';
}

// PathStripToRootW: removes elements until only the root is left; a
// relative path ends up empty.
void StripToRoot(std::wstring& p) {
  while (!IsRoot(p))
    if (!PathStringRemoveFileSpec(p)) return;
}

// PathAddBackslashW in a MAX_PATH buffer: false when `p` does not fit.
bool AddBackslash(std::wstring& p) {
  if (p.size() >= kMaxPath) return false;
  if (!p.empty() && p.back() != L'\\') p += L'\\';
  return true;
}

// The ".." step of PathCanonicalizeW, with `out` ending in '\': goes back to
// the separator before the last element, never above a drive root or a UNC
// server. True when the result restarted at "\" (the element was the first
// of the path); the caller then also skips the separator after "..".
bool BackUpOneElement(std::wstring& out) {
  const size_t n = out.size();
  auto at = [&](size_t k) { return k < n ? out[k] : L'\0'; };
  size_t pos = n;
  if (n > 1 && (out[n - 2] != L'\\' || n > 2)) {
    if (out[n - 2] == L':' && (n > 3 || (n == 3 && out[0] == L':'))) {
      pos = n - 2;
      while (pos > 0 && out[pos] != L'\\') --pos;
      pos = out[pos] == L'\\' ? pos + 1 : 0;
    } else if (out[n - 2] != L':' && !IsUncServerShare(out)) {
      pos = n - 2;
    }
  }
  while (pos > 0 && at(pos) != L'\\') --pos;
  if (pos == 0) {
    out = L"\\";
    return true;
  }
  out.resize(pos);
  return false;
}

// PathCanonicalizeW. The rules are textual, as on Windows: ".\" is dropped
// after a separator, a drive colon or at the start; ".." (also as the start
// of a longer name) removes the element before it; a trailing "\." stays.
std::wstring Canonicalize(const std::wstring& path) {
  if (path.empty()) return L"\\";
  const size_t n = path.size();
  auto at = [&](size_t k) { return k < n ? path[k] : L'\0'; };
  std::wstring out;
  out.reserve(n + 1);
  size_t i = 0;
  if (path[0] == L'\\') {
    out += path[i++];
  } else if (at(1) == L':') {
    out.assign(path, 0, 2);
    i = 2;
    if (at(2) == L'\\') out += path[i++];
  }
  while (i < n) {
    // Only a '.' starts a rule: the characters up to the next one are copied
    // at once.
    const size_t dot = std::min(path.find(L'.', i), n);
    if (dot > i) {
      out.append(path, i, dot - i);
      i = dot;
      continue;
    }
    const wchar_t c = path[i];
    if (c == L'.' && at(i + 1) == L'\\' &&
        (i == 0 || path[i - 1] == L'\\' || path[i - 1] == L':')) {
      i += 2;
    } else if (c == L'.' && at(i + 1) == L'.' && !out.empty() && out.back() == L'\\') {
      i += BackUpOneElement(out) ? 3 : 2;
    } else {
      out += c;
      ++i;
    }
  }
  if (out.size() == 2 && out[1] == L':') out += L'\\';
  return out;
}

// PathCombineW; false when the result does not fit into MAX_PATH.
bool Combine(const std::wstring& folder, const std::wstring& file, std::wstring& result) {
  std::wstring joined;
  if (file.empty()) {
    joined = folder;
  } else if (folder.empty() || !PathStringIsRelative(file)) {
    if (folder.empty() || file[0] != L'\\' || IsUnc(file)) {
      joined = file;
    } else {
      // "\x" is relative to the root of the folder.
      joined = folder.substr(0, kMaxPath - 1);
      StripToRoot(joined);
      if (!AddBackslash(joined) || joined.size() + file.size() - 1 >= kMaxPath) return false;
      joined.append(file, 1);
    }
  } else {
    joined = folder.substr(0, kMaxPath - 1);
    if (!AddBackslash(joined) || joined.size() + file.size() >= kMaxPath) return false;
    joined += file;
  }
  // shlwapi cuts a lone folder or file to MAX_PATH - 1 characters; a result
  // that does not fit is refused here as well.
  if (joined.size() >= kMaxPath) return false;
  result = Canonicalize(joined);
  return result.size() < kMaxPath;
}

}  // namespace

bool PathStringIsRelative(const std::wstring& path) {
  if (path.empty()) return true;
  if (path[0] == L'\\') return false;
  return !(path.size() >= 2 && path[1] == L':');
}

std::wstring PathStringCombine(const std::wstring& folder, const std::wstring& file) {
  std::wstring result;
  if (!Combine(folder, file, result)) return L"";
  return result;
}

bool PathStringAppend(std::wstring& path, const std::wstring& more) {
  size_t skip = 0;
  if (!IsUnc(more))
    while (skip < more.size() && more[skip] == L'\\') ++skip;
  std::wstring result;
  if (!Combine(path, more.substr(skip), result)) return false;
  path = result;
  return true;
}

bool PathStringRemoveFileSpec(std::wstring& path) {
  // `cut` is where the last element (and the separator before it) starts.
  size_t cut = 0;
  size_t i = 0;
  // A leading "\" or "\\" is part of the root.
  if (i < path.size() && path[i] == L'\\') cut = ++i;
  if (i < path.size() && path[i] == L'\\') cut = ++i;
  while (i < path.size()) {
    if (path[i] == L'\\') {
      cut = i;
    } else if (path[i] == L':') {
      // A drive: "X:" and a following '\' stay.
      cut = ++i;
      if (i < path.size() && path[i] == L'\\') ++cut;
    }
    ++i;
  }
  if (cut < path.size()) {
    path.erase(cut);
    return true;
  }
  return false;
}

}  // namespace tav
