// PLACEHOLDER: replaced by the real implementation.
#include "app/launch_options.h"
namespace tav {
bool ReadLaunchOptions(Os&, const std::wstring*, LaunchOptions& o) { o = LaunchOptions{}; return false; }
bool ParseLaunchOptions(const std::wstring&, LaunchOptions& o) { o = LaunchOptions{}; return false; }
bool ParseTimeValue(const std::wstring*, int32_t&, int32_t&) { return false; }
}
