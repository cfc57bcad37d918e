#include "standins/powercfg/commands.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace tav::standin {
namespace {

constexpr char kDisplaySubgroup[] = "7516b95f-f776-4464-8c53-06167f40cc99";
constexpr char kBrightnessSetting[] = "aded5e82-b909-4619-9949-f5d71dac0bcb";

using Args = std::vector<std::string>;

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool IsSwitch(const std::string& arg) { return !arg.empty() && (arg[0] == '/' || arg[0] == '-'); }

CommandResult Fail(const std::string& message) {
  CommandResult result;
  result.ExitCode = 1;
  result.Output = "Invalid Parameters -- " + message + "\n";
  return result;
}

CommandResult Done(bool changed, std::string output = "") {
  CommandResult result;
  result.Changed = changed;
  result.Output = std::move(output);
  return result;
}

// A plan or scheme named on the command line: GUID text names a plan,
// anything else a Windows XP scheme.
struct Target {
  Plan* plan = nullptr;
  Scheme* scheme = nullptr;
  explicit operator bool() const { return plan || scheme; }
  PowerValues& values() const { return plan ? plan->Values : scheme->Values; }
};

Target Resolve(PlanStore& store, const std::string& arg) {
  Target target;
  if (IsGuidText(arg)) target.plan = FindPlan(store, arg);
  else target.scheme = FindScheme(store, arg);
  return target;
}

// "/monitor-timeout-ac" and the like: the setting key and the power source.
bool ParseTimeoutSwitch(const std::string& arg, std::string& key, bool& ac) {
  if (!IsSwitch(arg)) return false;
  const std::string name = Lower(arg.substr(1));
  static const char* const kSettings[] = {"monitor-timeout", "disk-timeout", "standby-timeout",
                                          "hibernate-timeout"};
  for (const char* setting : kSettings) {
    const std::string s = setting;
    if (name == s + "-ac" || name == s + "-dc") {
      key = s;
      ac = name.compare(name.size() - 3, 3, "-ac") == 0;
      return true;
    }
  }
  return false;
}

// A sub-group or setting: GUID text or an alias such as SUB_VIDEO.
bool SettingToken(const std::string& arg, std::string& token) {
  token = NormalizeGuidText(arg);
  if (!token.empty()) return true;
  if (arg.empty()) return false;
  for (char c : arg)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  token = Lower(arg);
  return true;
}

void AppendValues(const PowerValues& values, std::string& out) {
  for (const auto& [key, v] : values.Ac) out += "  AC " + key + ": " + std::to_string(v) + "\n";
  for (const auto& [key, v] : values.Dc) out += "  DC " + key + ": " + std::to_string(v) + "\n";
}

CommandResult List(const Args&, PlanStore& store) {
  std::string out = "Existing Power Schemes (* Active)\n-----------------------------------\n";
  for (const Plan& plan : store.Plans) {
    out += "Power Scheme GUID: " + plan.Guid + "  (" + plan.Name + ")";
    out += plan.Guid == NormalizeGuidText(store.ActivePlan) ? " *\n" : "\n";
  }
  out += "\nWindows XP Power Schemes (* Active)\n-----------------------------------\n";
  const Scheme* active = FindScheme(store, store.ActiveScheme);
  for (const Scheme& scheme : store.Schemes)
    out += scheme.Name + (&scheme == active ? " *\n" : "\n");
  return Done(false, out);
}

CommandResult Query(const Args& args, PlanStore& store) {
  Target target = Resolve(store, args.empty() ? store.ActivePlan : args[0]);
  if (!target) return Fail("no such power scheme");
  std::string out;
  if (target.plan) {
    out = "Power Scheme GUID: " + target.plan->Guid + "  (" + target.plan->Name + ")\n";
    out += "  Description: " + target.plan->Description + "\n";
  } else {
    out = "Power Scheme: " + target.scheme->Name + "\n";
  }
  AppendValues(target.values(), out);
  return Done(false, out);
}

CommandResult SetActive(const Args& args, PlanStore& store) {
  Target target = Resolve(store, args[0]);
  if (!target) return Fail("no such power scheme");
  if (target.plan) store.ActivePlan = target.plan->Guid;
  else store.ActiveScheme = target.scheme->Name;
  return Done(true);
}

// /CHANGE /x-timeout-ac N on the active plan, or /CHANGE "name" /x-timeout-ac N.
CommandResult Change(const Args& args, PlanStore& store) {
  Target target;
  if (args.size() == 2) target.plan = FindPlan(store, store.ActivePlan);
  else target = Resolve(store, args[0]);
  if (!target) return Fail("no such power scheme");
  std::string key;
  bool ac = true;
  int value = 0;
  if (!ParseTimeoutSwitch(args[args.size() - 2], key, ac)) return Fail("unknown setting");
  if (!ParseInteger(args.back(), value)) return Fail("not a number");
  (ac ? target.values().Ac : target.values().Dc)[key] = value;
  return Done(true);
}

CommandResult ChangeName(const Args& args, PlanStore& store) {
  Plan* plan = FindPlan(store, args[0]);
  if (!plan) return Fail("no such power scheme");
  plan->Name = args[1];
  if (args.size() == 3) plan->Description = args[2];
  return Done(true);
}

CommandResult DuplicateScheme(const Args& args, PlanStore& store) {
  const Plan* source = FindPlan(store, args[0]);
  const std::string guid = NormalizeGuidText(args[1]);
  if (!source) return Fail("no such power scheme");
  if (guid.empty() || FindPlan(store, guid)) return Fail("bad destination GUID");
  Plan copy = *source;
  copy.Guid = guid;
  store.Plans.push_back(copy);
  return Done(true);
}

CommandResult SetValueIndex(const Args& args, PlanStore& store, bool ac) {
  Plan* plan = FindPlan(store, args[0]);
  std::string subgroup, setting;
  int value = 0;
  if (!plan) return Fail("no such power scheme");
  if (!SettingToken(args[1], subgroup) || !SettingToken(args[2], setting))
    return Fail("bad sub-group or setting");
  if (!ParseInteger(args[3], value)) return Fail("not a number");
  const std::string key = subgroup == kDisplaySubgroup && setting == kBrightnessSetting
                              ? "brightness" : subgroup + "/" + setting;
  (ac ? plan->Values.Ac : plan->Values.Dc)[key] = value;
  return Done(true);
}

// Windows XP: a new scheme with the values of the active one.
CommandResult Create(const Args& args, PlanStore& store) {
  const Scheme* active = FindScheme(store, store.ActiveScheme);
  if (args[0].empty() || IsSwitch(args[0]) || FindScheme(store, args[0]))
    return Fail("bad scheme name");
  if (!active) return Fail("no active scheme");
  store.Schemes.push_back({args[0], active->Values});
  return Done(true);
}

// Like Windows, the active plan or scheme cannot be deleted.
CommandResult Delete(const Args& args, PlanStore& store) {
  Target target = Resolve(store, args[0]);
  if (!target) return Fail("no such power scheme");
  if (target.plan) {
    if (target.plan->Guid == NormalizeGuidText(store.ActivePlan))
      return Fail("the active power scheme cannot be deleted");
    store.Plans.erase(store.Plans.begin() + (target.plan - store.Plans.data()));
  } else {
    if (FindScheme(store, store.ActiveScheme) == target.scheme)
      return Fail("the active power scheme cannot be deleted");
    store.Schemes.erase(store.Schemes.begin() + (target.scheme - store.Schemes.data()));
  }
  return Done(true);
}

struct Command {
  const char* names[2];  // switch and short alias, upper case
  size_t minArgs, maxArgs;
  CommandResult (*run)(const Args&, PlanStore&);
};

const Command kCommands[] = {
    {{"LIST", "L"}, 0, 0, List},
    {{"QUERY", "Q"}, 0, 1, Query},
    {{"SETACTIVE", "S"}, 1, 1, SetActive},
    {{"CHANGE", "X"}, 2, 3, Change},
    {{"CHANGENAME", nullptr}, 2, 3, ChangeName},
    {{"DUPLICATESCHEME", nullptr}, 2, 2, DuplicateScheme},
    {{"SETACVALUEINDEX", nullptr}, 4, 4,
     [](const Args& a, PlanStore& s) { return SetValueIndex(a, s, true); }},
    {{"SETDCVALUEINDEX", nullptr}, 4, 4,
     [](const Args& a, PlanStore& s) { return SetValueIndex(a, s, false); }},
    {{"CREATE", nullptr}, 1, 1, Create},
    {{"DELETE", "D"}, 1, 1, Delete},
};

}  // namespace

CommandResult RunPowercfgCommand(const std::vector<std::string>& args, PlanStore& store,
                                 bool activationLocked) {
  if (args.empty() || !IsSwitch(args[0])) return Fail("no command");
  std::string name = args[0].substr(1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  const Args rest(args.begin() + 1, args.end());
  for (const Command& command : kCommands) {
    if (name != command.names[0] && !(command.names[1] && name == command.names[1])) continue;
    if (rest.size() < command.minArgs || rest.size() > command.maxArgs)
      return Fail("wrong number of arguments");
    if (activationLocked && command.run == SetActive) {
      CommandResult refused;
      refused.ExitCode = 1;
      refused.Output = "The active power scheme is set by a group policy and cannot be changed.\n";
      return refused;
    }
    // Work on a copy so that a rejected command leaves the store as it was.
    PlanStore changed = store;
    CommandResult result = command.run(rest, changed);
    if (result.ExitCode == 0 && result.Changed) store = std::move(changed);
    return result;
  }
  return Fail("unknown command " + args[0]);
}

}  // namespace tav::standin
