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

// What asking the library for the active plan gave.
struct ActivePlanReading {
  enum class Status {
    kRead,            // `plan` is the active plan
    kNotImplemented,  // the library lacks the call, or answers that it has none
    kFailed,          // the call failed with `error`
  };
  Status Result = Status::kNotImplemented;
  Guid Plan{};
  uint32_t Error = 0;  // the system's error number, for the trace
};

// "powrprof.dll" with its plan functions resolved. Destroying it frees the
// library.
class OsPowerLibrary {
 public:
  virtual ~OsPowerLibrary() = default;
  // PowerEnumerate(NULL, NULL, NULL, ACCESS_SCHEME, index, ...): the plan
  // GUID at `index`; nothing when the call fails (past the last plan, too).
  virtual std::optional<Guid> PlanAt(uint32_t index) = 0;
  // PowerReadFriendlyName into a buffer of kFriendlyNameBufferBytes: the
  // plan's name; nothing when the call fails, also for a name that does not
  // fit (terminator included).
  virtual std::optional<std::wstring> PlanName(const Guid& plan) = 0;
  // PowerGetActiveScheme, looked up at run time (it is optional, unlike the
  // two calls above); the GUID it returns is freed.
  virtual ActivePlanReading ActivePlan() = 0;
};

class OsPower {
 public:
  // Loads "powrprof.dll" and resolves "PowerEnumerate", then
  // "PowerReadFriendlyName". Nothing when it cannot be loaded or either
  // function is missing; the library is freed on those paths.
  virtual std::unique_ptr<OsPowerLibrary> OpenLibrary() = 0;
  // EnumPwrSchemes (Windows XP): the schemes' names in the order listed, a
  // scheme reported without a name as an empty one; nothing when the
  // enumeration failed.
  virtual std::optional<std::vector<std::wstring>> SchemeNames() = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsPower() = default;
};

}  // namespace tav
