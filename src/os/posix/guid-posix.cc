// GUIDs in the layout and text form of the Windows GUID. A new one is a
// random (version 4) UUID from the kernel's random source, as libuuid makes
// it; the tool does not load libuuid for it (a library more to map and
// relocate at every start, for a GUID only a first run needs).
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstddef>

#include "os/posix/posix_parts.h"
#include "os/posix/unique_fd.h"

namespace tav::posix {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::wstring& out, uint64_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
    out += static_cast<wchar_t>(kHexDigits[(value >> shift) & 0xF]);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads `digits` hex digits at `pos`.
bool ReadHex(const std::string& text, size_t pos, int digits, uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = HexValue(text[pos + i]);
    if (v < 0) return false;
    value = (value << 4) | static_cast<uint64_t>(v);
  }
  return true;
}

// `size` bytes from getrandom, or from /dev/urandom where the kernel has no
// getrandom.
bool RandomBytes(uint8_t* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::getrandom(bytes + done, size - done, 0);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // no getrandom (ENOSYS): /dev/urandom below
    }
  }
  if (done == size) return true;
  const UniqueFd source(::open("/dev/urandom", O_RDONLY | O_CLOEXEC));
  if (!source) return false;
  while (done < size) {
    const ssize_t n = ::read(source.get(), bytes + done, size - done);
    if (n > 0) done += static_cast<size_t>(n);
    else if (!(n < 0 && errno == EINTR)) break;
  }
  return done == size;
}

}  // namespace

std::optional<Guid> NewGuid() {
  uint8_t bytes[16];
  if (!RandomBytes(bytes, sizeof bytes)) return std::nullopt;
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  // RFC 4122 byte order is big-endian field by field.
  Guid guid;
  guid.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
               (uint32_t{bytes[2]} << 8) | bytes[3];
  guid.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  guid.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  return guid;
}

std::wstring GuidText(const Guid& guid) {
  std::wstring text = L"{";
  AppendHex(text, guid.Data1, 8);
  text += L'-';
  AppendHex(text, guid.Data2, 4);
  text += L'-';
  AppendHex(text, guid.Data3, 4);
  text += L'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text += L'-';
    AppendHex(text, guid.Data4[i], 2);
  }
  text += L'}';
  return text;
}

bool ParseGuid(const std::string& input, Guid& guid) {
  std::string text = input;
  if (text.size() == 38 && text.front() == '{' && text.back() == '}')
    text = text.substr(1, 36);
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
      text[23] != '-')
    return false;
  uint64_t d1, d2, d3, v;
  if (!ReadHex(text, 0, 8, d1) || !ReadHex(text, 9, 4, d2) || !ReadHex(text, 14, 4, d3))
    return false;
  Guid parsed;
  parsed.Data1 = static_cast<uint32_t>(d1);
  parsed.Data2 = static_cast<uint16_t>(d2);
  parsed.Data3 = static_cast<uint16_t>(d3);
  static constexpr size_t kBytePositions[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePositions[i], 2, v)) return false;
    parsed.Data4[i] = static_cast<uint8_t>(v);
  }
  guid = parsed;
  return true;
}

}  // namespace tav::posix
