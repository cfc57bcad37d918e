#include "power/plan_discovery.h"

#include "power/builtin_plans.h"
#include "power/plan_list.h"
#include "settings/current_plan_record.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {


// COM initialised for the lifetime of the scope; uninitialised only when the
// initialisation succeeded, so the calls stay balanced.
class ComScope {
 public:
  explicit ComScope(Os& os) : os_(os), initialized_(os.com().Start()) {}
  ~ComScope() {
    if (initialized_) os_.com().Stop();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  Os& os_;
  bool initialized_;
};

// Walks the system's plans for the recorded GUID or, without one, for the
// first plan named like the dedicated plan. True when found; `planGuid` then
// holds its GUID text (the recorded one, or the enumerated plan's). One of
// Windows' own plans is never taken for the dedicated plan, whatever a record
// or its name says: the configuration would overwrite the user's settings.
bool SearchPlans(Os& os, OsPowerLibrary& library, std::wstring& planGuid) {
  if (!planGuid.empty()) return !IsBuiltInPlan(planGuid) && PlanIsListed(os, library, planGuid);
  std::wstring text;
  const std::optional<Guid> found = FindListedPlan(library, [&](const Guid& guid) {
    const std::optional<std::wstring> name = library.PlanName(guid);
    if (!name || *name != kDedicatedPlanName) return false;  // unreadable, or another name
    text = PlanGuidToString(os, guid);
    return !IsBuiltInPlan(text);
  });
  if (!found) return false;
  planGuid = std::move(text);
  return true;
}

}  // namespace

std::optional<DedicatedPlan> FindDedicatedPlan(Os& os, const PinnedDataFolder& dataFolder) {
  const CurrentRecordFile record = OpenCurrentRecordFile(os, dataFolder, RecordFile::kMachine);
  // A machine-wide record that failed its checks is not read: discovery fails.
  std::optional<std::wstring> recordedGuid = ReadCurrentPlanGuid(os, record);
  if (!recordedGuid) return std::nullopt;
  std::wstring planGuid = std::move(*recordedGuid);
  if (!planGuid.empty()) planGuid = StripBraces(planGuid);
  const std::wstring recorded = planGuid;
  Trace(os, recorded.empty() ? L"plan: no GUID recorded in " + Quoted(record.Path)
                             : L"plan: GUID " + recorded + L" recorded in " + Quoted(record.Path));

  bool found = false;
  {
    std::unique_ptr<OsPowerLibrary> library = os.power().OpenLibrary();
    if (!library) {
      Trace(os, L"plan: powrprof.dll cannot be loaded or lacks PowerEnumerate or "
                L"PowerReadFriendlyName: discovery failed");
      return std::nullopt;
    }
    if (!recorded.empty() && IsBuiltInPlan(recorded))
      Trace(os, L"plan: the recorded GUID is one of Windows' own plans: not used");
    found = SearchPlans(os, *library, planGuid) && !planGuid.empty();
  }  // the library is freed before COM is touched

  if (found) {
    Trace(os, recorded.empty() ? L"plan: found by its name: " + planGuid
                               : L"plan: found by its recorded GUID");
    return DedicatedPlan{std::move(planGuid), false};
  }
  std::optional<Guid> guid;
  {
    ComScope com(os);
    guid = os.com().NewGuid();
    if (!guid) {
      Trace(os, L"plan: not found, and CoCreateGuid failed: discovery failed");
      return std::nullopt;
    }
  }
  planGuid = PlanGuidToString(os, *guid);
  if (planGuid.empty()) {
    Trace(os, L"plan: not found, and the new GUID has no text form: discovery failed");
    return std::nullopt;
  }
  Trace(os, L"plan: not found; it is made as " + planGuid);
  return DedicatedPlan{std::move(planGuid), true};
}

bool ConfirmDedicatedPlanActive(Os& os, const std::wstring& planGuid) {
  if (planGuid.empty()) return false;
  std::unique_ptr<OsPowerLibrary> library = os.power().OpenLibrary();
  if (!library) {
    Trace(os, L"active plan: powrprof.dll cannot be loaded: not confirmed");
    return false;
  }
  // Asks the system, not powercfg.exe: its exit codes are never read, and an
  // activation refused by a policy, or of a plan that was never made, leaves
  // another plan active. A library whose PowerGetActiveScheme answers "not
  // implemented" (Wine's) lacks it as much as one without the export.
  const ActivePlanReading active = library->ActivePlan();
  if (active.Result == ActivePlanReading::Status::kNotImplemented) {
    // The activation cannot be seen; the plan must at least exist.
    const bool listed = PlanIsListed(os, *library, planGuid);
    Trace(os, listed ? L"active plan: PowerGetActiveScheme missing; the plan exists"
                     : L"active plan: PowerGetActiveScheme missing, and the plan does not "
                       L"exist: nothing more is run");
    return listed;
  }
  if (active.Result == ActivePlanReading::Status::kFailed) {
    Trace(os, L"active plan: PowerGetActiveScheme failed with " + std::to_wstring(active.Error) +
                  L": not confirmed");
    return false;
  }
  const std::wstring activeGuid = PlanGuidToString(os, active.Plan);
  if (!EqualsIgnoreCase(activeGuid, planGuid)) {
    Trace(os, L"active plan: " + activeGuid + L", not " + planGuid +
                  L" (a policy keeps the active plan, or the plan was not made): "
                  L"nothing more is run");
    return false;
  }
  Trace(os, L"active plan: " + planGuid + L", confirmed");
  return true;
}

void SearchSchemeList(const std::vector<std::wstring>& schemeNames, SchemeSearch& search) {
  for (const std::wstring& schemeName : schemeNames) {
    if (EqualsIgnoreCase(schemeName, search.TargetName)) {
      search.Found = true;
      search.TargetName = schemeName;
      return;
    }
    search.LastName = schemeName;
  }
}

std::optional<SchemeChoice> FindSchemeByName(Os& os, SchemeSearchMode mode) {
  SchemeSearch search;
  search.TargetName =
      mode == SchemeSearchMode::kDedicatedThenBase ? kDedicatedPlanName : kXpBaseSchemeName;
  const std::optional<std::vector<std::wstring>> schemes = os.power().SchemeNames();
  if (!schemes) {
    Trace(os, L"scheme: EnumPwrSchemes failed: discovery failed");
    return std::nullopt;
  }
  SearchSchemeList(*schemes, search);
  SchemeChoice choice;
  choice.MustCreate = mode == SchemeSearchMode::kBaseOnly;
  if (!search.Found) {
    choice.MustCreate = true;
    // The dedicated scheme is missing: look for the base scheme instead.
    if (!EqualsIgnoreCase(search.TargetName, kXpBaseSchemeName)) {
      search.TargetName = kXpBaseSchemeName;
      if (const auto again = os.power().SchemeNames()) SearchSchemeList(*again, search);
    }
  }
  choice.BaseSchemeName = search.Found ? search.TargetName : search.LastName;
  Trace(os, std::wstring(!choice.MustCreate ? L"scheme: found by its name"
                                            : L"scheme: it is made; base scheme ") +
                (!choice.MustCreate ? L"" : Quoted(choice.BaseSchemeName)));
  return choice;
}

}  // namespace tav
