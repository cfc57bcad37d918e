// The datagram that stands in for a posted window message on POSIX: the main
// window's stand-in binds a datagram socket named after its window class, and
// PostToWindowOfClass sends it one of these.
#pragma once

#include <cstdint>
#include <string>

namespace tav::posix {

struct WindowDatagram {
  uint32_t Message = 0;
  uint32_t Reserved = 0;
  uint64_t WParam = 0;
  int64_t LParam = 0;
};
static_assert(sizeof(WindowDatagram) == 24);

// <runtimeDir>/<className>.sock
inline std::string WindowSocketPath(const std::string& runtimeDir, const std::string& className) {
  return runtimeDir + "/" + className + ".sock";
}

}  // namespace tav::posix
