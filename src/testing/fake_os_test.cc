#include "testing/fake_os.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tav::testing {
namespace {

TEST(FakeOsTest, ProfileValuesAreCaseInsensitive) {
  FakeOs os;
  os.AddFolder(L"C:\\data");
  ASSERT_TRUE(os.WriteString(L"Current", L"GUID", L"x", L"C:\\data\\a.ini"));
  EXPECT_EQ(os.ReadString(L"CURRENT", L"guid", L"", 1024, L"c:\\DATA\\A.INI"), L"x");
}

// Replacing one facet changes that facet only: each slot in turn is taken
// from a second machine, and only the calls of that facet answer from it.
TEST(OsFacetsTest, WithReplacesOnlyItsOwnFacet) {
  FakeOs base;
  FakeOs other;
  other.AddFile(L"C:\\other.txt");
  other.systemDirectory = L"D:\\Windows\\system32";
  other.xpSchemes = {L"Other"};
  other.debugOutputOn = false;
  other.SetProfileValue(L"C:\\a.ini", L"S", L"K", L"other");
  base.SetProfileValue(L"C:\\a.ini", L"S", L"K", L"base");
  base.xpSchemes = {L"Base"};

  struct Case {
    const char* facet;
    OsFacets facets;
  };
  const OsFacets from = base.facets();
  const Case cases[] = {
      {"system", from.With(static_cast<OsSystem&>(other))},
      {"processes", from.With(static_cast<OsProcesses&>(other))},
      {"files", from.With(static_cast<OsFiles&>(other))},
      {"profile", from.With(static_cast<OsProfile&>(other))},
      {"power", from.With(static_cast<OsPower&>(other))},
      {"com", from.With(static_cast<OsCom&>(other))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.facet);
    Os os(c.facets);
    const std::string facet = c.facet;
    auto expect = [&](const std::string& name, const void* got, const void* baseFacet,
                      const void* otherFacet) {
      EXPECT_EQ(got, name == facet ? otherFacet : baseFacet) << name;
    };
    expect("system", &os.system(), static_cast<OsSystem*>(&base), static_cast<OsSystem*>(&other));
    expect("processes", &os.processes(), static_cast<OsProcesses*>(&base),
           static_cast<OsProcesses*>(&other));
    expect("files", &os.files(), static_cast<OsFiles*>(&base), static_cast<OsFiles*>(&other));
    expect("profile", &os.profile(), static_cast<OsProfile*>(&base),
           static_cast<OsProfile*>(&other));
    expect("power", &os.power(), static_cast<OsPower*>(&base), static_cast<OsPower*>(&other));
    expect("com", &os.com(), static_cast<OsCom*>(&base), static_cast<OsCom*>(&other));

    // The calls themselves reach the facet their slot names.
    EXPECT_EQ(os.system().TraceWanted(), facet != "system");
    EXPECT_EQ(os.processes().SystemFolder(),
              facet == "processes" ? L"D:\\Windows\\system32" : L"C:\\Windows\\system32");
    EXPECT_EQ(os.files().Exists(L"C:\\other.txt"), facet == "files");
    EXPECT_EQ(os.profile().ReadString(L"S", L"K", L"", 64, L"C:\\a.ini"),
              facet == "profile" ? L"other" : L"base");
    EXPECT_EQ(os.power().SchemeNames(),
              (std::vector<std::wstring>{facet == "power" ? L"Other" : L"Base"}));
  }
}

}  // namespace
}  // namespace tav::testing
