// PLACEHOLDER: replaced by the real implementation.
#include "settings/power_settings.h"
namespace tav {
int LoadPowerSettings(Os&, const std::wstring*, PowerSettings*) { return 0; }
int ReadPowerSettingsFile(Os&, const std::wstring*, PowerSettings*) { return 0; }
void SetPowerSettingsDefaults(PowerSettings& r) { r = PowerSettings{}; }
int32_t SplitTimeOfDay(int32_t v, int32_t& h, int32_t& m) { h = m = -1; return v; }
int32_t NormalizeBrightness(int32_t v) { return v; }
}
