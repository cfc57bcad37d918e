#include "power/plan_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "os/utf8.h"
#include "power/builtin_plans.h"
#include "shared/text.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;
using testing::FakePlan;
using testing::GuidFromText;

const std::wstring kMachineFile = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE\\Setting.ini";
const std::wstring kPlanA = L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";
const std::wstring kPlanB = L"11111111-2222-3333-4444-555555555555";
const std::wstring kPlanC = L"99999999-8888-7777-6666-555555555555";
// What FakeOs::CoCreateGuid hands out first when no GUIDs were queued.
const std::wstring kFirstNewGuid = L"12345678-9ABC-DEF0-0102-030405060708";

int Count(const FakeOs& os, const std::wstring& event) {
  return static_cast<int>(std::count(os.events.begin(), os.events.end(), event));
}

class PlanDiscoveryTest : public ::testing::Test {
 protected:
  void Record(const std::wstring& guid) {
    os.SetProfileValue(kMachineFile, L"Current", L"GUID", guid);
  }
  void AddPlan(const std::wstring& guid, const std::wstring& name, bool readable = true) {
    os.plans.push_back(FakePlan{GuidFromText(guid), name, readable});
  }
  // Runs discovery; its result lands in `mustCreate` and `planGuid`.
  bool Find() {
    const std::optional<DedicatedPlan> plan = FindDedicatedPlan(os, PinnedDataFolder::Pin(os));
    mustCreate = plan ? (plan->MustCreate ? 1 : 0) : -1;
    planGuid = plan ? plan->Guid : L"";
    return plan.has_value();
  }
  void ExpectLibraryFreed() {
    EXPECT_EQ(Count(os, L"LoadPowerLibrary"), 1);
    EXPECT_EQ(Count(os, L"FreePowerLibrary"), os.powerLibraryAvailable ? 1 : 0);
  }

  FakeOs os;
  int mustCreate = -1;
  std::wstring planGuid = L"stale";
};

TEST_F(PlanDiscoveryTest, RecordedGuidMatchesWhateverBracesAndCase) {
  const std::vector<std::wstring> records = {L"0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9",
                                             L"{" + kPlanA + L"}",
                                             L"{{0a1b2c3d-4e5f-6071-8293-A4B5C6D7E8F9}}"};
  for (const std::wstring& recorded : records) {
    os = FakeOs();
    AddPlan(kPlanB, kDedicatedPlanName);
    AddPlan(kPlanA, L"Other");
    Record(recorded);
    ASSERT_TRUE(Find()) << recorded;
    EXPECT_EQ(mustCreate, 0) << recorded;
    EXPECT_TRUE(EqualsIgnoreCase(planGuid, kPlanA)) << planGuid;
    EXPECT_EQ(planGuid.find_first_of(L"{}"), std::wstring::npos) << planGuid;
    EXPECT_EQ(os.friendlyNameReads, 0);  // names are not read when a GUID is recorded
    ExpectLibraryFreed();
    EXPECT_EQ(Count(os, L"CoInitialize"), 0);
  }
}

TEST_F(PlanDiscoveryTest, RecordedGuidWithoutPlanMakesANewGuidWhateverTheNames) {
  AddPlan(kPlanB, kDedicatedPlanName);
  Record(kPlanC);
  ASSERT_TRUE(Find());
  EXPECT_EQ(mustCreate, 1);
  EXPECT_EQ(planGuid, kFirstNewGuid);
}

TEST_F(PlanDiscoveryTest, WithoutRecordFindsThePlanByName) {
  AddPlan(kPlanA, L"Balanced");
  AddPlan(kPlanB, kDedicatedPlanName);
  ASSERT_TRUE(Find());
  EXPECT_EQ(mustCreate, 0);
  EXPECT_EQ(planGuid, kPlanB);
  ExpectLibraryFreed();
}

TEST_F(PlanDiscoveryTest, EmptyBracesCountAsNoRecord) {
  Record(L"{}");
  AddPlan(kPlanB, kDedicatedPlanName);
  ASSERT_TRUE(Find());
  EXPECT_EQ(planGuid, kPlanB);
}

TEST_F(PlanDiscoveryTest, UnreadableNameIsSkipped) {
  AddPlan(kPlanA, kDedicatedPlanName, /*readable=*/false);
  AddPlan(kPlanC, std::wstring(600, L'x'));  // too long for the name buffer
  AddPlan(kPlanB, kDedicatedPlanName);
  ASSERT_TRUE(Find());
  EXPECT_EQ(mustCreate, 0);
  EXPECT_EQ(planGuid, kPlanB);
  EXPECT_EQ(os.friendlyNameReads, 3);
}

