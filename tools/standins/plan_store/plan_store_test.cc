#include "standins/plan_store/plan_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>

namespace tav::standin {
namespace {

class PlanStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/plan_store_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = PlanStorePathIn(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadFile() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_, path_;
};

bool operator==(const PowerValues& a, const PowerValues& b) { return a.Ac == b.Ac && a.Dc == b.Dc; }

void ExpectSameStore(const PlanStore& a, const PlanStore& b) {
  ASSERT_EQ(a.Plans.size(), b.Plans.size());
  for (size_t i = 0; i < a.Plans.size(); ++i) {
    EXPECT_EQ(a.Plans[i].Guid, b.Plans[i].Guid);
    EXPECT_EQ(a.Plans[i].Name, b.Plans[i].Name);
    EXPECT_EQ(a.Plans[i].Description, b.Plans[i].Description);
    EXPECT_EQ(a.Plans[i].NameUnreadable, b.Plans[i].NameUnreadable);
    EXPECT_TRUE(a.Plans[i].Values == b.Plans[i].Values) << a.Plans[i].Guid;
  }
  ASSERT_EQ(a.Schemes.size(), b.Schemes.size());
  for (size_t i = 0; i < a.Schemes.size(); ++i) {
    EXPECT_EQ(a.Schemes[i].Name, b.Schemes[i].Name);
    EXPECT_TRUE(a.Schemes[i].Values == b.Schemes[i].Values) << a.Schemes[i].Name;
  }
  EXPECT_EQ(a.ActivePlan, b.ActivePlan);
  EXPECT_EQ(a.ActiveScheme, b.ActiveScheme);
}

TEST_F(PlanStoreTest, DefaultStoreHasTheSystemPlansAndXpSchemesInOrder) {
  const PlanStore store = DefaultPlanStore();
  ASSERT_EQ(store.Plans.size(), 3u);
  EXPECT_EQ(store.Plans[0].Guid, "381b4222-f694-41f0-9685-ff5bb260df2e");
  EXPECT_EQ(store.Plans[0].Name, "バランス");
  EXPECT_EQ(store.Plans[1].Guid, "8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c");
  EXPECT_EQ(store.Plans[1].Name, "高パフォーマンス");
  EXPECT_EQ(store.Plans[2].Guid, "a1841308-3541-4fab-bc81-f71556f20b4a");
  EXPECT_EQ(store.Plans[2].Name, "省電力");
  EXPECT_EQ(store.ActivePlan, store.Plans[0].Guid);
  const char* const xp[] = {"自宅または会社のデスク", "ポータブル/ラップトップ", "プレゼンテーション",
                            "常にオン", "最小の電源管理", "バッテリの最大利用"};
  ASSERT_EQ(store.Schemes.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(store.Schemes[i].Name, xp[i]);
  EXPECT_EQ(store.ActiveScheme, "自宅または会社のデスク");
  // The power-saver plan is the one the tool copies: it must carry values.
  EXPECT_EQ(store.Plans[2].Values.Ac.count("monitor-timeout"), 1u);
  EXPECT_EQ(store.Plans[2].Values.Dc.count("brightness"), 1u);
}

TEST_F(PlanStoreTest, MissingFileLoadsTheDefaultStore) {
  PlanStore store;
  ASSERT_TRUE(LoadPlanStore(path_, store));
  ExpectSameStore(store, DefaultPlanStore());
}

TEST_F(PlanStoreTest, SaveAndLoadRoundTripWithJapaneseAndSpecialText) {
  PlanStore store = DefaultPlanStore();
  Plan plan;
  plan.Guid = "0f0e0d0c-0b0a-4908-8706-050403020100";
  plan.Name = "Vantrel電源プラン";
  plan.Description = "「Vantrel 電源プラン設定ツール」が使用する\\電源プラン\nです。 = x\r";
  plan.NameUnreadable = true;
  plan.Values.Ac["brightness"] = 0;
  plan.Values.Dc["monitor-timeout"] = -5;
  plan.Values.Dc["sub_video/videoidle"] = 2147483647;
  store.Plans.push_back(plan);
  store.Schemes.push_back({"Vantrel電源プラン", {{{"disk-timeout", 7}}, {}}});
  store.ActivePlan = plan.Guid;
  store.ActiveScheme = "Vantrel電源プラン";

  ASSERT_TRUE(SavePlanStore(path_, store));
  const std::string first = ReadFile();
  PlanStore loaded;
  ASSERT_TRUE(LoadPlanStore(path_, loaded));
  ExpectSameStore(loaded, store);
  // Saving the loaded store writes the same bytes, and no temporary file stays.
  ASSERT_TRUE(SavePlanStore(path_, loaded));
  EXPECT_EQ(ReadFile(), first);
  EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));
}

TEST_F(PlanStoreTest, HandEditedFileIsReadLeniently) {
  WriteFile(
      "# edited\r\nactive-plan = 381B4222-F694-41F0-9685-FF5BB260DF2E\r\n\r\n"
      "[plan]\r\nguid={381B4222-F694-41F0-9685-FF5BB260DF2E}\r\nname=x\r\n"
      "description =\r\nac.monitor-timeout=4\r\n");
  PlanStore store;
  ASSERT_TRUE(LoadPlanStore(path_, store));
  ASSERT_EQ(store.Plans.size(), 1u);
  EXPECT_EQ(store.Plans[0].Guid, "381b4222-f694-41f0-9685-ff5bb260df2e");
  EXPECT_EQ(store.Plans[0].Description, "");
  EXPECT_EQ(store.Plans[0].Values.Ac.at("monitor-timeout"), 4);
  EXPECT_TRUE(store.Schemes.empty());
}

// Saved stores list values in key order; a hand-edited one may not, and may
// repeat a key: the last value of a key counts, whatever the order.
TEST_F(PlanStoreTest, ValuesInAnyOrderAndRepeatedKeysKeepTheLastValue) {
  struct Case {
    const char* values;
    std::map<std::string, int> ac;
  };
  const Case cases[] = {
      {"ac.a = 1\nac.b = 2\nac.c = 3\n", {{"a", 1}, {"b", 2}, {"c", 3}}},
      {"ac.c = 3\nac.a = 1\nac.b = 2\n", {{"a", 1}, {"b", 2}, {"c", 3}}},
      {"ac.b = 2\nac.c = 3\nac.b = 9\n", {{"b", 9}, {"c", 3}}},
      {"ac.b = 2\nac.b = 5\ndc.b = 1\n", {{"b", 5}}},
  };
  for (const Case& c : cases) {
    WriteFile(std::string("[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2e\n") + c.values);
    PlanStore store;
    ASSERT_TRUE(LoadPlanStore(path_, store)) << c.values;
    ASSERT_EQ(store.Plans.size(), 1u);
    EXPECT_EQ(store.Plans[0].Values.Ac, c.ac) << c.values;
  }
}

TEST_F(PlanStoreTest, EscapesAreDecodedAnywhereInAValue) {
  WriteFile("active-scheme = \\\\a\\nb\\rc\\\\\n[plan]\n"
            "guid = 381b4222-f694-41f0-9685-ff5bb260df2e\nname = \\n\n");
  PlanStore store;
  ASSERT_TRUE(LoadPlanStore(path_, store));
  EXPECT_EQ(store.ActiveScheme, "\\a\nb\rc\\");
  EXPECT_EQ(store.Plans[0].Name, "\n");
}

TEST_F(PlanStoreTest, MalformedFilesAreRejected) {
  const char* const cases[] = {
      "unknown = 1\n",
      "[plan]\nname = no guid\n",
      "[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2\n",
      "[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2e\n"
      "[plan]\nguid = 381B4222-F694-41F0-9685-FF5BB260DF2E\n",
      "[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2e\nac.monitor-timeout = ten\n",
      "[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2e\nac.monitor-timeout = 99999999999\n",
      "[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2e\nname = bad \\x escape\n",
      "[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2e\nname = cut off \\\n",
      "[plan]\nguid = 381b4222-f694-41f0-9685-ff5bb260df2e\nname-unreadable = yes\n",
      "[scheme]\nname = A\n[scheme]\nname = a\n",
      "[scheme]\nac.disk-timeout = 1\n",
      "[scheme]\nname = A\nno equals sign\n",
  };
  for (const char* text : cases) {
    WriteFile(text);
    PlanStore store;
    EXPECT_FALSE(LoadPlanStore(path_, store)) << text;
  }
}

TEST(PlanStoreGuidTest, GuidTextConvertsBothWays) {
  uint32_t d1 = 0;
  uint16_t d2 = 0, d3 = 0;
  uint8_t d4[8] = {};
  ASSERT_TRUE(ParseGuidText("{A1841308-3541-4FAB-BC81-F71556F20B4A}", d1, d2, d3, d4));
  EXPECT_EQ(d1, 0xa1841308u);
  EXPECT_EQ(d2, 0x3541);
  EXPECT_EQ(d3, 0x4fab);
  EXPECT_EQ(d4[0], 0xbc);
  EXPECT_EQ(d4[7], 0x4a);
  EXPECT_EQ(GuidText(d1, d2, d3, d4), "a1841308-3541-4fab-bc81-f71556f20b4a");

  for (const char* bad : {"", "a1841308-3541-4fab-bc81-f71556f20b4", "a1841308x3541-4fab-bc81-f71556f20b4a",
                          "g1841308-3541-4fab-bc81-f71556f20b4a", "{a1841308-3541-4fab-bc81-f71556f20b4a"})
    EXPECT_FALSE(IsGuidText(bad)) << bad;
}

TEST(PlanStoreLookupTest, PlansByGuidInAnyCaseAndSchemesByNameIgnoringAsciiCase) {
  PlanStore store = DefaultPlanStore();
  store.Schemes.push_back({"Vantrel電源プラン", {}});
  ASSERT_NE(FindPlan(store, "{A1841308-3541-4FAB-BC81-F71556F20B4A}"), nullptr);
  EXPECT_EQ(FindPlan(store, "A1841308-3541-4FAB-BC81-F71556F20B4A")->Name, "省電力");
  EXPECT_EQ(FindPlan(store, "00000000-0000-0000-0000-000000000000"), nullptr);
  ASSERT_NE(FindScheme(store, "VANTREL電源プラン"), nullptr);
  EXPECT_EQ(FindScheme(store, "Vantrel電源プラン "), nullptr);
}

}  // namespace
}  // namespace tav::standin
