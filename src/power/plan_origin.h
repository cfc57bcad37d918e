// Whether the dedicated plan of a run was there before it or made by it. A
// roll-back removes only a plan that the run itself made: a plan found by its
// record or its name may carry settings the user relies on.
#pragma once

namespace tav {

enum class PlanOrigin {
  kFound,          // found by its recorded GUID or its name
  kMadeByThisRun,  // "/DUPLICATESCHEME" or "/CREATE" was run for it
};

}  // namespace tav
