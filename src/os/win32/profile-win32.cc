// The profile (INI) functions of kernel32.
#include <vector>

#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

std::wstring Win32Profile::ReadString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& defaultValue, size_t bufferChars,
                                      const std::wstring& path) {
  if (bufferChars == 0) return std::wstring();
  const DWORD size = bufferChars > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(bufferChars);
  std::vector<wchar_t> buffer(size, L'\0');
  DWORD length = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                            buffer.data(), size, path.c_str());
  if (length >= size) length = size - 1;
  return std::wstring(buffer.data(), length);
}

int32_t Win32Profile::ReadInt(const std::wstring& section, const std::wstring& key,
                              int32_t defaultValue, const std::wstring& path) {
  return static_cast<int32_t>(
      ::GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, path.c_str()));
}

bool Win32Profile::WriteString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::wstring& path) {
  return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                      path.c_str()) != 0;
}

void Win32Profile::Flush(const std::wstring& path) {
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
}

}  // namespace tav::win32
