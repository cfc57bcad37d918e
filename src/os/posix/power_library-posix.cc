// The power library stand-in: "PowerEnumerate", "PowerReadFriendlyName",
// "PowerGetActiveScheme" and "EnumPwrSchemes" answered from the plan store
// file that the powercfg stand-in keeps.
#include <memory>
#include <vector>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/plan_store_format.h"

namespace tav::posix {
namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorInvalidData = 13;

// UTF-16 code units of a wide string.
uint32_t Utf16Units(const std::wstring& text) {
  uint32_t units = 0;
  for (wchar_t c : text) units += static_cast<uint32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

class StandinPowerLibrary : public OsPowerLibrary {
 public:
  explicit StandinPowerLibrary(std::shared_ptr<const standin::PlanStore> store)
      : store_(std::move(store)) {}

  std::optional<Guid> PlanAt(uint32_t index) override {
    if (index >= store_->Plans.size()) return std::nullopt;  // ERROR_NO_MORE_ITEMS
    Guid guid;
    if (!ParseGuid(store_->Plans[index].Guid, guid)) return std::nullopt;  // ERROR_INVALID_DATA
    return guid;
  }

  std::optional<std::wstring> PlanName(const Guid& plan) override {
    for (const standin::Plan& candidate : store_->Plans) {
      Guid guid;
      if (!ParseGuid(candidate.Guid, guid) || !(guid == plan)) continue;
      if (candidate.NameUnreadable) return std::nullopt;  // ERROR_ACCESS_DENIED
      std::wstring text = FromUtf8(candidate.Name);
      // ERROR_MORE_DATA: the name and its terminator do not fit the buffer.
      if ((Utf16Units(text) + 1) * 2 > kFriendlyNameBufferBytes) return std::nullopt;
      return text;
    }
    return std::nullopt;  // ERROR_FILE_NOT_FOUND
  }

  // The store's active plan, as the system reports its active scheme.
  ActivePlanReading ActivePlan() override {
    using Status = ActivePlanReading::Status;
    if (store_->ActivePlan.empty()) return {Status::kFailed, {}, kErrorFileNotFound};
    Guid active;
    if (!ParseGuid(store_->ActivePlan, active)) return {Status::kFailed, {}, kErrorInvalidData};
    return {Status::kRead, active, 0};
  }

 private:
  std::shared_ptr<const standin::PlanStore> store_;  // shared with the cache, never changed
};

}  // namespace

std::unique_ptr<OsPowerLibrary> LoadStandinPowerLibrary(
    std::shared_ptr<const standin::PlanStore> store) {
  if (!store) return nullptr;
  return std::make_unique<StandinPowerLibrary>(std::move(store));
}

std::optional<std::vector<std::wstring>> EnumStandinSchemes(
    const std::shared_ptr<const standin::PlanStore>& store) {
  if (!store) return std::nullopt;
  std::vector<std::wstring> names;
  names.reserve(store->Schemes.size());
  for (const standin::Scheme& scheme : store->Schemes) names.push_back(FromUtf8(scheme.Name));
  return names;
}

}  // namespace tav::posix