TEST_F(PlanDiscoveryTest, FirstOfTwoSameNamedPlansWins) {
  AddPlan(kPlanC, kDedicatedPlanName);
  AddPlan(kPlanB, kDedicatedPlanName);
  ASSERT_TRUE(Find());
  EXPECT_EQ(planGuid, kPlanC);
  EXPECT_EQ(os.friendlyNameReads, 1);
}

TEST_F(PlanDiscoveryTest, NoPlanAtAllMakesANewGuidAfterFreeingTheLibrary) {
  os.guidsToCreate.push_back(GuidFromText(kPlanC));
  ASSERT_TRUE(Find());
  EXPECT_EQ(mustCreate, 1);
  EXPECT_EQ(planGuid, kPlanC);
  std::vector<std::wstring> calls;
  for (const auto& e : os.events)
    if (e.rfind(L"CreateDirectory:", 0) != 0) calls.push_back(e);
  EXPECT_EQ(calls, (std::vector<std::wstring>{L"LoadPowerLibrary", L"FreePowerLibrary",
                                              L"CoInitialize", L"CoUninitialize"}));
}

TEST_F(PlanDiscoveryTest, PlanNotFoundByNameMakesANewGuid) {
  AddPlan(kPlanA, L"Balanced");
  ASSERT_TRUE(Find());
  EXPECT_EQ(mustCreate, 1);
  EXPECT_EQ(planGuid, kFirstNewGuid);
  ExpectLibraryFreed();
}

TEST_F(PlanDiscoveryTest, MissingLibraryFails) {
  os.powerLibraryAvailable = false;
  AddPlan(kPlanB, kDedicatedPlanName);
  EXPECT_FALSE(Find());
  EXPECT_EQ(Count(os, L"CoInitialize"), 0);
}

TEST_F(PlanDiscoveryTest, GuidCreationFailureFailsWithBalancedCom) {
  os.coCreateGuidFails = true;
  EXPECT_FALSE(Find());
  EXPECT_EQ(Count(os, L"CoInitialize"), 1);
  EXPECT_EQ(Count(os, L"CoUninitialize"), 1);
  ExpectLibraryFreed();
}

// COM as a machine where it cannot be initialised (already initialised in
// another mode, say): only this facet differs from the fake machine.
class RefusingCom : public OsCom {
 public:
  explicit RefusingCom(OsCom& inner) : inner_(inner) {}
  bool Start() override {
    calls.push_back(L"CoInitialize");
    return false;
  }
  void Stop() override { calls.push_back(L"CoUninitialize"); }
  std::optional<Guid> NewGuid() override {
    calls.push_back(L"CoCreateGuid");
    return inner_.NewGuid();
  }
  std::optional<std::wstring> GuidText(const Guid& guid) override {
    calls.push_back(L"StringFromClsid");
    return inner_.GuidText(guid);
  }
  std::vector<std::wstring> calls;

 private:
  OsCom& inner_;
};

// A GUID is still made without COM, and COM that did not start is not
// uninitialised: the calls stay balanced.
TEST_F(PlanDiscoveryTest, ComThatCannotStartIsNotUninitializedAndTheGuidIsStillMade) {
  os.guidsToCreate.push_back(GuidFromText(kPlanC));
  RefusingCom com(os);
  Os machine(os.facets().With(com));
  const std::optional<DedicatedPlan> plan =
      FindDedicatedPlan(machine, PinnedDataFolder::Pin(machine));
  ASSERT_TRUE(plan.has_value());
  EXPECT_TRUE(plan->MustCreate);
  EXPECT_EQ(plan->Guid, kPlanC);
  EXPECT_EQ(com.calls,
            (std::vector<std::wstring>{L"CoInitialize", L"CoCreateGuid", L"StringFromClsid"}));
  EXPECT_EQ(Count(os, L"CoInitialize"), 0);  // the machine's own COM was never asked
  ExpectLibraryFreed();
}

TEST_F(PlanDiscoveryTest, NewGuidWithoutTextFormFails) {
  os.stringFromClsidFails = true;
  EXPECT_FALSE(Find());
  ExpectLibraryFreed();
}

TEST_F(PlanDiscoveryTest, ReadingTheRecordClearsItsReadOnlyAttribute) {
  os.AddFile(kMachineFile, L"", kFileAttributeReadOnly);
  Record(kPlanA);
  AddPlan(kPlanA, L"x");
  ASSERT_TRUE(Find());
  EXPECT_EQ(os.Attributes(kMachineFile) & kFileAttributeReadOnly, 0u);
}

