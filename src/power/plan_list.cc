#include "power/plan_list.h"

#include "shared/text.h"

namespace tav {
std::optional<Guid> FindListedPlan(OsPowerLibrary& library,
                                   const std::function<bool(const Guid&)>& matches) {
  for (uint32_t index = 0;; ++index) {
    const std::optional<Guid> guid = library.PowerEnumerate(index);
    if (!guid) return std::nullopt;
    if (matches(*guid)) return guid;
  }
}

bool PlanIsListed(Os& os, OsPowerLibrary& library, const std::wstring& planGuid) {
  return FindListedPlan(library, [&](const Guid& guid) {
           return EqualsIgnoreCase(PlanGuidToString(os, guid), planGuid);
         }).has_value();
}

std::wstring PlanGuidToString(Os& os, const Guid& guid) {
  std::wstring text;
  if (!os.StringFromClsid(guid, text)) return L"";
  return StripRepeated(text, L'{', L'}');
}

}  // namespace tav
