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
    EXPECT_TRUE(keys.emplace(row.section, row.key).second) << row.key;
    for (int32_t PowerSettings::*seen : fields) EXPECT_NE(seen, row.field) << row.key;
    fields.push_back(row.field);
    if (row.powercfg == PowercfgSetting::kChange) {
      ASSERT_NE(row.changeOption, nullptr) << row.key;
      EXPECT_TRUE(options.insert(row.changeOption).second) << row.key;
    } else {
      EXPECT_EQ(row.changeOption, nullptr) << row.key;
    }
    const bool brightness = row.powercfg == PowercfgSetting::kAcBrightnessIndex ||
                            row.powercfg == PowercfgSetting::kDcBrightnessIndex;
    EXPECT_EQ(brightness, row.clamp == Clamp::kBrightness) << row.key;
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
    os.SetProfileValue(path, row.section, row.key, std::to_wstring(row.clamp == Clamp::kFlag ? 1 : next++ * 5));
  PowerSettings settings;
  ASSERT_TRUE(LoadPowerSettings(os, path, settings));
  next = 1;
  for (const NumericSetting& row : kNumericSettings)
    EXPECT_EQ(settings.*row.field, row.clamp == Clamp::kFlag ? 1 : next++ * 5) << row.key;

  // Missing keys: the default through the clamp.
  FakeOs empty;
  empty.SetProfileValue(path, L"GENERAL", L"Version", L"2.00.000");
  empty.SetProfileValue(path, L"GENERAL", L"Name", L"Table");
  ASSERT_TRUE(LoadPowerSettings(empty, path, settings));
  for (const NumericSetting& row : kNumericSettings) {
    const int32_t expected = row.clamp == Clamp::kBrightness ? NormalizeBrightness(row.defaultValue)
                             : row.clamp == Clamp::kFlag     ? 0
                                                            : row.defaultValue;
    EXPECT_EQ(settings.*row.field, expected) << row.key;
  }
}

}  // namespace
}  // namespace tav
