// The product's Os: every call goes to the Win32 function it is named after.
#pragma once

#include <memory>

#include "os/os.h"

namespace tav {

std::unique_ptr<Os> MakeWin32Os();

}  // namespace tav
