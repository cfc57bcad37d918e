#include "os/forwarding_os.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/entry.h"
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

// A run through the forwarding Os does exactly what a run on the inner Os
// does: the same calls, files, commands, trace and result.
TEST(ForwardingOsTest, AWholeRunIsTheInnerOsRun) {
  FakeOs direct;
  Prepare(direct);
  const int directExit = RunEntry(direct, kCommandLine);

  FakeOs inner;
  Prepare(inner);
  ForwardingOs forwarding(inner);
  const int forwardedExit = RunEntry(forwarding, kCommandLine);

  EXPECT_EQ(forwardedExit, directExit);
  EXPECT_EQ(directExit, kExitSuccess);
  EXPECT_EQ(inner.events, direct.events);
  EXPECT_EQ(inner.commandLines, direct.commandLines);
  EXPECT_EQ(inner.applicationNames, direct.applicationNames);
  EXPECT_EQ(inner.traceLines, direct.traceLines);
  EXPECT_EQ(inner.postedMessages.size(), direct.postedMessages.size());
  EXPECT_GE(direct.commandLines.size(), 16u);  // schtasks, 14 powercfg, 2 companion
}

TEST(ForwardingOsTest, OwnedInnerOsIsForwardedTo) {
  auto owned = std::make_unique<FakeOs>();
  FakeOs& inner = *owned;
  inner.AddFile(L"C:\\x.txt");
  inner.xpSchemes = {L"Home", L"Office"};
  ForwardingOs forwarding(std::move(owned));
  EXPECT_TRUE(forwarding.PathFileExists(L"C:\\x.txt"));
  EXPECT_FALSE(forwarding.PathFileExists(L"C:\\y.txt"));
  EXPECT_EQ(forwarding.EnumPwrSchemes(), inner.xpSchemes);
  EXPECT_EQ(inner.enumPwrSchemesCalls, 1);
  std::wstring path;
  EXPECT_EQ(forwarding.GetModuleFileName(path), inner.moduleFileName.size());
  EXPECT_EQ(path, inner.moduleFileName);
}

}  // namespace
}  // namespace tav
