// PLACEHOLDER: replaced by the real implementation.
#include "app/windows_version.h"
namespace tav { bool IsWindowsXp(Os&) { return false; } }
