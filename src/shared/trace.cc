#include "shared/trace.h"

#include "shared/text.h"

namespace tav {

void Trace(Os& os, const std::wstring& text) { TraceAs(os, kToolTraceName, text); }

void TraceAs(Os& os, const wchar_t* program, const std::wstring& text) {
  if (!os.system().TraceWanted()) return;
  std::wstring line =
      program + (L"[" + std::to_wstring(os.system().ProcessId()) + L"]: ") + text;
  if (line.size() > kTraceLineLimit) {
    const std::wstring marker = L" ... (cut at 4 KiB)";
    line.resize(kTraceLineLimit - marker.size());
    line += marker;
  }
  os.system().WriteTrace(line);
}

std::wstring ClockText(const std::optional<TimeOfDay>& time) {
  if (!time) return L"--:--";
  return TwoDigitText(time->Hour) + L":" + TwoDigitText(time->Minute);
}

}  // namespace tav
