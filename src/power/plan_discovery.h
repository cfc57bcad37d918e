// Finds the dedicated power plan by its recorded GUID or its name, or the
// Windows XP scheme to base it on; and the text form of a plan GUID.
#pragma once

#include <string>

#include "os/os.h"
#include "power/plan_list.h"

namespace tav {

inline constexpr wchar_t kDedicatedPlanName[] = L"Vantrel電源プラン";
inline constexpr wchar_t kXpBaseSchemeName[] = L"バッテリの最大利用";
inline constexpr uint32_t kFriendlyNameBufferBytes = 1024;

// 1: `planGuid` holds a GUID text and `mustCreate` says whether that plan
// still has to be made; 0: failure.
int FindDedicatedPlanGuid(Os& os, int& mustCreate, std::wstring& planGuid);
// Windows XP. 1 when the scheme list could be read; `mustCreate` is read and
// may become 1; `baseSchemeName` names the scheme to fall back on.
int FindSchemeByName(Os& os, int& mustCreate, std::wstring& baseSchemeName);
// 1 when the system reports `planGuid` as its active plan
// ("PowerGetActiveScheme"), or, where the power library lacks that function
// or answers ERROR_CALL_NOT_IMPLEMENTED, when the plan at least exists. 0 otherwise, and when the power
// library cannot be loaded.
int ConfirmDedicatedPlanActive(Os& os, const std::wstring& planGuid);

// The context of one Windows XP scheme search.
struct SchemeSearch {
  int found = 0;
  std::wstring targetName;
  std::wstring lastName;
};

// The EnumPwrSchemes callback; `context` is a SchemeSearch (null: go on).
bool SchemeSearchCallback(const std::wstring& schemeName, void* context);

}  // namespace tav
