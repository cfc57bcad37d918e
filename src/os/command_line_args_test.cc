// Expected values follow CommandLineToArgvW (as documented and as Wine's
// shell32 implements it).
#include "os/command_line_args.h"

#include <gtest/gtest.h>

#include "os/utf8.h"

namespace tav {
namespace {

using Args = std::vector<std::wstring>;

TEST(CommandLineArgsTest, SplitsLikeCommandLineToArgvW) {
  const std::pair<const wchar_t*, Args> cases[] = {
      {L"prog a b", {L"prog", L"a", L"b"}},
      {L"prog  a\t\tb  ", {L"prog", L"a", L"b"}},
      {L"prog", {L"prog"}},
      {L"", {L""}},
      {L"  a", {L"", L"a"}},  // leading blanks: an empty program name
      // The program name: up to the next quote, no escapes.
      {L"\"C:\\Program Files\\t.exe\" x", {L"C:\\Program Files\\t.exe", L"x"}},
      {L"\"C:\\dir\\\" x", {L"C:\\dir\\", L"x"}},
      {L"\"a\"b c", {L"a", L"b", L"c"}},
      {L"\"unterminated prog", {L"unterminated prog"}},
      {L"C:\\a\\\"b c", {L"C:\\a\\\"b", L"c"}},
      // Quotes group blanks.
      {L"p \"a b\" c", {L"p", L"a b", L"c"}},
      {L"p a\" \"b", {L"p", L"a b"}},
      {L"p \"\"", {L"p", L""}},
      {L"p \"\" \"\"", {L"p", L"", L""}},
      {L"p \"a", {L"p", L"a"}},
      // Backslashes: literal unless before a quote.
      {L"p a\\b", {L"p", L"a\\b"}},
      {L"p a\\\\b", {L"p", L"a\\\\b"}},
      {L"p a\\\"b", {L"p", L"a\"b"}},
      {L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
      {L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
      {L"p \"C:\\dir\\\\\"", {L"p", L"C:\\dir\\"}},
      {L"p \"\\\\server\\share\"", {L"p", L"\\\\server\\share"}},
      // Runs of quotes: every third is literal; 3n+1 and 3n+2 close.
      {L"p \"\"\"a\"", {L"p", L"\"a"}},
      {L"p \"a\"b", {L"p", L"ab"}},
      {L"p \"a\"\"b\"", {L"p", L"a\"b"}},
      {L"p \"a\"\"\"b\"", {L"p", L"a\"b"}},
      {L"p \"\"\"\"", {L"p", L"\""}},
      {L"p a\"\"\"b c", {L"p", L"a\"b", L"c"}},
      // Only blank and tab separate.
      {L"p a\nb", {L"p", L"a\nb"}},
      {L"p /N:\"C:\\x y\\S.ini\" /S:2300", {L"p", L"/N:C:\\x y\\S.ini", L"/S:2300"}},
      {L"/N:\"C:\\x y\" z", {L"/N:\"C:\\x", L"y z"}},  // no quoting in the program name
      // Text beyond ASCII, a surrogate pair too, is never split.
      {L"\"C:\\電源 x\\p.exe\" \"オフィス 省電力\" \U0001F600\\\"x",
       {L"C:\\電源 x\\p.exe", L"オフィス 省電力", L"\U0001F600\"x"}},
  };
  for (const auto& [line, expected] : cases) {
    EXPECT_EQ(SplitCommandLine(line), expected) << testing::PrintToString(std::wstring(line));
    // The UTF-8 form splits into the UTF-8 forms of the same arguments.
    std::vector<std::string> expectedBytes;
    for (const std::wstring& argument : expected) expectedBytes.push_back(ToUtf8(argument));
    EXPECT_EQ(SplitUtf8CommandLine(ToUtf8(line)), expectedBytes)
        << testing::PrintToString(std::wstring(line));
  }
}

TEST(CommandLineArgsTest, QuotesOnlyWhatNeedsIt) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"abc", L"abc"},
      {L"a\\b", L"a\\b"},
      {L"", L"\"\""},
      {L"a b", L"\"a b\""},
      {L"a\tb", L"\"a\tb\""},
      {L"a\"b", L"\"a\\\"b\""},
      {L"C:\\dir x\\", L"\"C:\\dir x\\\\\""},
      {L"a\\\"b", L"\"a\\\\\\\"b\""},
  };
  for (const auto& [arg, expected] : cases) EXPECT_EQ(QuoteArgument(arg), expected);

  EXPECT_EQ(QuoteProgramName(L"powercfg.exe"), L"powercfg.exe");
  EXPECT_EQ(QuoteProgramName(L"C:\\Program Files\\x.exe"), L"\"C:\\Program Files\\x.exe\"");
  EXPECT_EQ(QuoteProgramName(L"C:\\my dir\\"), L"\"C:\\my dir\\\"");
  EXPECT_EQ(QuoteProgramName(L""), L"\"\"");
  EXPECT_EQ(QuoteProgramName(L"a\"b"), L"ab");
}

// Every string of up to four characters from the characters that matter.
std::vector<std::wstring> AllShortStrings() {
  const wchar_t alphabet[] = {L'a', L' ', L'\t', L'"', L'\\'};
  std::vector<std::wstring> all{L""};
  size_t begin = 0;
  for (int length = 1; length <= 4; ++length) {
    const size_t end = all.size();
    for (size_t i = begin; i < end; ++i)
      for (wchar_t c : alphabet) all.push_back(all[i] + c);
    begin = end;
  }
  return all;
}

TEST(CommandLineArgsTest, SplitUndoesQuoteForEveryShortArgument) {
  const std::vector<std::wstring> strings = AllShortStrings();
  ASSERT_EQ(strings.size(), 1u + 5 + 25 + 125 + 625);
  for (const std::wstring& arg : strings) {
    const Args args{L"prog", arg, L"tail"};
    EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args)
        << testing::PrintToString(JoinCommandLine(args));
  }
  // Pairs of neighbours, so that one argument's end meets the next start.
  for (size_t i = 0; i < strings.size(); i += 7) {
    for (size_t j = 0; j < strings.size(); j += 11) {
      const Args args{L"p", strings[i], strings[j]};
      ASSERT_EQ(SplitCommandLine(JoinCommandLine(args)), args)
          << testing::PrintToString(JoinCommandLine(args));
    }
  }
}

TEST(CommandLineArgsTest, SplitUndoesJoinForProgramNames) {
  const Args programs[] = {
      {L"C:\\Program Files\\Vantrel\\TAV_PowerSaveSuspend.exe", L"/S"},
      {L"C:\\dir with blank\\", L"x"},
      {L"\\\\server\\share\\a b.exe"},
      {L"", L"a"},
      {L"tab\there"},
  };
  for (const Args& args : programs) EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
  EXPECT_EQ(JoinCommandLine({}), L"");
}

}  // namespace
}  // namespace tav
