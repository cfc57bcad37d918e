// Finds the dedicated power plan by its recorded GUID or its name, or the
// Windows XP scheme to base it on; and the text form of a plan GUID.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "os/os.h"
#include "power/plan_list.h"
#include "settings/pinned_data_folder.h"

namespace tav {

inline constexpr wchar_t kDedicatedPlanName[] = L"Vantrel電源プラン";
inline constexpr wchar_t kXpBaseSchemeName[] = L"バッテリの最大利用";

// The plan that discovery settled on.
struct DedicatedPlan {
  std::wstring Guid;        // text form without braces
  bool MustCreate = false;  // a new GUID: the plan has yet to be made
};

// The dedicated plan by its recorded GUID (in the record of `dataFolder`,
// held by the caller) or its name, or a new GUID for it; nothing when
// discovery failed.
std::optional<DedicatedPlan> FindDedicatedPlan(Os& os, const PinnedDataFolder& dataFolder);

// What a Windows XP scheme search looks for.
enum class SchemeSearchMode {
  kDedicatedThenBase,  // the dedicated scheme; the base scheme when it is missing
  kBaseOnly,           // creation is decided: only the scheme to base it on
};

// The outcome of a Windows XP scheme search.
struct SchemeChoice {
  bool MustCreate = false;     // the dedicated scheme is missing (always for BaseOnly)
  std::wstring BaseSchemeName;  // the scheme to fall back on
};

// Windows XP: nothing when the scheme list cannot be read.
std::optional<SchemeChoice> FindSchemeByName(Os& os, SchemeSearchMode mode);

// True when the system reports `planGuid` as its active plan
// ("PowerGetActiveScheme"), or, where the power library lacks that function
// or answers ERROR_CALL_NOT_IMPLEMENTED, when the plan at least exists.
// False otherwise, and when the power library cannot be loaded.
bool ConfirmDedicatedPlanActive(Os& os, const std::wstring& planGuid);

// One search of a scheme list for `targetName` (any case): on a match,
// `found` is set and `targetName` takes the listed spelling; `lastName` is
// the last name passed over.
struct SchemeSearch {
  bool Found = false;
  std::wstring TargetName;
  std::wstring LastName;
};
void SearchSchemeList(const std::vector<std::wstring>& schemeNames, SchemeSearch& search);

}  // namespace tav
