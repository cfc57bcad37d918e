#include <sys/stat.h>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_test_support.h"
#include "os/utf8.h"

namespace tav::posix::testing {
namespace {

class PosixPowerLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.Plans = {
        {"381b4222-f694-41f0-9685-ff5bb260df2e", "Balanced", "", false, {}},
        {"a1841308-3541-4fab-bc81-f71556f20b4a", "Vantrel電源プラン", "", false, {}},
        {"8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c", "Hidden name", "", true, {}},
        {"11111111-2222-3333-4444-555555555555", "\xF0\x9F\x98\x80xyz", "", false, {}},
    };
    store_.Schemes = {
        {"ポータブル/ラップトップ", {}}, {"バッテリの最大利用", {}}, {"常にオン", {}}};
    ASSERT_TRUE(SavePlanStore(dir_ / "plan-store.txt", store_));
  }

  static Guid GuidOf(const std::string& text) {
    Guid guid;
    EXPECT_TRUE(ParseGuid(text, guid));
    return guid;
  }

  TempDir dir_;
  std::unique_ptr<Os> os_ = MakePosixOs(dir_.Config());
  standin::PlanStore store_;
};

TEST_F(PosixPowerLibraryTest, EnumeratesPlansInStoreOrder) {
  auto library = os_->power().OpenLibrary();
  ASSERT_NE(library, nullptr);
  for (uint32_t i = 0; i < store_.Plans.size(); ++i) {
    const std::optional<Guid> guid = library->PlanAt(i);
    ASSERT_TRUE(guid.has_value()) << i;
    EXPECT_TRUE(*guid == GuidOf(store_.Plans[i].Guid)) << i;
  }
  EXPECT_FALSE(library->PlanAt(4).has_value());  // ERROR_NO_MORE_ITEMS
  EXPECT_FALSE(library->PlanAt(1000).has_value());
}

TEST_F(PosixPowerLibraryTest, FriendlyNamesFailWhenUnreadableOrTooLong) {
  auto library = os_->power().OpenLibrary();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->PlanName(GuidOf(store_.Plans[1].Guid)),
            std::optional<std::wstring>(L"Vantrel電源プラン"));
  EXPECT_FALSE(library->PlanName(GuidOf(store_.Plans[2].Guid)).has_value());
  EXPECT_FALSE(
      library->PlanName(GuidOf("00000000-0000-0000-0000-000000000001")).has_value());
  // "😀xyz" is 5 UTF-16 units: 12 bytes with the terminator.
  EXPECT_EQ(library->PlanName(GuidOf(store_.Plans[3].Guid)),
            std::optional<std::wstring>(L"\U0001F600xyz"));

  // The buffer holds 1024 bytes: 511 UTF-16 units and the terminator. A
  // character beyond the BMP counts two units.
  store_.Plans[0].Name = std::string(511, 'n');
  store_.Plans[1].Name = std::string(512, 'n');
  store_.Plans[3].Name = std::string(509, 'n') + "\xF0\x9F\x98\x80";  // 511 units
  store_.Plans[2].NameUnreadable = false;
  store_.Plans[2].Name = std::string(510, 'n') + "\xF0\x9F\x98\x80";  // 512 units
  ASSERT_TRUE(SavePlanStore(dir_ / "plan-store.txt", store_));
  auto reloaded = os_->power().OpenLibrary();
  ASSERT_NE(reloaded, nullptr);
  EXPECT_TRUE(reloaded->PlanName(GuidOf(store_.Plans[0].Guid)).has_value());
  EXPECT_FALSE(reloaded->PlanName(GuidOf(store_.Plans[1].Guid)).has_value());
  EXPECT_TRUE(reloaded->PlanName(GuidOf(store_.Plans[3].Guid)).has_value());
  EXPECT_FALSE(reloaded->PlanName(GuidOf(store_.Plans[2].Guid)).has_value());
}

TEST_F(PosixPowerLibraryTest, SchemesAreListedInOrder) {
  std::vector<std::wstring> expected;
  for (const standin::Scheme& scheme : store_.Schemes) expected.push_back(tav::FromUtf8(scheme.Name));
  ASSERT_GE(expected.size(), 3u);
  EXPECT_EQ(expected[0], L"ポータブル/ラップトップ");
  EXPECT_EQ(expected[1], L"バッテリの最大利用");
  EXPECT_EQ(os_->power().SchemeNames(), std::optional<std::vector<std::wstring>>(expected));

  store_.Schemes.pop_back();
  store_.Schemes.erase(store_.Schemes.begin() + 1);
  ASSERT_TRUE(SavePlanStore(dir_ / "plan-store.txt", store_));
  expected.pop_back();
  expected.erase(expected.begin() + 1);
  EXPECT_EQ(os_->power().SchemeNames(), std::optional<std::vector<std::wstring>>(expected));
}

TEST_F(PosixPowerLibraryTest, ActivePlanIsTheStoresOrAFailureWithItsError) {
  const ActivePlanReading none = os_->power().OpenLibrary()->ActivePlan();
  EXPECT_EQ(none.Result, ActivePlanReading::Status::kFailed);
  EXPECT_EQ(none.Error, 2u);  // ERROR_FILE_NOT_FOUND
  store_.ActivePlan = store_.Plans[1].Guid;
  ASSERT_TRUE(SavePlanStore(dir_ / "plan-store.txt", store_));
  const ActivePlanReading active = os_->power().OpenLibrary()->ActivePlan();
  EXPECT_EQ(active.Result, ActivePlanReading::Status::kRead);
  EXPECT_TRUE(active.Plan == GuidOf(store_.Plans[1].Guid));
}

TEST_F(PosixPowerLibraryTest, StoreIsReadOnceWhenTheLibraryLoads) {
  auto library = os_->power().OpenLibrary();
  ASSERT_NE(library, nullptr);
  store_.Plans.clear();
  ASSERT_TRUE(SavePlanStore(dir_ / "plan-store.txt", store_));
  EXPECT_TRUE(library->PlanAt(0).has_value());
  EXPECT_FALSE(os_->power().OpenLibrary()->PlanAt(0).has_value());
}

TEST_F(PosixPowerLibraryTest, UnreadableStoreMeansNoLibrary) {
  std::remove((dir_ / "plan-store.txt").c_str());
  ASSERT_EQ(mkdir((dir_ / "plan-store.txt").c_str(), 0755), 0);
  EXPECT_EQ(os_->power().OpenLibrary(), nullptr);
  EXPECT_EQ(os_->power().SchemeNames(), std::nullopt);
}

}  // namespace
}  // namespace tav::posix::testing
