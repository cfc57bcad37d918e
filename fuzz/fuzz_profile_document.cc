// The POSIX profile functions on INI files that other programs wrote: any
// bytes parse and are written back byte for byte; a write that is accepted
// reads back as written, changes no other key, and replaces the file whole
// (no temporary file left behind); a refused write leaves the file alone.
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "os/posix/profile_document.h"
#include "os/posix/profile_file.h"

namespace {

using tav::posix::ProfileChange;
using tav::posix::ProfileDocument;
using tav::posix::ProfileResultText;
using tav::posix::ProfileStore;

constexpr size_t kWholeValue = size_t{1} << 24;  // a buffer that never cuts

std::string folder;
std::string file;

// White space as the profile functions trim names.
bool IsProfileSpace(wchar_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::wstring Trim(const std::wstring& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && IsProfileSpace(s[begin])) ++begin;
  while (end > begin && IsProfileSpace(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Text that a file can hold on one line: Unicode scalar values, no line
// break, no NUL.
bool Storable(const std::wstring& text) {
  for (wchar_t c : text) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u == 0 || u == '\r' || u == '\n' || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF)
      return false;
  }
  return true;
}

// The documented reasons to refuse a write; anything else must be accepted.
bool MustAccept(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  const std::wstring name = Trim(key);
  return Storable(Trim(section)) && Storable(name) && Storable(value) &&
         name.find(L'=') == std::wstring::npos &&
         (name.empty() || (name.front() != L';' && name.front() != L'['));
}

std::wstring ValueOf(const ProfileDocument& doc, const std::wstring& section, const std::wstring& key) {
  const std::wstring* stored = doc.Find(section, key);
  return stored ? L"=" + ProfileResultText(stored, L"", kWholeValue) : L"<none>";
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  const int fd = open(path.c_str(), O_RDONLY);
  FUZZ_CHECK(fd >= 0);
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
  close(fd);
  return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
  close(fd);
}

size_t EntriesIn(const std::string& path) {
  size_t count = 0;
  DIR* dir = opendir(path.c_str());
  FUZZ_CHECK(dir != nullptr);
  while (dirent* entry = readdir(dir))
    if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") ++count;
  closedir(dir);
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A private folder in memory: the store syncs every file it writes.
  std::string pattern = tav::fuzz::ScratchFolder() + "/tav-fuzz-profile.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  FUZZ_CHECK(mkdtemp(buffer.data()) != nullptr);
  folder = buffer.data();
  file = folder + "/profile.ini";
  // The folder is removed when the fuzzer ends normally.
  std::atexit([] {
    unlink(file.c_str());
    rmdir(folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::wstring section = tav::fuzz::WideText(input.ConsumeRandomLengthString(40));
  const std::wstring key = tav::fuzz::WideText(input.ConsumeRandomLengthString(40));
  const std::wstring value = tav::fuzz::WideText(input.ConsumeRandomLengthString(200));
  const std::wstring probeSection = tav::fuzz::WideText(input.ConsumeRandomLengthString(40));
  const std::wstring probeKey = tav::fuzz::WideText(input.ConsumeRandomLengthString(40));
  const std::string bytes = input.ConsumeRemainingBytesAsString();

  // Parsing keeps every byte.
  const ProfileDocument before = ProfileDocument::Parse(bytes);
  FUZZ_CHECK(before.Serialize() == bytes);

  ProfileDocument updated = before;
  const ProfileChange change = updated.Set(section, key, value);
  const std::string written = updated.Serialize();
  if (MustAccept(section, key, value)) FUZZ_CHECK(change != ProfileChange::kRefused);
  if (change != ProfileChange::kChanged) {
    FUZZ_CHECK(written == bytes);
  }
  if (change != ProfileChange::kRefused) {
    // What was written reads back, from the file's bytes, as written; its
    // encoding is the file's own.
    const ProfileDocument reread = ProfileDocument::Parse(written);
    FUZZ_CHECK(reread.Serialize() == written);
    FUZZ_CHECK(reread.encoding() == before.encoding());
    const std::wstring* stored = reread.Find(section, key);
    FUZZ_CHECK(stored != nullptr);
    FUZZ_CHECK(ProfileResultText(stored, L"", kWholeValue) == value);
    // Another key keeps its value (unless the probe names the written key).
    if (reread.Find(probeSection, probeKey) != stored)
      FUZZ_CHECK(ValueOf(reread, probeSection, probeKey) == ValueOf(before, probeSection, probeKey));
  }

  // The same through the store on a real file.
  WriteFile(file, bytes);
  ProfileStore store;
  const bool accepted = store.WriteString(file, section, key, value);
  FUZZ_CHECK(accepted == (change != ProfileChange::kRefused));
  FUZZ_CHECK(ReadFile(file) == (accepted ? written : bytes));
  FUZZ_CHECK(EntriesIn(folder) == 1);  // no temporary file stays
  if (accepted) {
    FUZZ_CHECK(store.GetString(file, section, key, L"default", kWholeValue) == value);
    // A buffer of 1024 characters cuts a value to 1023 UTF-16 units at most.
    const std::wstring cut = store.GetString(file, section, key, L"", 1024);
    FUZZ_CHECK(value.compare(0, cut.size(), cut) == 0);
    size_t units = 0;
    for (wchar_t c : cut) units += static_cast<uint32_t>(c) > 0xFFFF ? 2 : 1;
    FUZZ_CHECK(units <= 1023);
    store.GetInt(file, section, key, -1);
  }
  return 0;
}
