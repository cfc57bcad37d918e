// PLACEHOLDER: replaced by the real implementation.
#include "schedule/task_registration_list.h"
namespace tav {
int ProcessTaskRegistrationList(Os&, const std::wstring*) { return 0; }
int RegisterScheduledTask(Os&, const std::wstring*, const std::wstring*) { return 0; }
}
