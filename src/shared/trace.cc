#include "shared/trace.h"

#include "shared/text.h"

namespace tav {

void Trace(Os& os, const std::wstring& text) {
  if (!os.IsDebugOutputOn()) return;
  std::wstring line =
      L"TAV_PowerSaveSetting[" + std::to_wstring(os.GetCurrentProcessId()) + L"]: " + text;
  if (line.size() > kTraceLineLimit) {
    const std::wstring marker = L" ... (cut at 4 KiB)";
    line.resize(kTraceLineLimit - marker.size());
    line += marker;
  }
  os.DebugOutput(line);
}

std::wstring ClockText(int32_t hour, int32_t minute) {
  if (hour < 0 || minute < 0) return L"--:--";
  return TwoDigitText(hour) + L":" + TwoDigitText(minute);
}

}  // namespace tav
