// ClearReadOnlyAttribute: removes the read-only attribute of an existing file
// and changes nothing else. Used before the tool deletes or rewrites a file
// that another program may have left read-only.
#pragma once

#include <string>

#include "os/os.h"

namespace tav {

// If the file exists and its attributes can be read with the read-only bit
// set, writes them back without that bit. Nothing is reported.
void ClearReadOnlyAttribute(Os& os, const std::wstring& path);

}  // namespace tav
