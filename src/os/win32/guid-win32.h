// Conversions between the core's Guid and the system's GUID (same layout).
#pragma once

#include <cstring>

#include "os/os.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {

inline GUID ToSystemGuid(const Guid& guid) {
  GUID out;
  out.Data1 = guid.Data1;
  out.Data2 = guid.Data2;
  out.Data3 = guid.Data3;
  std::memcpy(out.Data4, guid.Data4, sizeof out.Data4);
  return out;
}

inline Guid FromSystemGuid(const GUID& guid) {
  Guid out;
  out.Data1 = guid.Data1;
  out.Data2 = guid.Data2;
  out.Data3 = guid.Data3;
  std::memcpy(out.Data4, guid.Data4, sizeof out.Data4);
  return out;
}

}  // namespace tav::win32
