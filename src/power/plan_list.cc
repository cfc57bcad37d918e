#include "power/plan_list.h"

#include "shared/text.h"

namespace tav {
namespace {

constexpr uint32_t kGuidBufferBytes = 16;

}  // namespace

std::optional<Guid> FindListedPlan(OsPowerLibrary& library,
                                   const std::function<bool(const Guid&)>& matches) {
  for (uint32_t index = 0;; ++index) {
    Guid guid{};
    uint32_t size = kGuidBufferBytes;
    if (library.PowerEnumerate(index, guid, size) != 0) return std::nullopt;
    if (matches(guid)) return guid;
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
