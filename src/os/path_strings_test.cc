// Expected values follow shlwapi on Windows (the cases that Wine's shlwapi
// tests check against Windows, and PathCanonicalizeW's documented examples).
#include "os/path_strings.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

struct CombineCase {
  const wchar_t* folder;
  const wchar_t* file;
  const wchar_t* expected;  // L"" when the call fails
};

TEST(PathStringsTest, CombineJoinsAndCanonicalises) {
  const CombineCase cases[] = {
      // Drive paths, with and without a trailing separator.
      {L"C:\\", L"one\\two\\three", L"C:\\one\\two\\three"},
      {L"C:", L"one\\two\\three", L"C:\\one\\two\\three"},
      {L"C:\\Data", L"Setting.ini", L"C:\\Data\\Setting.ini"},
      {L"C:\\Data\\", L"Setting.ini", L"C:\\Data\\Setting.ini"},
      {L"C:\\one\\", L"two\\three\\", L"C:\\one\\two\\three\\"},
      // A file starting with '\' is relative to the folder's root.
      {L"C:\\", L"\\one\\two\\three", L"C:\\one\\two\\three"},
      {L"C:\\a\\b", L"\\x.ini", L"C:\\x.ini"},
      {L"C:\\/\\/", L"\\one\\two\\three\\", L"C:\\one\\two\\three\\"},
      {L"relative\\dir", L"\\one\\two\\three\\", L"one\\two\\three\\"},
      {L"\\\\server\\share\\folder", L"\\x", L"\\\\server\\share\\x"},
      {L"\\top\\sub", L"\\x", L"\\x"},
      // Absolute files replace the folder.
      {L"C:\\a", L"D:\\b", L"D:\\b"},
      {L"C:\\a", L"\\\\server\\share\\f", L"\\\\server\\share\\f"},
      // "." and "..".
      {L"C:\\", L"one\\..\\two\\.\\three", L"C:\\two\\three"},
      {L"C:\\", L"..", L"C:\\"},
      {L"C:\\a\\b", L"..\\c", L"C:\\a\\c"},
      {L"C:\\a", L"..\\..\\..\\c", L"C:\\c"},
      {L"\\\\server\\share", L"..\\x", L"\\\\server\\x"},
      {L"\\\\server", L"..\\x", L"\\\\server\\x"},
      // '/' is not a separator.
      {L"C:\\", L"one/two/three\\", L"C:\\one/two/three\\"},
      // Empty inputs.
      {L"C:\\", L"", L"C:\\"},
      {L"", L"one\\two", L"one\\two"},
      {L"", L"", L"\\"},
      {L"C:", L"", L"C:\\"},
      // Blanks are ordinary characters.
      {L"C:\\Program Files", L" x ", L"C:\\Program Files\\ x "},
  };
  for (const CombineCase& c : cases)
    EXPECT_EQ(PathStringCombine(c.folder, c.file), c.expected)
        << "folder=" << testing::PrintToString(std::wstring(c.folder))
        << " file=" << testing::PrintToString(std::wstring(c.file));
}

TEST(PathStringsTest, CombineFailsWhenTheResultDoesNotFitMaxPath) {
  const std::wstring half1(130, L'b');
  const std::wstring half2(130, L'c');
  const std::wstring tooLong(300, L'a');
  EXPECT_EQ(PathStringCombine(half1, half2), L"");          // 261 characters
  EXPECT_EQ(PathStringCombine(L"C:\\", tooLong), L"");
  EXPECT_EQ(PathStringCombine(tooLong, L"one\\two"), L"");
  EXPECT_EQ(PathStringCombine(tooLong, L""), L"");          // a lone folder too long
  EXPECT_EQ(PathStringCombine(L"", tooLong), L"");
  // The length is checked before "..\" shortens anything, as on Windows.
  std::wstring dots;
  for (int i = 0; i < 30; ++i) dots += L"..\\";
  EXPECT_EQ(PathStringCombine(L"C:\\" + std::wstring(180, L'd'), dots), L"");

  // 259 characters fit, 260 do not.
  const std::wstring folder = L"C:\\" + std::wstring(200, L'f');  // 203
  EXPECT_EQ(PathStringCombine(folder, std::wstring(55, L'x')).size(), 259u);
  EXPECT_EQ(PathStringCombine(folder, std::wstring(56, L'x')), L"");
}

