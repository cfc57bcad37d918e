#include "schedule/suspend_handoff.h"

#include <string>

#include "shared/command_runner.h"
#include "shared/module_folder.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {

bool HandOffSuspend(Os& os, bool hibernate, const std::optional<TimeOfDay>& time) {
  // The companion lies beside the tool; it is started without looking first.
  // Without a folder (the tool's own path could not be read whole) there is
  // no companion to start: "\\TAV_PowerSaveSuspend.exe" would name the root
  // of the current drive.
  const std::wstring folder = GetModuleFolder(os);
  if (folder.empty()) {
    Trace(os, L"hand-off: the tool's own folder is unknown (its path may be cut): "
              L"no companion started");
    return false;
  }
  const std::wstring companion = folder + L"\\" + kSuspendCompanionName;
  const std::wstring quoted = Quoted(companion);

  // A pending request is always cancelled first; no new one without that.
  if (!RunProcessAndWait(os, quoted + L" /CANCEL")) return false;

  std::wstring request = quoted + (hibernate ? L" /HIBERNATE" : L" /SUSPEND");
  if (time) request += L" /T:" + TwoDigitText(time->Hour) + TwoDigitText(time->Minute);
  return RunProcessAndWait(os, request);
}

}  // namespace tav
