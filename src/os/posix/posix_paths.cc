#include "os/posix/posix_paths.h"

#include <cstdint>

namespace tav::posix {

std::string NativePath(std::wstring_view path) {
  // Most paths are ASCII: one pass finds whether any character is not, a
  // second converts and turns the separators (both loops vectorize).
  uint32_t bits = 0;
  for (const wchar_t c : path) bits |= static_cast<uint32_t>(c);
  if (bits >= 0x80) {
    std::string out = ToUtf8(path);
    for (char& byte : out)
      if (byte == '\\') byte = '/';
    return out;
  }
  std::string out(path.size(), '\0');
  const wchar_t* in = path.data();
  char* to = out.data();
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = static_cast<char>(in[i]);
    to[i] = c == '\\' ? '/' : c;
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

std::string NativeFileNameOf(std::string_view path) {
  return std::string(path.substr(path.find_last_of('/') + 1));
}

}  // namespace tav::posix