TEST(PathStringsTest, CanonicalisationFollowsTheTextualRules) {
  // Combined with an empty file, the folder is only canonicalised.
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\one\\.\\..\\two\\three\\..", L"C:\\two"},
      {L"A:\\name_1\\.\\name_2\\..\\name_3", L"A:\\name_1\\name_3"},
      {L"A:\\name_1\\.\\name_2\\.\\name_3\\..\\name_4\\..", L"A:\\name_1\\name_2"},
      {L"C:\\..", L"C:\\"},
      {L"C:\\one/.\\..\\two/three\\..\\four/.five", L"C:\\four/.five"},
      {L"C:\\one/.\\two\\..", L"C:\\one/."},
      {L".\\a", L"a"},
      {L"C:.\\a", L"C:a"},
      {L"a\\.\\b", L"a\\b"},
      {L"C:\\a\\.", L"C:\\a\\."},  // a trailing "\." stays
      {L"\\..\\a", L"\\a"},
      {L"..\\a", L"..\\a"},       // nothing to go back to
      {L"C:\\a\\\\b", L"C:\\a\\\\b"},  // doubled separators stay
      {L" ", L" "},
  };
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(PathStringCombine(path, L""), expected) << testing::PrintToString(std::wstring(path));
}

struct AppendCase {
  const wchar_t* path;
  const wchar_t* more;
  const wchar_t* expected;
};

TEST(PathStringsTest, AppendDropsLeadingSeparatorsOfTheAddedPart) {
  const AppendCase cases[] = {
      {L"C:\\one", L"two\\three", L"C:\\one\\two\\three"},
      {L"C:\\one\\", L"two\\three", L"C:\\one\\two\\three"},
      {L"C:\\one", L"\\two\\three", L"C:\\one\\two\\three"},
      {L"C:\\one", L"two\\three\\", L"C:\\one\\two\\three\\"},
      {L"C:\\one", L"", L"C:\\one"},
      {L"", L"two\\three", L"two\\three"},
      {L"", L"", L"\\"},
      {L"C: \\ one ", L"two\\three", L"C: \\ one \\two\\three"},
      {L"C:\\one", L" two \\ three ", L"C:\\one\\ two \\ three "},
      {L"C:\\ProgramData\\VARENTO", L"TAV_POWERSAVE", L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE"},
      {L"C:\\one", L"\\\\server\\share", L"\\\\server\\share"},  // UNC kept whole
  };
  for (const AppendCase& c : cases) {
    std::wstring path = c.path;
    EXPECT_TRUE(PathStringAppend(path, c.more)) << testing::PrintToString(std::wstring(c.path));
    EXPECT_EQ(path, c.expected);
  }
}

TEST(PathStringsTest, AppendFailsAndKeepsThePathWhenTooLong) {
  std::wstring half(130, L'a');
  EXPECT_FALSE(PathStringAppend(half, std::wstring(130, L'b')));
  EXPECT_EQ(half, std::wstring(130, L'a'));

  std::wstring tooLong(300, L'a');
  EXPECT_FALSE(PathStringAppend(tooLong, L"two"));
  EXPECT_EQ(tooLong.size(), 300u);

  std::wstring path = L"C:\\one";
  EXPECT_FALSE(PathStringAppend(path, std::wstring(300, L'x')));
  EXPECT_EQ(path, L"C:\\one");
}

struct RemoveCase {
  const wchar_t* path;
  const wchar_t* expected;
  bool removed;
};

TEST(PathStringsTest, RemoveFileSpecKeepsTheRoot) {
  const RemoveCase cases[] = {
      {L"C:\\Program Files\\Tool\\tool.exe", L"C:\\Program Files\\Tool", true},
      {L"C:\\a\\", L"C:\\a", true},  // a trailing separator is the "file"
      {L"C:\\a", L"C:\\", true},
      {L"C:\\", L"C:\\", false},
      {L"C:", L"C:", false},
      {L"C:a", L"C:", true},
      {L"\\a", L"\\", true},
      {L"\\", L"\\", false},
      {L"\\\\server\\share\\file", L"\\\\server\\share", true},
      {L"\\\\server\\share", L"\\\\server", true},
      {L"\\\\server", L"\\\\", true},
      {L"\\\\", L"\\\\", false},
      {L"file.ini", L"", true},
      {L"dir\\file.ini", L"dir", true},
      {L"", L"", false},
      {L"a/b", L"", true},  // '/' is not a separator
  };
  for (const RemoveCase& c : cases) {
    std::wstring path = c.path;
    EXPECT_EQ(PathStringRemoveFileSpec(path), c.removed) << testing::PrintToString(std::wstring(c.path));
    EXPECT_EQ(path, c.expected) << testing::PrintToString(std::wstring(c.path));
  }
}

TEST(PathStringsTest, IsRelative) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"", true},           {L"a", true},           {L"a\\b", true},   {L".\\a", true},
      {L"C:", false},        {L"C:a", false},        {L"C:\\a", false}, {L"\\a", false},
      {L"\\\\s\\x", false},  {L"/a", true},          {L"1:", false},
  };
  for (const auto& [path, relative] : cases)
    EXPECT_EQ(PathStringIsRelative(path), relative) << testing::PrintToString(std::wstring(path));
}

}  // namespace
}  // namespace tav