// Windows' own plans are never the dedicated plan: the configuration would
// rewrite the user's settings. A record or a name that points at one is
// passed over as if that plan were not there.
TEST_F(PlanDiscoveryTest, BuiltInPlansAreNeverAdopted) {
  const std::vector<std::wstring> builtIns = {
      L"381b4222-f694-41f0-9685-ff5bb260df2e", L"8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C",
      L"a1841308-3541-4fab-bc81-f71556f20b4a", L"e9a42b02-d5df-448d-aa00-03f14749eb61"};
  for (const std::wstring& builtIn : builtIns) {
    SCOPED_TRACE(ToUtf8(builtIn));
    // Recorded: a new GUID, whatever the plan is called.
    os = FakeOs();
    AddPlan(builtIn, kDedicatedPlanName);
    Record(L"{" + builtIn + L"}");
    ASSERT_TRUE(Find());
    EXPECT_EQ(mustCreate, 1);
    EXPECT_EQ(planGuid, kFirstNewGuid);

    // Named like the dedicated plan: the next plan of that name is taken.
    os = FakeOs();
    AddPlan(builtIn, kDedicatedPlanName);
    AddPlan(kPlanB, kDedicatedPlanName);
    ASSERT_TRUE(Find());
    EXPECT_EQ(mustCreate, 0);
    EXPECT_EQ(planGuid, kPlanB);

    // The only plan of that name: a new one is made.
    os = FakeOs();
    AddPlan(builtIn, kDedicatedPlanName);
    ASSERT_TRUE(Find());
    EXPECT_EQ(mustCreate, 1);
    EXPECT_EQ(planGuid, kFirstNewGuid);
  }
}

TEST_F(PlanDiscoveryTest, MalformedRecordedGuidMakesANewGuid) {
  for (const wchar_t* recorded : {L"not a guid", L"0A1B2C3D-4E5F-6071-8293", L"{x}"}) {
    os = FakeOs();
    AddPlan(kPlanA, kDedicatedPlanName);
    Record(recorded);
    ASSERT_TRUE(Find());
    EXPECT_EQ(mustCreate, 1);
    EXPECT_EQ(planGuid, kFirstNewGuid);
  }
}

// The plan must be the one the system reports as active before "/CHANGE"
// (which names no plan) may run; without PowerGetActiveScheme it must at
// least exist.
TEST(PlanConfirmationTest, EachOutcome) {
  const Guid ours = GuidFromText(kPlanA);
  const Guid balanced = GuidFromText(L"381b4222-f694-41f0-9685-ff5bb260df2e");
  struct Case {
    const char* what;
    bool library;
    bool hasFunction;
    uint32_t error;
    Guid active;
    bool listed;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"our plan active", true, true, 0, ours, true, true},
      {"another plan active", true, true, 0, balanced, true, false},
      {"the call fails", true, true, 5, ours, true, false},
      {"no such function, plan listed", true, false, 0, balanced, true, true},
      {"no such function, plan missing", true, false, 0, balanced, false, false},
      {"not implemented (Wine), plan listed", true, true, 120, balanced, true, true},
      {"not implemented (Wine), plan missing", true, true, 120, ours, false, false},
      {"no power library", false, true, 0, ours, true, false},
  };
  for (const Case& c : cases) {
    FakeOs os;
    os.AddBuiltInPlans();
    if (c.listed) os.plans.push_back(FakePlan{ours, kDedicatedPlanName});
    os.powerLibraryAvailable = c.library;
    os.getActiveSchemeAvailable = c.hasFunction;
    os.getActiveSchemeError = c.error;
    os.activePlan = c.active;
    EXPECT_EQ(ConfirmDedicatedPlanActive(os, L"0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9"), c.expected)
        << c.what;
    EXPECT_EQ(Count(os, L"PowerGetActiveScheme"), c.library && c.hasFunction ? 1 : 0) << c.what;
    EXPECT_EQ(Count(os, L"FreePowerLibrary"), c.library ? 1 : 0) << c.what;
  }
  FakeOs os;
  os.AddBuiltInPlans();
  EXPECT_FALSE(ConfirmDedicatedPlanActive(os, L""));
}

