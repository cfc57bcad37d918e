// The Os facet of the power library: the plans of powrprof.dll and, on
// Windows XP, its power schemes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/guid.h"

namespace tav {

// The buffer that a plan's friendly name is read into, in bytes.
inline constexpr uint32_t kFriendlyNameBufferBytes = 1024;

// "powrprof.dll" with "PowerEnumerate" and "PowerReadFriendlyName" resolved.
// Destroying it frees the library (FreeLibrary).
class OsPowerLibrary {
 public:
  virtual ~OsPowerLibrary() = default;
  // PowerEnumerate(NULL, NULL, NULL, ACCESS_SCHEME, index, buffer, &size)
  // into a buffer of one GUID: the plan GUID at `index`; nothing when the
  // call fails (past the last plan, too).
  virtual std::optional<Guid> PowerEnumerate(uint32_t index) = 0;
  // PowerReadFriendlyName(NULL, &plan, NULL, NULL, buffer, &sizeInBytes)
  // into a buffer of kFriendlyNameBufferBytes: the plan's name; nothing when
  // the call fails, also for a name that does not fit (terminator included).
  virtual std::optional<std::wstring> PowerReadFriendlyName(const Guid& plan) = 0;
  // Whether the library exports "PowerGetActiveScheme" (looked up at run
  // time; it is optional, unlike the two functions above).
  virtual bool HasPowerGetActiveScheme() = 0;
  // PowerGetActiveScheme(NULL, &active), the returned GUID freed with
  // LocalFree: 0 when `active` holds the active plan's GUID. Only called when
  // HasPowerGetActiveScheme() is true.
  virtual uint32_t PowerGetActiveScheme(Guid& active) = 0;
};

class OsPower {
 public:
  // LoadLibraryW("powrprof.dll") and GetProcAddress of "PowerEnumerate", then
  // "PowerReadFriendlyName". No library when it cannot be loaded or either
  // function is missing; the library is freed on those paths.
  virtual std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() = 0;
  // EnumPwrSchemes (Windows XP): the schemes' names in the order listed, a
  // scheme reported without a name as an empty one; nothing when the
  // enumeration failed.
  virtual std::optional<std::vector<std::wstring>> EnumPwrSchemes() = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsPower() = default;
};

}  // namespace tav
