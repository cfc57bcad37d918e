#include "os/posix/posix_paths.h"

namespace tav::posix {

std::string NativePath(std::wstring_view path) {
  std::string out = ToUtf8(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::wstring WindowsPath(std::string_view nativePath) {
  std::wstring out = FromUtf8(nativePath);
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  return out;
}

std::string NativeFolderOf(std::string_view path) {
  size_t cut = path.find_last_of('/');
  if (cut == std::string_view::npos) return ".";
  if (cut == 0) return "/";
  return std::string(path.substr(0, cut));
}

}  // namespace tav::posix