TEST(PlanBaseTest, PowerSaverWhereListedElseBalanced) {
  FakeOs os;
  os.AddBuiltInPlans();
  EXPECT_EQ(ChooseBasePlanGuid(os), kPowerSaverPlanGuid);

  os.plans.pop_back();  // the power saver, as on Modern Standby machines
  EXPECT_EQ(ChooseBasePlanGuid(os), kBalancedPlanGuid);
  os.plans.clear();
  EXPECT_EQ(ChooseBasePlanGuid(os), kBalancedPlanGuid);

  // Upper-case enumeration text still counts as listed.
  os.plans.push_back(FakePlan{GuidFromText(L"A1841308-3541-4FAB-BC81-F71556F20B4A"), L"x"});
  EXPECT_EQ(ChooseBasePlanGuid(os), kPowerSaverPlanGuid);

  // Plans that cannot be listed: the power saver, as always.
  os.powerLibraryAvailable = false;
  EXPECT_EQ(ChooseBasePlanGuid(os), kPowerSaverPlanGuid);
}

TEST(PlanDiscoveryGuidTextTest, BracesAreStrippedAndFailureGivesEmpty) {
  FakeOs os;
  EXPECT_EQ(PlanGuidToString(os, GuidFromText(kPlanA)), kPlanA);
  os.stringFromClsidFails = true;
  EXPECT_EQ(PlanGuidToString(os, GuidFromText(kPlanA)), L"");
}

struct SchemeCase {
  std::vector<std::wstring> schemes;
  SchemeSearchMode mode;
  bool mustCreateOut;
  std::wstring base;
  int enumerations;
};

TEST(PlanDiscoverySchemeTest, FindSchemeByName) {
  const std::wstring vantrel = kDedicatedPlanName;
  const std::wstring battery = kXpBaseSchemeName;
  const std::vector<SchemeCase> cases = {
      // The dedicated scheme exists: nothing to create.
      {{L"Home", vantrel, battery}, SchemeSearchMode::kDedicatedThenBase, false, vantrel, 1},
      // Matched without regard to case; the system's spelling is kept.
      {{L"Home", L"VANTREL電源プラン"}, SchemeSearchMode::kDedicatedThenBase, false, L"VANTREL電源プラン", 1},
      // Missing: the base scheme is looked for in a second enumeration.
      {{L"Home", battery, L"Office"}, SchemeSearchMode::kDedicatedThenBase, true, battery, 2},
      // Neither exists: the last scheme listed is the base.
      {{L"Home", L"Office"}, SchemeSearchMode::kDedicatedThenBase, true, L"Office", 2},
      // Nothing listed at all.
      {{}, SchemeSearchMode::kDedicatedThenBase, true, L"", 2},
      // Creation already decided: only the base scheme is looked for.
      {{vantrel, battery}, SchemeSearchMode::kBaseOnly, true, battery, 1},
      {{L"Home", vantrel}, SchemeSearchMode::kBaseOnly, true, vantrel, 1},
  };
  for (const SchemeCase& c : cases) {
    FakeOs os;
    os.xpSchemes = c.schemes;
    const std::optional<SchemeChoice> choice = FindSchemeByName(os, c.mode);
    ASSERT_TRUE(choice.has_value()) << c.base;
    EXPECT_EQ(choice->MustCreate, c.mustCreateOut) << c.base;
    EXPECT_EQ(choice->BaseSchemeName, c.base);
    EXPECT_EQ(os.enumPwrSchemesCalls, c.enumerations) << c.base;
  }
}

TEST(PlanDiscoverySchemeTest, FailedEnumerationGivesNothing) {
  for (SchemeSearchMode mode : {SchemeSearchMode::kDedicatedThenBase, SchemeSearchMode::kBaseOnly}) {
    FakeOs os;
    os.enumPwrSchemesFails = true;
    EXPECT_EQ(FindSchemeByName(os, mode).has_value(), false);
    EXPECT_EQ(os.enumPwrSchemesCalls, 1);
  }
}

TEST(PlanDiscoverySchemeTest, ListSearchStopsAtTheMatchAndKeepsTheLastNamePassed) {
  SchemeSearch search;
  search.TargetName = kDedicatedPlanName;
  SearchSchemeList({}, search);
  EXPECT_FALSE(search.Found);
  EXPECT_EQ(search.LastName, L"");
  SearchSchemeList({L"Home", L"VANTREL電源プラン", L"Office"}, search);
  EXPECT_TRUE(search.Found);
  EXPECT_EQ(search.TargetName, L"VANTREL電源プラン");
  EXPECT_EQ(search.LastName, L"Home");

  SchemeSearch missing;
  missing.TargetName = kDedicatedPlanName;
  SearchSchemeList({L"Home", L"Office"}, missing);
  EXPECT_FALSE(missing.Found);
  EXPECT_EQ(missing.TargetName, kDedicatedPlanName);
  EXPECT_EQ(missing.LastName, L"Office");
}

}  // namespace
}  // namespace tav
