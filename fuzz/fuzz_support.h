// Shared by the fuzz targets: turning fuzz bytes into wide text, and property
// checks that abort (so libFuzzer keeps the input) instead of merely failing.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Aborts with the failed property; libFuzzer saves the input as a crash.
#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "property violated: %s (%s:%d)\n", #condition, __FILE__,   \
                   __LINE__);                                                         \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

namespace tav::fuzz {

// Wide text from bytes. The low two bits of the first byte choose the reading
// of the rest, so that seeds can be plain text and the fuzzer still reaches
// every wchar_t value:
//   '0' (0): each byte one character (Latin-1);
//   '1' (1): UTF-8, a byte outside a well-formed sequence one character;
//   '2' (2): 16-bit units, little-endian (lone surrogates included);
//   '3' (3): 32-bit values, little-endian (any wchar_t, beyond U+10FFFF too).
inline std::wstring WideText(std::string_view bytes) {
  std::wstring text;
  if (bytes.empty()) return text;
  const unsigned mode = static_cast<unsigned char>(bytes[0]) & 3u;
  bytes.remove_prefix(1);
  auto byteAt = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
  size_t i = 0;
  switch (mode) {
    case 0:
      for (; i < bytes.size(); ++i) text += static_cast<wchar_t>(byteAt(i));
      break;
    case 1:
      while (i < bytes.size()) {
        const uint32_t b = byteAt(i);
        size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3
                                     : (b & 0xF8) == 0xF0 ? 4 : 0;
        uint32_t cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = length != 0 && i + length <= bytes.size();
        for (size_t k = 1; ok && k < length; ++k) {
          ok = (byteAt(i + k) & 0xC0) == 0x80;
          cp = (cp << 6) | (byteAt(i + k) & 0x3F);
        }
        text += static_cast<wchar_t>(ok ? cp : b);
        i += ok ? length : 1;
      }
      break;
    case 2:
      for (; i + 1 < bytes.size(); i += 2) text += static_cast<wchar_t>(byteAt(i) | byteAt(i + 1) << 8);
      break;
    default:
      for (; i + 3 < bytes.size(); i += 4)
        text += static_cast<wchar_t>(byteAt(i) | byteAt(i + 1) << 8 | byteAt(i + 2) << 16 |
                                     byteAt(i + 3) << 24);
      break;
  }
  return text;
}

// Where a target keeps its files: $TAV_FUZZ_SCRATCH (scripts/fuzz gives each
// run a folder of its own and removes it), else memory-backed /dev/shm, else
// /tmp. Files are synced on every write, which memory makes cheap.
inline std::string ScratchFolder() {
  const char* scratch = std::getenv("TAV_FUZZ_SCRATCH");
  if (scratch && *scratch) return scratch;
  return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

inline std::wstring WideText(const uint8_t* data, size_t size) {
  return WideText(std::string_view(reinterpret_cast<const char*>(data), size));
}

}  // namespace tav::fuzz
