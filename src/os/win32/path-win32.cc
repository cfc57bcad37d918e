// Path strings through shlwapi, in MAX_PATH buffers.
#include <vector>

#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

std::wstring Win32Paths::PathCombine(const std::wstring& folder, const std::wstring& file) {
  wchar_t buffer[MAX_PATH] = {};
  if (!::PathCombineW(buffer, folder.c_str(), file.c_str())) return std::wstring();
  return buffer;
}

bool Win32Paths::PathAppend(std::wstring& path, const std::wstring& more) {
  if (path.size() >= MAX_PATH) return false;  // would not fit the buffer to begin with
  wchar_t buffer[MAX_PATH] = {};
  path.copy(buffer, path.size());
  if (!::PathAppendW(buffer, more.c_str())) return false;
  path = buffer;
  return true;
}

bool Win32Paths::PathRemoveFileSpec(std::wstring& path) {
  // Works in place and only ever shortens the text, so any length is safe.
  std::vector<wchar_t> buffer(path.begin(), path.end());
  buffer.push_back(L'\0');
  const bool removed = ::PathRemoveFileSpecW(buffer.data()) != 0;
  path = buffer.data();
  return removed;
}

}  // namespace tav::win32
