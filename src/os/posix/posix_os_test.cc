#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_paths.h"
#include "os/posix/posix_test_support.h"

namespace tav::posix::testing {
namespace {

TEST(PosixConfigTest, OverridesComeFirstThenTheUsualPlaces) {
  {
    ScopedEnv a("TAV_POSIX_COMMON_APPDATA", "/t/common"), b("TAV_POSIX_LOCAL_APPDATA", "/t/local"),
        c("TAV_POSIX_RUNTIME_DIR", "/t/run"), d("TAV_STANDIN_DIR", "/t/state"),
        e("XDG_DATA_HOME", "/x/data"), f("XDG_RUNTIME_DIR", "/x/run");
    PosixConfig config = PosixConfig::FromEnvironment();
    EXPECT_EQ(config.CommonAppData, "/t/common");
    EXPECT_EQ(config.LocalAppData, "/t/local");
    EXPECT_EQ(config.RuntimeDir, "/t/run");
    EXPECT_EQ(config.StandinDir, "/t/state");
  }
  {
    ScopedEnv a("TAV_POSIX_COMMON_APPDATA", std::nullopt), b("TAV_POSIX_LOCAL_APPDATA", ""),
        c("TAV_POSIX_RUNTIME_DIR", std::nullopt), d("TAV_STANDIN_DIR", std::nullopt),
        e("XDG_DATA_HOME", "/x/data"), f("XDG_RUNTIME_DIR", "/x/run");
    PosixConfig config = PosixConfig::FromEnvironment();
    EXPECT_EQ(config.CommonAppData, "/var/lib");
    EXPECT_EQ(config.LocalAppData, "/x/data");
    EXPECT_EQ(config.RuntimeDir, "/x/run");
    EXPECT_EQ(config.StandinDir, "");
  }
  {
    ScopedEnv b("TAV_POSIX_LOCAL_APPDATA", std::nullopt), c("TAV_POSIX_RUNTIME_DIR", std::nullopt),
        e("XDG_DATA_HOME", std::nullopt), f("XDG_RUNTIME_DIR", std::nullopt), h("HOME", "/h");
    PosixConfig config = PosixConfig::FromEnvironment();
    EXPECT_EQ(config.LocalAppData, "/h/.local/share");
    EXPECT_EQ(config.RuntimeDir, "/tmp");
  }
  {
    ScopedEnv b("TAV_POSIX_LOCAL_APPDATA", std::nullopt), e("XDG_DATA_HOME", std::nullopt),
        h("HOME", std::nullopt);
    EXPECT_EQ(PosixConfig::FromEnvironment().LocalAppData, "");  // cannot be named
  }
}

class PosixOsTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::unique_ptr<Os> os_ = MakePosixOs(dir_.Config());
};

TEST_F(PosixOsTest, ProcessRunsInTheConsoleSession) {
  OsSystem& system = os_->system();
  EXPECT_EQ(system.SessionOf(system.ProcessId()), system.ConsoleSession());
  EXPECT_EQ(system.ProcessId(), static_cast<uint32_t>(getpid()));

  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  EXPECT_EQ(system.SessionOf(static_cast<uint32_t>(gone)), std::nullopt);
}

TEST_F(PosixOsTest, VersionIsNeverWindowsXp) {
  EXPECT_FALSE(os_->system().IsWindowsXp());
}

TEST_F(PosixOsTest, LocalTimeFollowsTheTimeZone) {
  {
    ScopedEnv zone("TZ", "UTC");
    tzset();
    // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(os_->system().LocalTimeOfDay(1'700'000'000), (TimeOfDay{22, 13}));
  }
  {
    ScopedEnv zone("TZ", "JST-9");
    tzset();
    EXPECT_EQ(os_->system().LocalTimeOfDay(1'700'000'000), (TimeOfDay{7, 13}));
  }
  tzset();
  int64_t now = os_->system().Now();
  EXPECT_LE(std::abs(now - static_cast<int64_t>(time(nullptr))), 1);
}

TEST_F(PosixOsTest, GuidsAreNewEachTimeAndLaidOutLikeWindows) {
  OsCom& com = os_->com();
  EXPECT_TRUE(com.Start());
  std::set<std::wstring> seen;
  for (int i = 0; i < 1000; ++i) {
    const std::optional<Guid> made = com.NewGuid();
    ASSERT_TRUE(made);
    const Guid guid = *made;
    // Random (version 4) GUIDs: the version sits in data3's top nibble and
    // the variant in data4[0]'s top bits when the fields are laid out right.
    EXPECT_EQ(guid.Data3 >> 12, 4);
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
    const std::optional<std::wstring> text = com.GuidText(guid);
    ASSERT_TRUE(text);
    seen.insert(*text);
    Guid back;
    ASSERT_TRUE(ParseGuid(ToUtf8(*text), back));
    EXPECT_TRUE(back == guid);
  }
  EXPECT_EQ(seen.size(), 1000u);
  com.Stop();

  Guid known;
  ASSERT_TRUE(ParseGuid("a1841308-3541-4fab-bc81-f71556f20b4a", known));
  EXPECT_EQ(known.Data1, 0xa1841308u);
  EXPECT_EQ(known.Data2, 0x3541);
  EXPECT_EQ(known.Data3, 0x4fab);
  EXPECT_EQ(known.Data4[0], 0xbc);
  EXPECT_EQ(known.Data4[7], 0x4a);
  EXPECT_EQ(com.GuidText(known), L"{A1841308-3541-4FAB-BC81-F71556F20B4A}");
  EXPECT_TRUE(ParseGuid("{A1841308-3541-4FAB-BC81-F71556F20B4A}", known));
  for (const char* bad :
       {"", "a1841308-3541-4fab-bc81-f71556f20b4", "a1841308-3541-4fab-bc81f-71556f20b4a",
        "g1841308-3541-4fab-bc81-f71556f20b4a", "{a1841308-3541-4fab-bc81-f71556f20b4a"})
    EXPECT_FALSE(ParseGuid(bad, known)) << bad;
}

TEST_F(PosixOsTest, ProfileFunctionsWorkOnWindowsFormPaths) {
  const std::wstring path = WindowsPath(dir_ / "Setting.ini");
  OsProfile& profile = os_->profile();
  EXPECT_EQ(profile.ReadString(L"Current", L"GUID", L"none", 1024, path), L"none");
  ASSERT_TRUE(profile.WriteString(L"Current", L"GUID", L"a1841308", path));
  ASSERT_TRUE(profile.WriteString(L"DISPLAY", L"DisplayAcTime", L"15", path));
  profile.Flush(path);
  EXPECT_TRUE(FileExists(dir_ / "Setting.ini"));
  EXPECT_EQ(profile.ReadString(L"current", L"guid", L"", 1024, path), L"a1841308");
  EXPECT_EQ(profile.ReadString(L"Current", L"GUID", L"", 4, path), L"a18");
  EXPECT_EQ(profile.ReadInt(L"DISPLAY", L"DisplayAcTime", -1, path), 15);
  EXPECT_EQ(profile.ReadInt(L"DISPLAY", L"Missing", -1, path), -1);

  ASSERT_TRUE(ChangeFileAttributes(dir_ / "Setting.ini", kFileAttributeReadOnly));
  EXPECT_FALSE(profile.WriteString(L"Current", L"GUID", L"other", path));
  EXPECT_EQ(profile.ReadString(L"Current", L"GUID", L"", 1024, path), L"a1841308");
}

TEST(PosixPathsTest, ConversionsKeepTextAndMapSeparators) {
  // ASCII alone, and text that turns non-ASCII before, after or between
  // separators.
  const std::pair<std::wstring, std::string> paths[] = {
      {L"", ""},
      {L"\\", "/"},
      {L"C:\\ProgramData\\VARENTO\\Setting.ini", "C:/ProgramData/VARENTO/Setting.ini"},
      {L"\\tmp\\VARENTO\\電源.ini", "/tmp/VARENTO/電源.ini"},
      {L"電\\x\\", "\xE9\x9B\xBB/x/"},
      {L"a/b\\\x7F\x80\\c", "a/b/\x7F\xC2\x80/c"},
  };
  for (const auto& [windows, native] : paths) EXPECT_EQ(NativePath(windows), native) << native;
  EXPECT_EQ(WindowsPath("/tmp/VARENTO/電源.ini"), L"\\tmp\\VARENTO\\電源.ini");
  EXPECT_EQ(FromUtf8(ToUtf8(L"a\U0001F600z")), L"a\U0001F600z");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98"), L"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(NativeFolderOf("/a/b/c"), "/a/b");
  EXPECT_EQ(NativeFolderOf("/c"), "/");
  EXPECT_EQ(NativeFolderOf("c"), ".");
}

}  // namespace
}  // namespace tav::posix::testing
