// The text reader takes runs of plain ASCII bytes in one step; whatever the
// mix of ASCII, line ends, NULs, multibyte and invalid bytes, and wherever
// the read chunks and the caller's pieces cut it, the text must come out as
// if every byte had been converted on its own.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_test_support.h"

namespace tav::posix::testing {
namespace {

struct Sample {
  std::string bytes;
  std::wstring text;  // what the bytes read as, before the split into pieces
};

// Random text of about `size` bytes made of the given kinds of parts.
Sample MakeSample(std::mt19937& random, size_t size, bool multibyte) {
  Sample s;
  auto add = [&](const std::string& bytes, const std::wstring& text) {
    // Text mode: a CR directly before an LF is dropped, across parts too.
    if (!bytes.empty() && bytes[0] == '\n' && !s.bytes.empty() && s.bytes.back() == '\r')
      s.text.pop_back();
    s.bytes += bytes;
    s.text += text;
  };
  while (s.bytes.size() < size) {
    switch (random() % (multibyte ? 10 : 6)) {
      case 0:
      case 1: {  // a run of ASCII, up to past a piece and a read chunk
        const size_t length = 1 + random() % (random() % 8 == 0 ? 3000 : 40);
        std::string run;
        // Now and then a tab or an escape: control characters, yet plain ASCII.
        for (size_t i = 0; i < length; ++i)
          run += random() % 50 == 0 ? (random() % 2 ? '\t' : '\x1B')
                                    : static_cast<char>(' ' + random() % 95);
        add(run, std::wstring(run.begin(), run.end()));
        break;
      }
      case 2: add("\n", L"\n"); break;
      case 3: add("\r\n", L"\n"); break;
      case 4: add("\r", L"\r"); break;
      case 5: add(std::string(1, '\0'), std::wstring(1, L'\0')); break;
      case 6: add("\xC3\xA9", L"\u00E9"); break;              // é
      case 7: add("\xE3\x83\x97", L"\u30D7"); break;          // プ
      case 8: add("\xFF", L"\uFFFD"); break;                  // never valid
      case 9:
        add("\x85", L"\uFFFD");
        break;  // a continuation alone
    }
  }
  return s;
}

// The pieces that fgetws hands out for `text` with a buffer of `bufferChars`,
// each cut at its first NUL as the caller sees it.
std::vector<std::wstring> Pieces(const std::wstring& text, size_t bufferChars) {
  std::vector<std::wstring> pieces;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && end - pos < bufferChars - 1) {
      if (text[end++] == L'\n') break;
    }
    std::wstring piece = text.substr(pos, end - pos);
    piece.resize(piece.find(L'\0') == std::wstring::npos ? piece.size() : piece.find(L'\0'));
    pieces.push_back(piece);
    pos = end;
  }
  return pieces;
}

void ExpectReadsAsBytes(const char* locale, bool multibyte) {
  ScopedLocale scoped(locale);
  ASSERT_TRUE(scoped.ok()) << locale;
  TempDir dir;
  std::mt19937 random(20240611);
  for (int round = 0; round < 12; ++round) {
    const Sample sample = MakeSample(random, 1 + random() % 200000, multibyte);
    const size_t bufferChars = round % 3 == 0 ? 2 + random() % 64 : 1024;
    WriteFile(dir / "list.txt", sample.bytes);
    std::unique_ptr<OsTextFile> file = OpenTextFile(dir / "list.txt");
    ASSERT_TRUE(file);
    std::vector<std::wstring> read;
    std::wstring piece;
    while (file->ReadLine(piece, bufferChars)) read.push_back(piece);
    const std::vector<std::wstring> expected = Pieces(sample.text, bufferChars);
    ASSERT_EQ(read.size(), expected.size()) << locale << " round " << round;
    for (size_t i = 0; i < read.size(); ++i)
      ASSERT_EQ(read[i], expected[i]) << locale << " round " << round << " piece " << i;
  }
}

TEST(PosixTextFileRuns, MixedTextReadsAsIfConvertedByteByByte) {
  ExpectReadsAsBytes("C.UTF-8", true);
  ExpectReadsAsBytes("C", false);
}

}  // namespace
}  // namespace tav::posix::testing
