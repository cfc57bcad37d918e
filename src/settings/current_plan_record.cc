// PLACEHOLDER: replaced by the real implementation.
#include "settings/current_plan_record.h"
namespace tav {
CurrentRecordFile OpenCurrentRecordFile(Os&, int m) { CurrentRecordFile f; f.MachineWide = m; return f; }
int ReadCurrentPlanGuid(Os&, const CurrentRecordFile&, std::wstring&) { return 0; }
int ReadCurrentProfile(Os&, const CurrentRecordFile&, std::wstring&, std::wstring&) { return 1; }
int WriteCurrentPlanRecord(Os&, const std::wstring*, const std::wstring*, const std::wstring*) { return 0; }
}
