#include "os/path_strings.h"

#include <vector>

namespace tav {
namespace {

bool HasDrive(const std::wstring& p) { return p.size() >= 2 && p[1] == L':'; }
bool IsUnc(const std::wstring& p) { return p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\'; }

// The root of a path as PathStripToRootW leaves it: "X:\", "\", "\\server\share".
std::wstring RootOf(const std::wstring& p) {
  if (HasDrive(p)) return p.substr(0, 2) + L"\\";
  if (IsUnc(p)) {
    size_t server_end = p.find(L'\\', 2);
    if (server_end == std::wstring::npos) return p;
    size_t share_end = p.find(L'\\', server_end + 1);
    return share_end == std::wstring::npos ? p : p.substr(0, share_end);
  }
  if (!p.empty() && p[0] == L'\\') return L"\\";
  return L"";
}

// PathCanonicalizeW: drops "." elements and resolves ".." against the element
// before it, never above the root.
std::wstring Canonicalize(const std::wstring& p) {
  std::wstring root;
  size_t start = 0;
  if (HasDrive(p)) {
    root = p.substr(0, 2);
    start = 2;
    if (p.size() > 2 && p[2] == L'\\') { root += L'\\'; start = 3; }
  } else if (IsUnc(p)) {
    root = L"\\\\";
    start = 2;
  } else if (!p.empty() && p[0] == L'\\') {
    root = L"\\";
    start = 1;
  }
  std::vector<std::wstring> parts;
  size_t pos = start;
  bool trailing_separator = false;
  while (pos <= p.size()) {
    size_t end = p.find(L'\\', pos);
    if (end == std::wstring::npos) end = p.size();
    std::wstring part = p.substr(pos, end - pos);
    trailing_separator = end < p.size() && end + 1 == p.size();
    if (part == L".") {
    } else if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() || (end < p.size() && pos != end)) {
      parts.push_back(part);
    } else if (end < p.size()) {
      parts.push_back(part);  // keeps doubled separators as they were
    }
    pos = end + 1;
  }
  std::wstring out = root;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += L'\\';
    out += parts[i];
  }
  if (trailing_separator && !parts.empty() && !parts.back().empty()) out += L'\\';
  if (out.empty() && !p.empty()) out = L"\\";
  return out;
}

}  // namespace

bool PathStringIsRelative(const std::wstring& path) {
  if (path.empty()) return true;
  if (path[0] == L'\\') return false;
  return !HasDrive(path);
}

std::wstring PathStringCombine(const std::wstring& folder, const std::wstring& file) {
  std::wstring combined;
  if (file.empty()) {
    combined = folder;
  } else if (folder.empty() || !PathStringIsRelative(file)) {
    if (folder.empty() || file[0] != L'\\' || IsUnc(file)) {
      combined = file;
    } else {
      std::wstring root = RootOf(folder);
      if (!root.empty() && root.back() == L'\\') root.pop_back();
      combined = root + file;
    }
  } else {
    combined = folder;
    if (!combined.empty() && combined.back() != L'\\') combined += L'\\';
    combined += file;
  }
  std::wstring result = Canonicalize(combined);
  if (result.size() >= kMaxPath) return L"";
  return result;
}

bool PathStringAppend(std::wstring& path, const std::wstring& more) {
  std::wstring tail = more;
  if (!IsUnc(tail)) {
    size_t skip = tail.find_first_not_of(L'\\');
    tail = skip == std::wstring::npos ? L"" : tail.substr(skip);
  }
  std::wstring combined = PathStringCombine(path, tail);
  if (combined.empty() && !(path.empty() && tail.empty())) return false;
  path = combined;
  return true;
}

bool PathStringRemoveFileSpec(std::wstring& path) {
  size_t spec = 0;
  size_t i = 0;
  if (i < path.size() && path[i] == L'\\') spec = ++i;
  if (i < path.size() && path[i] == L'\\') spec = ++i;
  while (i < path.size()) {
    if (path[i] == L'\\') {
      spec = i;
    } else if (path[i] == L':') {
      spec = ++i;
      if (i < path.size() && path[i] == L'\\') ++spec;
      continue;
    }
    ++i;
  }
  if (spec < path.size()) {
    path.erase(spec);
    return true;
  }
  return false;
}

}  // namespace tav
