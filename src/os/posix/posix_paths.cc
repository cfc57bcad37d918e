#include "os/posix/posix_paths.h"

#include <cstdint>

namespace tav::posix {

std::string NativePath(std::wstring_view path) {
  // Most paths are ASCII: converted and their separators turned in one pass.
  std::string out(path.size(), '\0');
  for (size_t i = 0; i < path.size(); ++i) {
    const uint32_t c = static_cast<uint32_t>(path[i]);
    if (c >= 0x80) {
      out = ToUtf8(path);
      for (char& byte : out)
        if (byte == '\\') byte = '/';
      return out;
    }
    out[i] = c == '\\' ? '/' : static_cast<char>(c);
  }
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
