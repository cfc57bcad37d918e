// The system's list of power plans, as the power library enumerates it, and
// the text form of a plan GUID.
#pragma once

#include <optional>
#include <string>

#include "os/os.h"

namespace tav {

// The first listed plan for which `matches(guid)` is true, in the order the
// library lists them; nothing when none matches or the list cannot be read.
// The one walk over the plan list.
template <typename Matches>
std::optional<Guid> FindListedPlan(OsPowerLibrary& library, Matches&& matches) {
  for (uint32_t index = 0;; ++index) {
    const std::optional<Guid> guid = library.PlanAt(index);
    if (!guid) return std::nullopt;
    if (matches(*guid)) return guid;
  }
}
// Whether the system's plan list holds `planGuid` (text form, any case).
bool PlanIsListed(Os& os, OsPowerLibrary& library, const std::wstring& planGuid);
// "a1841308-3541-..." form without braces; empty when the conversion fails.
std::wstring PlanGuidToString(Os& os, const Guid& guid);
// A GUID text without its surrounding braces (any number of them).
std::wstring StripBraces(const std::wstring& text);

}  // namespace tav
