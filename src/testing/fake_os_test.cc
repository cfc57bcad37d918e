#include "testing/fake_os.h"

#include <gtest/gtest.h>

namespace tav::testing {
namespace {

TEST(FakeOsTest, ProfileValuesAreCaseInsensitive) {
  FakeOs os;
  os.AddFolder(L"C:\\data");
  ASSERT_TRUE(os.WritePrivateProfileString(L"Current", L"GUID", L"x", L"C:\\data\\a.ini"));
  EXPECT_EQ(os.GetPrivateProfileString(L"CURRENT", L"guid", L"", 1024, L"c:\\DATA\\A.INI"), L"x");
}

}  // namespace
}  // namespace tav::testing
