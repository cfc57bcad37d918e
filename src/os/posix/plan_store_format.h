// The plan store file's format: the state of the stand-in power management,
// kept in one text file that the POSIX layer's power library reads (see
// PlanStoreCache) and the stand-ins (powercfg, the Windows powrprof.dll) keep
// (tools/standins/plan_store/). The text both ways and the store's rules;
// plain C++ without any file access, so the Windows stand-ins build it too.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tav::standin {

// Setting names used as value keys: "monitor-timeout", "disk-timeout",
// "standby-timeout", "hibernate-timeout", "brightness".
struct PowerValues {
  std::map<std::string, int> Ac;
  std::map<std::string, int> Dc;
};

// A GUID-addressed power plan (Windows Vista and later).
struct Plan {
  std::string Guid;  // lower case, no braces
  std::string Name;  // UTF-8
  std::string Description;
  bool NameUnreadable = false;  // PowerReadFriendlyName fails for this plan
  PowerValues Values;
};

// A name-addressed power scheme (Windows XP).
struct Scheme {
  std::string Name;  // UTF-8
  PowerValues Values;
};

struct PlanStore {
  std::vector<Plan> Plans;  // in enumeration order
  std::string ActivePlan;   // GUID
  std::vector<Scheme> Schemes;
  std::string ActiveScheme;  // name
};

// The file's name in the stand-ins' state folder.
inline constexpr char kPlanStoreFileName[] = "plan-store.txt";

// The store that a missing file stands for: Balanced, High performance and
// Power saver plans, and the Windows XP schemes (among them "バッテリの最大利用").
PlanStore DefaultPlanStore();
// A decimal int with an optional "-", nothing else; false when it does not fit.
bool ParseInteger(const std::string& text, int& value);

// The file's text for a store, and back. Parsing is strict: an unknown key,
// a malformed GUID or value, or a duplicate plan or scheme fails.
std::string FormatPlanStore(const PlanStore& store);
bool ParsePlanStore(const std::string& text, PlanStore& store);
// The same check of the text, the plans' and schemes' power values left out:
// for a reader of names and active entries only.
bool ParsePlanStoreWithoutValues(const std::string& text, PlanStore& store);

// GUID text: 36 characters "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", with or
// without braces, in any letter case. Normalised: lower case, no braces.
bool IsGuidText(const std::string& text);
std::string NormalizeGuidText(const std::string& text);  // empty when not a GUID

// Look-ups: plans by GUID text (any case, braces allowed), schemes by name
// without regard to ASCII letter case. Null when missing.
Plan* FindPlan(PlanStore& store, const std::string& guid);
const Plan* FindPlan(const PlanStore& store, const std::string& guid);
Scheme* FindScheme(PlanStore& store, const std::string& name);
const Scheme* FindScheme(const PlanStore& store, const std::string& name);

}  // namespace tav::standin
