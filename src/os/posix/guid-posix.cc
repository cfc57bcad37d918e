// GUIDs from libuuid, in the layout and text form of the Windows GUID.
#include <uuid/uuid.h>

#include <cctype>

#include "os/posix/posix_parts.h"

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

}  // namespace

bool NewGuid(Guid& guid) {
  uuid_t bytes;
  uuid_generate(bytes);
  // RFC 4122 byte order is big-endian field by field.
  guid.data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
               (uint32_t{bytes[2]} << 8) | bytes[3];
  guid.data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  guid.data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.data4[i] = bytes[8 + i];
  return true;
}

std::wstring GuidText(const Guid& guid) {
  std::wstring text = L"{";
  AppendHex(text, guid.data1, 8);
  text += L'-';
  AppendHex(text, guid.data2, 4);
  text += L'-';
  AppendHex(text, guid.data3, 4);
  text += L'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text += L'-';
    AppendHex(text, guid.data4[i], 2);
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
  parsed.data1 = static_cast<uint32_t>(d1);
  parsed.data2 = static_cast<uint16_t>(d2);
  parsed.data3 = static_cast<uint16_t>(d3);
  static constexpr size_t kBytePositions[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePositions[i], 2, v)) return false;
    parsed.data4[i] = static_cast<uint8_t>(v);
  }
  guid = parsed;
  return true;
}

}  // namespace tav::posix
