// The Os facet of profile (INI) files: the private profile functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tav {

class OsProfile {
 public:
  // GetPrivateProfileStringW into a buffer of `bufferChars` characters: the
  // value is cut to `bufferChars - 1` characters.
  virtual std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                               const std::wstring& defaultValue,
                                               size_t bufferChars, const std::wstring& path) = 0;
  // GetPrivateProfileIntW, its UINT result read as a signed 32-bit value.
  virtual int32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                       int32_t defaultValue, const std::wstring& path) = 0;
  virtual bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& path) = 0;
  // WritePrivateProfileStringW(NULL, NULL, NULL, path): flushes the
  // platform's cached copy of `path`.
  virtual void FlushPrivateProfile(const std::wstring& path) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsProfile() = default;
};

}  // namespace tav
