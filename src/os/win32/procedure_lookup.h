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

// A function of a system DLL that every process has loaded (kernel32.dll,
// ntdll.dll); such a module handle is not counted, so not freed.
template <typename Function>
Function SystemProcedure(const wchar_t* module, const char* name) {
  return LookupProcedure<Function>(::GetModuleHandleW(module), name);
}

}  // namespace tav::win32
