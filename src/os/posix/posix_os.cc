// PLACEHOLDER: replaced by the real implementation.
#include "os/posix/posix_os.h"
namespace tav {
PosixConfig PosixConfig::FromEnvironment() { return {}; }
std::unique_ptr<Os> MakePosixOs(const PosixConfig&) { return nullptr; }
}
