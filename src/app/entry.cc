// PLACEHOLDER: replaced by the real implementation.
#include "app/entry.h"
namespace tav {
int RunEntry(Os& os, const std::wstring* c) { SystemRunSteps s(os); return RunEntry(os, s, c); }
int RunEntry(Os&, RunSteps&, const std::wstring*) { return kExitFailure; }
std::unique_ptr<OsMutex> AcquireInstanceMutex(Os&) { return nullptr; }
void ReleaseInstanceMutex(std::unique_ptr<OsMutex>) {}
void NotifyMainWindow(Os&) {}
}
