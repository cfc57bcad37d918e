#include "shared/module_folder.h"

#include <gtest/gtest.h>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

TEST(ModuleFolderTest, ModuleFolderDropsTheFileName) {
  FakeOs os;
  EXPECT_EQ(GetModuleFolder(os), L"C:\\Program Files\\VARENTO");
  os.moduleFileName = L"D:\\Tools\\Power Save\\TAV_PowerSaveSetting.exe";
  EXPECT_EQ(GetModuleFolder(os), L"D:\\Tools\\Power Save");
}

}  // namespace
}  // namespace tav
