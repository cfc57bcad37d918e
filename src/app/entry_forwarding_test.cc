#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/entry.h"
#include "os/os.h"
#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

// A machine with a task list and a settings file in the data folder, the
// hand-off due: a run touches nearly every call of the interface.
void Prepare(FakeOs& os) {
  os.AddBuiltInPlans();
  const std::wstring settings = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE\\Setting.ini";
  os.SetProfileValue(settings, L"GENERAL", L"Version", L"2.00.000");
  os.SetProfileValue(settings, L"GENERAL", L"Name", L"Eco");
  os.AddFile(L"C:\\Tasks\\a.xml");
  os.AddFile(L"C:\\Tasks\\list.txt", L"/TN:A/XML:C:\\Tasks\\a.xml\n");
}

const std::wstring kCommandLine =
    L"/F:\"C:\\Tasks\\list.txt\" /N:\"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE\\Setting.ini\" "
    L"/S:1200";

// Pass-through facets that count the calls they hand on: the shape of a
// decorator that replaces a facet of another Os (the benchmarks' Os without
// child processes replaces these two).
class CountingProcesses : public OsProcesses {
 public:
  explicit CountingProcesses(OsProcesses& inner) : inner_(inner) {}
  std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                 std::wstring& commandLine) override {
    ++calls;
    return inner_.CreateHiddenProcess(applicationName, commandLine);
  }
  std::wstring GetSystemDirectory() override {
    ++calls;
    return inner_.GetSystemDirectory();
  }
  int calls = 0;

 private:
  OsProcesses& inner_;
};

class CountingPower : public OsPower {
 public:
  explicit CountingPower(OsPower& inner) : inner_(inner) {}
  std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() override {
    ++calls;
    return inner_.LoadPowerLibrary();
  }
  std::optional<std::vector<std::wstring>> EnumPwrSchemes() override {
    ++calls;
    return inner_.EnumPwrSchemes();
  }
  int calls = 0;

 private:
  OsPower& inner_;
};

// A run through an Os made of a machine's facets, two of them wrapped, does
// exactly what a run on the machine itself does: the same calls, files,
// commands, trace and result.
TEST(ComposedOsTest, AWholeRunThroughReplacedFacetsIsTheInnerRun) {
  FakeOs direct;
  Prepare(direct);
  const int directExit = RunEntry(direct, kCommandLine);

  FakeOs inner;
  Prepare(inner);
  CountingProcesses processes(inner);
  CountingPower power(inner);
  Os composed(inner.facets().With(processes).With(power));
  const int composedExit = RunEntry(composed, kCommandLine);

  EXPECT_EQ(composedExit, directExit);
  EXPECT_EQ(directExit, kExitSuccess);
  EXPECT_EQ(inner.events, direct.events);
  EXPECT_EQ(inner.commandLines, direct.commandLines);
  EXPECT_EQ(inner.applicationNames, direct.applicationNames);
  EXPECT_EQ(inner.traceLines, direct.traceLines);
  EXPECT_EQ(inner.postedMessages.size(), direct.postedMessages.size());
  EXPECT_GE(direct.commandLines.size(), 16u);  // schtasks, 14 powercfg, 2 companion
  // Every start went through the wrapper, and the power library was asked
  // for (discovery and the confirmation of the active plan at least).
  EXPECT_GE(processes.calls, static_cast<int>(inner.commandLines.size()));
  EXPECT_GE(power.calls, 2);
}

// Replacing one facet changes that facet only: each slot in turn is taken
// from a second machine, and only the calls of that facet answer from it.
TEST(ComposedOsTest, WithReplacesOnlyItsOwnFacet) {
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
      {"paths", from.With(static_cast<OsPaths&>(other))},
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
    expect("paths", &os.paths(), static_cast<OsPaths*>(&base), static_cast<OsPaths*>(&other));
    expect("profile", &os.profile(), static_cast<OsProfile*>(&base),
           static_cast<OsProfile*>(&other));
    expect("power", &os.power(), static_cast<OsPower*>(&base), static_cast<OsPower*>(&other));
    expect("com", &os.com(), static_cast<OsCom*>(&base), static_cast<OsCom*>(&other));

    // The calls themselves reach the facet their slot names.
    EXPECT_EQ(os.IsDebugOutputOn(), facet != "system");
    EXPECT_EQ(os.GetSystemDirectory(),
              facet == "processes" ? L"D:\\Windows\\system32" : L"C:\\Windows\\system32");
    EXPECT_EQ(os.PathFileExists(L"C:\\other.txt"), facet == "files");
    EXPECT_EQ(os.GetPrivateProfileString(L"S", L"K", L"", 64, L"C:\\a.ini"),
              facet == "profile" ? L"other" : L"base");
    EXPECT_EQ(os.EnumPwrSchemes(),
              (std::vector<std::wstring>{facet == "power" ? L"Other" : L"Base"}));
  }
}

// An Os of another Os's facets answers from that Os's state, and a FakeOs
// called as itself or as an Os gives the same answers.
TEST(ComposedOsTest, AnOsOfAMachinesFacetsAnswersFromTheMachine) {
  FakeOs inner;
  inner.AddFile(L"C:\\x.txt");
  inner.xpSchemes = {L"Home", L"Office"};
  Os composed(inner.facets());
  Os& asOs = inner;
  for (Os* os : {&composed, &asOs}) {
    EXPECT_TRUE(os->PathFileExists(L"C:\\x.txt"));
    EXPECT_FALSE(os->PathFileExists(L"C:\\y.txt"));
    EXPECT_EQ(os->EnumPwrSchemes(), inner.xpSchemes);
    std::wstring path;
    EXPECT_EQ(os->GetModuleFileName(path), inner.moduleFileName.size());
    EXPECT_EQ(path, inner.moduleFileName);
  }
  EXPECT_EQ(inner.enumPwrSchemesCalls, 2);
}

}  // namespace
}  // namespace tav
