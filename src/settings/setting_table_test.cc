#include "settings/setting_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

// Each row names its own key and field, and a "/CHANGE" row its option.
TEST(SettingTableTest, RowsAreWellFormed) {
  std::set<std::pair<std::wstring, std::wstring>> keys;
  std::vector<int32_t PowerSettings::*> fields;
  std::set<std::wstring> options;
  for (const NumericSetting& row : kNumericSettings) {
    EXPECT_TRUE(keys.emplace(row.Section, row.Key).second) << row.Key;
    for (int32_t PowerSettings::*seen : fields) EXPECT_NE(seen, row.Field) << row.Key;
    fields.push_back(row.Field);
    if (row.Powercfg == PowercfgSetting::kChange) {
      ASSERT_NE(row.ChangeOption, nullptr) << row.Key;
      EXPECT_TRUE(options.insert(row.ChangeOption).second) << row.Key;
    } else {
      EXPECT_EQ(row.ChangeOption, nullptr) << row.Key;
    }
    const bool brightness = row.Powercfg == PowercfgSetting::kAcBrightnessIndex ||
                            row.Powercfg == PowercfgSetting::kDcBrightnessIndex;
    EXPECT_EQ(brightness, row.ClampRule == Clamp::kBrightness) << row.Key;
  }
}

// Every row is read from its key into its field, through its clamp.
TEST(SettingTableTest, EveryRowIsReadIntoItsField) {
  const std::wstring path = L"C:\\Profiles\\Table.ini";
  FakeOs os;
  os.SetProfileValue(path, L"GENERAL", L"Version", L"2.00.000");
  os.SetProfileValue(path, L"GENERAL", L"Name", L"Table");
  int32_t next = 1;
  for (const NumericSetting& row : kNumericSettings)
    os.SetProfileValue(path, row.Section, row.Key, std::to_wstring(row.ClampRule == Clamp::kFlag ? 1 : next++ * 5));
  PowerSettings settings;
  ASSERT_TRUE(LoadPowerSettings(os, path, settings));
  next = 1;
  for (const NumericSetting& row : kNumericSettings)
    EXPECT_EQ(settings.*row.Field, row.ClampRule == Clamp::kFlag ? 1 : next++ * 5) << row.Key;

  // Missing keys: the default through the clamp.
  FakeOs empty;
  empty.SetProfileValue(path, L"GENERAL", L"Version", L"2.00.000");
  empty.SetProfileValue(path, L"GENERAL", L"Name", L"Table");
  ASSERT_TRUE(LoadPowerSettings(empty, path, settings));
  for (const NumericSetting& row : kNumericSettings) {
    const int32_t expected = row.ClampRule == Clamp::kBrightness ? NormalizeBrightness(row.DefaultValue)
                             : row.ClampRule == Clamp::kFlag     ? 0
                                                            : row.DefaultValue;
    EXPECT_EQ(settings.*row.Field, expected) << row.Key;
  }
}

}  // namespace
}  // namespace tav
