// Text files read like _wfsopen(path, "rt", _SH_DENYWR) and fgetws: bytes are
// decoded in the locale's multibyte encoding, CR LF becomes LF. A shared
// flock is taken as a courtesy; POSIX cannot keep other processes from
// writing the file meanwhile.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

#include "os/posix/posix_parts.h"
#include "os/posix/unique_fd.h"

namespace tav::posix {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr size_t kChunk = 64 * 1024;

// True when, from the initial conversion state, every byte below 0x80 is one
// character of the same value and leaves the state initial, as in every
// ASCII-based encoding. Runs of such bytes can then be taken as they are,
// without a conversion call each; any other locale keeps the call per byte.
bool AsciiDecodesToItself() {
  for (int b = 1; b < 0x80; ++b) {
    std::mbstate_t state{};
    wchar_t c = 0;
    const char byte = static_cast<char>(b);
    if (std::mbrtowc(&c, &byte, 1, &state) != 1 || c != static_cast<wchar_t>(b) ||
        !std::mbsinit(&state))
      return false;
  }
  return true;
}

class PosixTextFile : public OsTextFile {
 public:
  explicit PosixTextFile(UniqueFd fd)
      : fd_(std::move(fd)),
        buffer_(kChunk + MB_LEN_MAX),
        asciiIsIdentity_(AsciiDecodesToItself()) {}

  bool ReadLine(std::wstring& piece, size_t bufferChars) override {
    piece.clear();
    if (bufferChars < 2) return false;
    const size_t limit = bufferChars - 1;
    bool readAny = false;
    bool nul = false;
    wchar_t c;
    while (piece.size() < limit) {
      const Run run = TakeAsciiRun(piece, limit);
      if (run != Run::kNone) readAny = true;
      if (run == Run::kLineEnd) break;
      if (run == Run::kTaken) continue;
      if (!NextChar(c)) break;
      readAny = true;
      piece += c;
      nul = nul || c == L'\0';
      if (c == L'\n') break;
    }
    // The caller of fgetws sees a C string: it ends at the first NUL.
    if (nul) piece.resize(piece.find(L'\0'));
    return readAny;
  }

 private:
  // Keeps at least MB_LEN_MAX bytes ahead unless the file ends first, so a
  // character never straddles the end of the buffer.
  void Fill() {
    if (end_ - begin_ >= MB_LEN_MAX || atEnd_) return;
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    while (end_ < MB_LEN_MAX && !atEnd_) {
      ssize_t n = read(fd_.get(), buffer_.data() + end_, buffer_.size() - end_);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        atEnd_ = true;  // the end of the file or a read error
        break;
      }
      end_ += static_cast<size_t>(n);
    }
  }

  enum class Run { kNone, kTaken, kLineEnd };

  // Appends the bytes up to the next line end, CR, NUL or non-ASCII byte in
  // one step, when they decode to themselves (see AsciiDecodesToItself); at
  // most up to `limit` characters in `piece`. A line end (LF, or CR LF, which
  // text mode reads as LF) that follows within the limit is taken too and
  // ends the line. kNone when nothing was taken.
  Run TakeAsciiRun(std::wstring& piece, size_t limit) {
    if (!asciiIsIdentity_ || !std::mbsinit(&state_)) return Run::kNone;
    Fill();
    const char* const bytes = buffer_.data();
    size_t stop = begin_;
    const size_t last = std::min(end_, begin_ + (limit - piece.size()));
    // Eight bytes at a time while none is a control character or above
    // ASCII (a superset of the bytes that end a run), then byte by byte.
    constexpr uint64_t kHighBits = 0x8080808080808080ULL;
    constexpr uint64_t kSpaces = 0x2020202020202020ULL;
    for (uint64_t word; stop + 8 <= last; stop += 8) {
      std::memcpy(&word, bytes + stop, 8);
      if (((word - kSpaces) | word) & kHighBits) break;
    }
    while (stop < last) {
      const unsigned char b = static_cast<unsigned char>(bytes[stop]);
      if (b == 0 || b >= 0x80 || b == '\r' || b == '\n') break;
      ++stop;
    }
    // Widened in place: append(first, last) of narrow characters would build
    // a temporary wide string first.
    const size_t old = piece.size();
    piece.resize(old + (stop - begin_));
    std::copy(bytes + begin_, bytes + stop, piece.begin() + static_cast<std::ptrdiff_t>(old));
    Run taken = stop == begin_ ? Run::kNone : Run::kTaken;
    begin_ = stop;
    if (stop < last) {
      const size_t ending = bytes[stop] == '\n'                                                 ? 1
                            : bytes[stop] == '\r' && stop + 1 < end_ && bytes[stop + 1] == '\n' ? 2
                                                                                                : 0;
      if (ending != 0) {
        piece += L'\n';
        begin_ += ending;
        taken = Run::kLineEnd;
      }
    }
    return taken;
  }

  bool NextChar(wchar_t& c) {
    Fill();
    if (begin_ == end_) return false;
    const char* p = buffer_.data() + begin_;
    size_t available = end_ - begin_;
    // Text mode: a CR directly before an LF is dropped.
    if (p[0] == '\r' && available >= 2 && p[1] == '\n' && std::mbsinit(&state_)) {
      ++begin_;
      ++p;
      --available;
    }
    size_t used = std::mbrtowc(&c, p, available, &state_);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      // Invalid, or cut off by the end of the file: one byte, one U+FFFD.
      state_ = std::mbstate_t{};
      c = kReplacement;
      used = 1;
    } else if (used == 0) {
      used = 1;  // a NUL byte
    }
    begin_ += used;
    return true;
  }

  UniqueFd fd_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool atEnd_ = false;
  const bool asciiIsIdentity_;
  std::mbstate_t state_{};
};

}  // namespace

std::unique_ptr<OsTextFile> OpenTextFile(const std::string& path) {
  if (path.empty()) return nullptr;
  // O_NONBLOCK: opening a FIFO must not wait for a writer. Only a regular
  // file can be opened: a FIFO, a device such as /dev/zero or a folder in the
  // file's place would hang or never end the read.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info;
  if (!fd || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  flock(fd.get(), LOCK_SH | LOCK_NB);  // best effort, see above
  return std::make_unique<PosixTextFile>(std::move(fd));
}

}  // namespace tav::posix
