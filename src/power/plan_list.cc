#include "power/plan_list.h"

#include "shared/text.h"

namespace tav {
bool PlanIsListed(Os& os, OsPowerLibrary& library, const std::wstring& planGuid) {
  return FindListedPlan(library, [&](const Guid& guid) {
           return EqualsIgnoreCase(PlanGuidToString(os, guid), planGuid);
         }).has_value();
}

std::wstring PlanGuidToString(Os& os, const Guid& guid) {
  const std::optional<std::wstring> text = os.com().GuidText(guid);
  return text ? StripBraces(*text) : L"";
}

std::wstring StripBraces(const std::wstring& text) { return StripRepeated(text, L'{', L'}'); }

}  // namespace tav
