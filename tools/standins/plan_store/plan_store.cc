#include "standins/plan_store/plan_store.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "os/utf8.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tav::standin {
namespace {

constexpr char kHex[] = "0123456789abcdef";

#ifdef _WIN32
bool ReplaceFile(const std::string& from, const std::string& to) {
  return MoveFileExW(FromUtf8(from).c_str(), FromUtf8(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING) != 0;
}
void RemoveFile(const std::string& path) { DeleteFileW(FromUtf8(path).c_str()); }
#else
bool ReplaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
void RemoveFile(const std::string& path) { std::remove(path.c_str()); }
#endif

}  // namespace

std::string StateFilePath(const std::string& dir, const std::string& name) {
#ifdef _WIN32
  const char sep = '\\';
#else
  const char sep = '/';
#endif
  if (dir.empty()) return name;
  const char last = dir.back();
  return (last == '/' || last == '\\') ? dir + name : dir + sep + name;
}

std::string PlanStorePathIn(const std::string& dir) {
  return StateFilePath(dir, kPlanStoreFileName);
}

FILE* OpenUtf8Path(const std::string& path, const char* mode) {
#ifdef _WIN32
  return _wfopen(FromUtf8(path).c_str(), FromUtf8(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool LoadPlanStore(const std::string& path, PlanStore& store) {
  errno = 0;
  FILE* f = OpenUtf8Path(path, "rb");
  if (!f) {
    if (errno != ENOENT) return false;
    store = DefaultPlanStore();
    return true;
  }
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  return !readError && ParsePlanStore(text, store);
}

bool SavePlanStore(const std::string& path, const PlanStore& store) {
  const std::string temp = path + ".tmp";
  FILE* f = OpenUtf8Path(temp, "wb");
  if (!f) return false;
  const std::string text = FormatPlanStore(store);
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (ok) ok = ReplaceFile(temp, path);
  if (!ok) RemoveFile(temp);
  return ok;
}

bool ParseGuidText(const std::string& text, uint32_t& data1, uint16_t& data2, uint16_t& data3,
                   uint8_t data4[8]) {
  const std::string t = NormalizeGuidText(text);  // lower-case hex digits
  if (t.empty()) return false;
  auto hex = [&](size_t from, size_t count) {
    uint32_t v = 0;
    for (size_t i = from; i < from + count; ++i)
      v = v * 16 + static_cast<uint32_t>(std::string_view(kHex).find(t[i]));
    return v;
  };
  data1 = hex(0, 8);
  data2 = static_cast<uint16_t>(hex(9, 4));
  data3 = static_cast<uint16_t>(hex(14, 4));
  data4[0] = static_cast<uint8_t>(hex(19, 2));
  data4[1] = static_cast<uint8_t>(hex(21, 2));
  for (size_t i = 0; i < 6; ++i) data4[2 + i] = static_cast<uint8_t>(hex(24 + 2 * i, 2));
  return true;
}

std::string GuidText(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8]) {
  std::string out;
  auto put = [&](uint32_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) out += kHex[(v >> (4 * i)) & 0xF];
  };
  put(data1, 8);
  out += '-';
  put(data2, 4);
  out += '-';
  put(data3, 4);
  out += '-';
  put(data4[0], 2);
  put(data4[1], 2);
  out += '-';
  for (int i = 2; i < 8; ++i) put(data4[i], 2);
  return out;
}

}  // namespace tav::standin
