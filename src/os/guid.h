// The GUID of a power plan or of a new COM object, shared by the power and
// COM calls of the Os.
#pragma once

#include <cstdint>

namespace tav {

// A binary GUID, laid out as the Windows GUID structure.
struct Guid {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
};

bool operator==(const Guid& a, const Guid& b);

}  // namespace tav
