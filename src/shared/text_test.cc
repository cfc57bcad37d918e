#include "shared/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

namespace tav {
namespace {

TEST(TextTest, EqualsIgnoreCaseComparesLettersOnly) {
  EXPECT_TRUE(EqualsIgnoreCase(L"TN:", L"tn:"));
  EXPECT_TRUE(EqualsIgnoreCase(L"Vantrel電源プラン", L"VANTREL電源プラン"));
  EXPECT_FALSE(EqualsIgnoreCase(L"XML", L"XM"));
  EXPECT_FALSE(EqualsIgnoreCase(L"S:", L"H:"));
  EXPECT_FALSE(EqualsIgnoreCase(L"1", L"2"));
}

// In a Turkish locale "I" lowers to dotless "ı", yet "/i" must still act as
// "/I": the comparison also accepts letters whose upper cases are equal.
TEST(TextTest, EqualsIgnoreCaseHoldsInATurkishLocale) {
  // The locale is compiled into a private folder when the system lacks it.
  char folder[] = "/tmp/tav-locale.XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string build = std::string("localedef -i tr_TR -f UTF-8 '") + folder +
                            "/tr_TR.UTF-8' >/dev/null 2>&1";
  const bool built = std::system(build.c_str()) == 0;
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  setenv("LOCPATH", folder, 1);
  const bool selected = built && std::setlocale(LC_ALL, "tr_TR.UTF-8") != nullptr;
  unsetenv("LOCPATH");
  std::system((std::string("rm -rf '") + folder + "'").c_str());
  if (!selected) GTEST_SKIP() << "tr_TR.UTF-8 cannot be built here";
  // The locale's own rule, which a plain lower-case comparison would trip on.
  EXPECT_NE(std::towlower(L'I'), static_cast<wint_t>(L'i'));
  EXPECT_TRUE(EqualsIgnoreCase(L"I", L"i"));
  EXPECT_TRUE(EqualsIgnoreCase(L"TN:", L"tn:"));
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(TextTest, TrimAndStrip) {
  EXPECT_EQ(TrimWhiteSpace(L" \t\r\n x y \v\f"), L"x y");
  EXPECT_EQ(StripRepeated(L"\"\"a\"b\"\"", L'"', L'"'), L"a\"b");
  EXPECT_EQ(StripRepeated(L"\"\"\"", L'"', L'"'), L"");
}

TEST(TextTest, DecimalTexts) {
  EXPECT_EQ(DecimalText(0), L"0");
  EXPECT_EQ(DecimalText(-2147483647 - 1), L"-2147483648");
  EXPECT_EQ(DecimalText(2147483647), L"2147483647");
  EXPECT_EQ(TwoDigitText(7), L"07");
  EXPECT_EQ(TwoDigitText(0), L"00");
  EXPECT_EQ(TwoDigitText(99), L"99");
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

// The one '/' field scan, shared by the command line and the task list.
TEST(TextTest, NextSlashFieldSkipsRunsOfSlashes) {
  struct Case {
    std::wstring text;
    std::vector<std::wstring> fields;  // every field until the first empty one
  };
  const std::vector<Case> cases = {
      {L"", {}},
      {L"///", {}},
      {L"a", {L"a"}},
      {L"/N:x/F:y", {L"N:x", L"F:y"}},
      {L"//N:x///F:y//", {L"N:x", L"F:y"}},
      {L"N:x / T:0700", {L"N:x ", L" T:0700"}},  // blanks stay for the caller to trim
      {L"/\"a b\"/c", {L"\"a b\"", L"c"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> fields;
    size_t position = 0;
    while (true) {
      const std::wstring_view field = NextSlashField(c.text, position);
      if (field.empty()) break;
      fields.emplace_back(field);
      ASSERT_LE(position, c.text.size());
    }
    EXPECT_EQ(fields, c.fields) << testing::PrintToString(c.text);
    EXPECT_EQ(position, c.text.size()) << testing::PrintToString(c.text);
  }
}

}  // namespace
}  // namespace tav
