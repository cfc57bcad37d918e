#include "os/win32/command_line_tail.h"

#include <gtest/gtest.h>

namespace tav::win32 {
namespace {

struct TailCase {
  const wchar_t* commandLine;
  const wchar_t* tail;
};

class CommandLineTailTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTailTest, SkipsProgramTokenOnly) {
  EXPECT_EQ(CommandLineTail(GetParam().commandLine), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTailTest,
    ::testing::Values(
        TailCase{L"tool.exe", L""},
        TailCase{L"tool.exe ", L""},
        TailCase{L"tool.exe /N:\"C:\\a b\\x.ini\"", L"/N:\"C:\\a b\\x.ini\""},
        TailCase{L"\"C:\\Program Files\\tool.exe\" /F:\"C:\\l.txt\" ", L"/F:\"C:\\l.txt\" "},
        TailCase{L"\"C:\\Program Files\\tool.exe\"/N:x", L"/N:x"},
        TailCase{L"C:\\tool.exe \t  /I  /N:\"\"x\"\"", L"/I  /N:\"\"x\"\""},
        TailCase{L"\"C:\\odd\"name.exe /S:0930", L"name.exe /S:0930"},
        TailCase{L"\"C:\\unterminated quote /N:x", L""},
        TailCase{L"tool.exe\t\tN:a", L"N:a"},
        TailCase{L"C:\\a\"b c\".exe /I", L"c\".exe /I"},
        TailCase{L"", L""}));

TEST(CommandLineTail, NullGivesEmpty) { EXPECT_EQ(CommandLineTail(nullptr), L""); }

}  // namespace
}  // namespace tav::win32
