// Functions looked up at run time, so that the program still loads on the
// oldest Windows it targets where a newer function is missing.
#pragma once

#include "os/win32/windows_api.h"

namespace tav::win32 {

// GetProcAddress with the function's real signature restored (FARPROC is a
// generic function pointer). Null when the module lacks it.
template <typename Function>
Function LookupProcedure(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace tav::win32
