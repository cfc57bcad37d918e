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
  virtual std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& defaultValue, size_t bufferChars,
                                  const std::wstring& path) = 0;
  // GetPrivateProfileIntW, its UINT result read as a signed 32-bit value.
  virtual int32_t ReadInt(const std::wstring& section, const std::wstring& key,
                          int32_t defaultValue, const std::wstring& path) = 0;
  // WritePrivateProfileStringW; false when the value was not written.
  virtual bool WriteString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& value, const std::wstring& path) = 0;
  // Flushes the platform's cached copy of `path` (WritePrivateProfileStringW
  // with section, key and value NULL).
  virtual void Flush(const std::wstring& path) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsProfile() = default;
};

}  // namespace tav
