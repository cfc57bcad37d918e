// The plan store: the state of the stand-in power management, kept in one
// text file that the powercfg stand-in changes and the stand-in power
// libraries (POSIX layer, Windows powrprof.dll) read.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tav::standin {

// Setting names used as value keys: "monitor-timeout", "disk-timeout",
// "standby-timeout", "hibernate-timeout", "brightness".
struct PowerValues {
  std::map<std::string, int> ac;
  std::map<std::string, int> dc;
};

// A GUID-addressed power plan (Windows Vista and later).
struct Plan {
  std::string guid;  // lower case, no braces
  std::string name;  // UTF-8
  std::string description;
  bool nameUnreadable = false;  // PowerReadFriendlyName fails for this plan
  PowerValues values;
};

// A name-addressed power scheme (Windows XP).
struct Scheme {
  std::string name;  // UTF-8
  PowerValues values;
};

struct PlanStore {
  std::vector<Plan> plans;  // in enumeration order
  std::string activePlan;   // GUID
  std::vector<Scheme> schemes;
  std::string activeScheme;  // name
};

// Balanced, High performance and Power saver plans, and the Windows XP
// schemes (among them "バッテリの最大利用").
PlanStore DefaultPlanStore();
// <StateDir()>/plan-store.txt
std::string PlanStorePath();
// A missing file yields the default store; false on an unreadable file.
bool LoadPlanStore(const std::string& path, PlanStore& store);
// Replaces the file whole (temporary file, then rename).
bool SavePlanStore(const std::string& path, const PlanStore& store);

}  // namespace tav::standin
