#include <chrono>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_test_support.h"

namespace tav::posix::testing {
namespace {

class PosixTextFileTest : public ::testing::Test {
 protected:
  // Every piece that ReadLine hands out for a file holding `bytes`.
  std::vector<std::wstring> Read(const std::string& bytes, size_t bufferChars = 1024) {
    WriteFile(dir_ / "list.txt", bytes);
    auto file = OpenTextFile(dir_ / "list.txt");
    std::vector<std::wstring> pieces;
    if (!file) {
      ADD_FAILURE() << "not opened";
      return pieces;
    }
    std::wstring piece;
    while (file->ReadLine(piece, bufferChars)) pieces.push_back(piece);
    return pieces;
  }

  TempDir dir_;
};

using Pieces = std::vector<std::wstring>;

TEST_F(PosixTextFileTest, LinesEndsAndCarriageReturnsInUtf8) {
  ScopedLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.ok());
  struct Case {
    std::string bytes;
    Pieces expected;
  };
  const Case cases[] = {
      {"", {}},
      {"one\ntwo\n", {L"one\n", L"two\n"}},
      {"no final line feed", {L"no final line feed"}},
      {"crlf\r\nnext\r\n", {L"crlf\n", L"next\n"}},
      {"lone\rcr\n", {L"lone\rcr\n"}},
      {"\r\r\n\r", {L"\r\n", L"\r"}},
      {"\n\n", {L"\n", L"\n"}},
      {"/TN:\"バッテリ\" /XML:\"C:\\t.xml\"\r\n", {L"/TN:\"バッテリ\" /XML:\"C:\\t.xml\"\n"}},
      // Invalid and cut-off sequences: one U+FFFD per byte, reading goes on.
      {"a\xFF" "b\n\xE3\x81\nnext\n", {L"a\uFFFDb\n", L"\uFFFD\uFFFD\n", L"next\n"}},
      {"\xC0\xAF\xED\xA0\x80\n", {L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\n"}},
      {"ok\n\xE3\x81", {L"ok\n", L"\uFFFD\uFFFD"}},
      // A NUL ends the text the caller sees; the line's rest is consumed.
      {std::string("ab\0cd\nnext\n", 11), {L"ab", L"next\n"}},
      {std::string("\0\n", 2), {L""}},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.bytes), c.expected) << c.bytes;
}

TEST_F(PosixTextFileTest, LongLinesComeInPiecesOfBufferMinusOne) {
  ScopedLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.ok());
  Pieces pieces = Read(std::string(2500, 'x') + "\nafter\n");
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0], std::wstring(1023, L'x'));
  EXPECT_EQ(pieces[1], std::wstring(1023, L'x'));
  EXPECT_EQ(pieces[2], std::wstring(454, L'x') + L"\n");
  EXPECT_EQ(pieces[3], L"after\n");

  // Multibyte characters count once each.
  std::string katakana;
  for (int i = 0; i < 1030; ++i) katakana += "\xE3\x83\x97";  // プ
  pieces = Read(katakana);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], std::wstring(1023, L'プ'));
  EXPECT_EQ(pieces[1], std::wstring(7, L'プ'));

  // CR LF at the edge of a piece.
  EXPECT_EQ(Read(std::string(1022, 'y') + "\r\n"), Pieces{std::wstring(1022, L'y') + L"\n"});
  EXPECT_EQ(Read(std::string(1023, 'z') + "\r\n"), (Pieces{std::wstring(1023, L'z'), L"\n"}));
  EXPECT_EQ(Read("abcdef\n", 4), (Pieces{L"abc", L"def", L"\n"}));
  EXPECT_EQ(Read("ab\n", 1), Pieces{});
}

TEST_F(PosixTextFileTest, SingleByteLocaleGivesOneCharacterPerByte) {
  ScopedLocale locale("C");
  ASSERT_TRUE(locale.ok());
  Pieces pieces = Read("A\xE3\x83\x97z\r\n");
  ASSERT_EQ(pieces.size(), 1u);
  ASSERT_EQ(pieces[0].size(), 6u);
  EXPECT_EQ(pieces[0][0], L'A');
  EXPECT_EQ(pieces[0][4], L'z');
  EXPECT_EQ(pieces[0][5], L'\n');
}

TEST_F(PosixTextFileTest, DoubleByteLocaleDecodesShiftJis) {
  // A Shift_JIS locale built into the temporary folder, as a Japanese
  // Windows reads its lists in code page 932.
  const std::string locales = dir_ / "locales";
  mkdir(locales.c_str(), 0755);
  std::string build = "localedef -i ja_JP -f SHIFT_JIS --no-warnings=ascii '" + locales +
                      "/ja_JP.SJIS' >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) GTEST_SKIP() << "localedef cannot build ja_JP.SJIS";
  std::optional<ScopedLocale> locale;
  {
    ScopedEnv path("LOCPATH", locales);
    locale.emplace("ja_JP.SJIS");
  }
  if (!locale->ok()) GTEST_SKIP() << "ja_JP.SJIS not loadable";
  EXPECT_EQ(Read("\x83\x76\x83\x89\x83\x93 ok\r\n\x83\n\xB1\n"),
            (Pieces{L"プラン ok\n", L"\uFFFD\n", L"ｱ\n"}));
}

TEST_F(PosixTextFileTest, MissingFilesAndFoldersDoNotOpen) {
  EXPECT_EQ(OpenTextFile(dir_ / "missing.txt"), nullptr);
  EXPECT_EQ(OpenTextFile(dir_.path()), nullptr);
  EXPECT_EQ(OpenTextFile(""), nullptr);
}

TEST_F(PosixTextFileTest, ReadingTimeGrowsLinearlyWithTheFile) {
  ScopedLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.ok());
  auto secondsFor = [&](size_t lines) {
    std::string bytes;
    for (size_t i = 0; i < lines; ++i) bytes += "/TN:\"タスク\" /XML:\"C:\\tasks\\t.xml\"\r\n";
    WriteFile(dir_ / "big.txt", bytes);
    auto start = std::chrono::steady_clock::now();
    auto file = OpenTextFile(dir_ / "big.txt");
    std::wstring piece;
    size_t count = 0;
    while (file->ReadLine(piece, 1024)) ++count;
    EXPECT_EQ(count, lines);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  double small = secondsFor(20000);
  double large = secondsFor(160000);  // 8 times the size, about 6 MB
  EXPECT_LT(large, 30 * small + 0.5) << small << " s vs " << large << " s";
}

}  // namespace
}  // namespace tav::posix::testing
