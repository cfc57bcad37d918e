// The power library stand-in: "PowerEnumerate", "PowerReadFriendlyName",
// "PowerGetActiveScheme" and "EnumPwrSchemes" answered from the plan store file that the powercfg
// stand-in keeps.
#include <memory>
#include <vector>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/plan_store.h"

namespace tav::posix {
namespace {

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kGuidBytes = 16;

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

  uint32_t PowerEnumerate(uint32_t index, Guid& guid, uint32_t& bufferSize) override {
    if (index >= store_->plans.size()) return kErrorNoMoreItems;
    if (bufferSize < kGuidBytes) {
      bufferSize = kGuidBytes;
      return kErrorMoreData;
    }
    if (!ParseGuid(store_->plans[index].guid, guid)) return kErrorInvalidData;
    bufferSize = kGuidBytes;
    return kErrorSuccess;
  }

  uint32_t PowerReadFriendlyName(const Guid& plan, std::wstring& name,
                                 uint32_t& bufferSizeBytes) override {
    for (const standin::Plan& candidate : store_->plans) {
      Guid guid;
      if (!ParseGuid(candidate.guid, guid) || !(guid == plan)) continue;
      if (candidate.nameUnreadable) return kErrorAccessDenied;
      std::wstring text = FromUtf8(candidate.name);
      uint32_t needed = (Utf16Units(text) + 1) * 2;
      if (needed > bufferSizeBytes) {
        bufferSizeBytes = needed;
        return kErrorMoreData;
      }
      name = text;
      bufferSizeBytes = needed;
      return kErrorSuccess;
    }
    return kErrorFileNotFound;
  }

  bool HasPowerGetActiveScheme() override { return true; }

  // The store's active plan, as the system reports its active scheme.
  uint32_t PowerGetActiveScheme(Guid& active) override {
    if (store_->activePlan.empty()) return kErrorFileNotFound;
    return ParseGuid(store_->activePlan, active) ? kErrorSuccess : kErrorInvalidData;
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

bool EnumStandinSchemes(const std::string& storePath, SchemeCallback callback, void* context) {
  standin::PlanStore store;
  if (!standin::LoadPlanStore(storePath, store)) return false;
  for (const standin::Scheme& scheme : store.schemes) {
    if (!callback(FromUtf8(scheme.name), context)) break;
  }
  return true;
}

}  // namespace tav::posix
