#include "power/plan_discovery.h"

#include "power/builtin_plans.h"
#include "power/plan_list.h"
#include "settings/current_plan_record.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

constexpr uint32_t kNotImplemented = 120;  // ERROR_CALL_NOT_IMPLEMENTED

// COM initialised for the lifetime of the scope; uninitialised only when the
// initialisation succeeded, so the calls stay balanced.
class ComScope {
 public:
  explicit ComScope(Os& os) : os_(os), initialized_(os.CoInitialize()) {}
  ~ComScope() {
    if (initialized_) os_.CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  Os& os_;
  bool initialized_;
};

std::wstring StripBraces(const std::wstring& text) { return StripRepeated(text, L'{', L'}'); }

// Walks the system's plans for the recorded GUID or, without one, for the
// first plan named like the dedicated plan. 1 when found; `planGuid` then
// holds its GUID text (the recorded one, or the enumerated plan's). One of
// Windows' own plans is never taken for the dedicated plan, whatever a record
// or its name says: the configuration would overwrite the user's settings.
int SearchPlans(Os& os, OsPowerLibrary& library, std::wstring& planGuid) {
  if (!planGuid.empty())
    return !IsBuiltInPlan(planGuid) && PlanIsListed(os, library, planGuid) ? 1 : 0;
  std::wstring text;
  const std::optional<Guid> found = FindListedPlan(library, [&](const Guid& guid) {
    std::wstring name;
    uint32_t nameSize = kFriendlyNameBufferBytes;
    if (library.PowerReadFriendlyName(guid, name, nameSize) != 0) return false;  // unreadable
    if (name != kDedicatedPlanName) return false;
    text = PlanGuidToString(os, guid);
    return !IsBuiltInPlan(text);
  });
  if (!found) return 0;
  planGuid = std::move(text);
  return 1;
}

}  // namespace

int FindDedicatedPlanGuid(Os& os, int& mustCreate, std::wstring& planGuid) {
  planGuid.clear();
  CurrentRecordFile record = OpenCurrentRecordFile(os, 1);
  if (!ReadCurrentPlanGuid(os, record, planGuid)) return 0;
  if (!planGuid.empty()) planGuid = StripBraces(planGuid);
  const std::wstring recorded = planGuid;
  Trace(os, recorded.empty() ? L"plan: no GUID recorded in " + Quoted(record.Path)
                             : L"plan: GUID " + recorded + L" recorded in " + Quoted(record.Path));

  {
    std::unique_ptr<OsPowerLibrary> library = os.LoadPowerLibrary();
    if (!library) {
      Trace(os, L"plan: powrprof.dll cannot be loaded or lacks PowerEnumerate or "
                L"PowerReadFriendlyName: discovery failed");
      return 0;
    }
    if (!recorded.empty() && IsBuiltInPlan(recorded))
      Trace(os, L"plan: the recorded GUID is one of Windows' own plans: not used");
    const int found = SearchPlans(os, *library, planGuid);
    mustCreate = (found && !planGuid.empty()) ? 0 : 1;
  }  // the library is freed before COM is touched

  if (mustCreate == 0) {
    Trace(os, recorded.empty() ? L"plan: found by its name: " + planGuid
                               : L"plan: found by its recorded GUID");
    return 1;
  }
  Guid guid{};
  {
    ComScope com(os);
    if (!os.CoCreateGuid(guid)) {
      Trace(os, L"plan: not found, and CoCreateGuid failed: discovery failed");
      return 0;
    }
  }
  planGuid = PlanGuidToString(os, guid);
  if (planGuid.empty()) {
    Trace(os, L"plan: not found, and the new GUID has no text form: discovery failed");
    return 0;
  }
  Trace(os, L"plan: not found; it is made as " + planGuid);
  return 1;
}

int ConfirmDedicatedPlanActive(Os& os, const std::wstring& planGuid) {
  if (planGuid.empty()) return 0;
  std::unique_ptr<OsPowerLibrary> library = os.LoadPowerLibrary();
  if (!library) {
    Trace(os, L"active plan: powrprof.dll cannot be loaded: not confirmed");
    return 0;
  }
  // Asks the system, not powercfg.exe: its exit codes are never read, and an
  // activation refused by a policy, or of a plan that was never made, leaves
  // another plan active. A library whose PowerGetActiveScheme answers "not
  // implemented" (Wine's) lacks it as much as one without the export.
  Guid active{};
  const uint32_t error =
      library->HasPowerGetActiveScheme() ? library->PowerGetActiveScheme(active) : kNotImplemented;
  if (error == kNotImplemented) {
    // The activation cannot be seen; the plan must at least exist.
    const bool listed = PlanIsListed(os, *library, planGuid);
    Trace(os, listed ? L"active plan: PowerGetActiveScheme missing; the plan exists"
                     : L"active plan: PowerGetActiveScheme missing, and the plan does not "
                       L"exist: nothing more is run");
    return listed ? 1 : 0;
  }
  if (error != 0) {
    Trace(os, L"active plan: PowerGetActiveScheme failed with " + std::to_wstring(error) +
                  L": not confirmed");
    return 0;
  }
  const std::wstring activeGuid = PlanGuidToString(os, active);
  if (!EqualsIgnoreCase(activeGuid, planGuid)) {
    Trace(os, L"active plan: " + activeGuid + L", not " + planGuid +
                  L" (a policy keeps the active plan, or the plan was not made): "
                  L"nothing more is run");
    return 0;
  }
  Trace(os, L"active plan: " + planGuid + L", confirmed");
  return 1;
}

bool SchemeSearchCallback(const std::wstring& schemeName, void* context) {
  if (context == nullptr) return true;
  SchemeSearch& search = *static_cast<SchemeSearch*>(context);
  if (EqualsIgnoreCase(schemeName, search.targetName)) {
    search.found = 1;
    search.targetName = schemeName;
    return false;
  }
  search.lastName = schemeName;
  return true;
}

int FindSchemeByName(Os& os, int& mustCreate, std::wstring& baseSchemeName) {
  baseSchemeName.clear();
  SchemeSearch search;
  search.targetName = mustCreate == 0 ? kDedicatedPlanName : kXpBaseSchemeName;
  if (!os.EnumPwrSchemes(&SchemeSearchCallback, &search)) {
    Trace(os, L"scheme: EnumPwrSchemes failed: discovery failed");
    return 0;
  }
  if (search.found == 0) {
    mustCreate = 1;
    // The dedicated scheme is missing: look for the base scheme instead.
    if (!EqualsIgnoreCase(search.targetName, kXpBaseSchemeName)) {
      search.targetName = kXpBaseSchemeName;
      os.EnumPwrSchemes(&SchemeSearchCallback, &search);
    }
  }
  baseSchemeName = search.found == 1 ? search.targetName : search.lastName;
  Trace(os, std::wstring(mustCreate == 0 ? L"scheme: found by its name"
                                         : L"scheme: it is made; base scheme ") +
                (mustCreate == 0 ? L"" : Quoted(baseSchemeName)));
  return 1;
}

}  // namespace tav
