// Crash safety of the current-plan record on POSIX: a writer killed with
// SIGKILL at any moment leaves the settings file either as it was or as
// written, never cut or mixed, with the profile's own sections intact; the
// temporary files that killed writers leave behind do not disturb later runs.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "e2e_sandbox.h"
#include "os/posix/posix_os.h"
#include "os/posix/posix_test_support.h"
#include "os/posix/profile_document.h"
#include "settings/current_plan_record.h"

namespace tav {
namespace {

using posix::ProfileDocument;

// A profile large enough that a cut file would show, in sections of its own
// beside the record.
std::string ProfileText() {
  std::string text = "[GENERAL]\r\nVersion=2.00.000\r\nName=Crash\r\n";
  text += "[DISPLAY]\r\nDisplayAcTime=10\r\nDisplayDcTime=5\r\n";
  text += "[SYSTEM]\r\nSleepAcTime=30\r\nStopDcTime=60\r\n";
  for (int i = 0; i < 40; ++i) text += "[EXTRA" + std::to_string(i) + "]\r\nKey=" + std::string(40, 'a' + i % 26) + "\r\n";
  return text;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// The file that the profile with these "Current" values must be, byte for
// byte: the record's keys are added in the order in which they are written.
std::string Expected(const std::string& profile, const std::wstring* path, const std::wstring* name,
                     const std::wstring* guid) {
  ProfileDocument doc = ProfileDocument::Parse(profile);
  if (path) doc.Set(L"Current", L"ProfilePath", *path);
  if (name) doc.Set(L"Current", L"ProfileName", *name);
  if (guid) doc.Set(L"Current", L"GUID", *guid);
  return doc.Serialize();
}

// Checks that `bytes` is the profile plus some "Current" values; returns
// false (with a test failure) otherwise.
bool IsWholeRecordFile(const std::string& bytes, const std::string& profile) {
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  const std::wstring* path = doc.Find(L"Current", L"ProfilePath");
  const std::wstring* name = doc.Find(L"Current", L"ProfileName");
  const std::wstring* guid = doc.Find(L"Current", L"GUID");
  EXPECT_EQ(bytes, Expected(profile, path, name, guid)) << "not a whole file";
  EXPECT_TRUE(!name || path) << "keys are written in order";
  EXPECT_TRUE(!guid || name);
  return bytes == Expected(profile, path, name, guid);
}

size_t TemporaryFilesIn(const std::string& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    count += entry.path().filename().string().find(".tmp-") != std::string::npos;
  return count;
}

TEST(CrashSafety, RecordWriterKilledAtRandomMomentsNeverLeavesAPartialFile) {
  constexpr int kKills = 300;
  posix::testing::TempDir dir;
  const PosixConfig config = dir.Config();
  const std::string folder = config.CommonAppData + "/VARENTO/TAV_POWERSAVE";
  const std::string file = folder + "/Setting.ini";
  const std::string profile = ProfileText();
  std::filesystem::create_directories(folder);
  e2e::Sandbox::Write(file, profile);
  const std::wstring settingsPath = Wide(e2e::Sandbox::WinPath(file));

  // How long one record takes here (each file is synced), to spread the
  // kills over whole records.
  long recordTime = 0;
  {
    std::unique_ptr<Os> os = MakePosixOs(config);
    const std::wstring name = L"Timing";
    const std::wstring guid = L"a1841308-3541-4fab-bc81-f71556f20b4a";
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
      WriteCurrentPlanRecord(*os, PinnedDataFolder::Pin(*os), settingsPath, name, guid);
    recordTime = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - start).count() / 5);
  }
  const long maxDelay = std::max(2000L, 3 * recordTime);

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  int changed = 0;
  std::string last = e2e::Sandbox::Read(file);
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      // Records one profile after another until it is killed.
      std::unique_ptr<Os> os = MakePosixOs(config);
      for (int i = 0; i < 100000; ++i) {
        const std::wstring name = Wide("Profile-" + std::to_string(kill) + "-" + std::to_string(i) +
                                       std::string(static_cast<size_t>(i % 37), 'x'));
        const std::wstring guid = Wide("0000" + std::to_string(10000 + kill) + "-0000-4000-8000-" +
                                       std::to_string(100000000000 + i));
        WriteCurrentPlanRecord(*os, PinnedDataFolder::Pin(*os), settingsPath, name, guid);
      }
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (maxDelay + 1)));
    ::kill(writer, SIGKILL);
    int status = 0;
    waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ran to its end before the kill";

    const std::string bytes = e2e::Sandbox::Read(file);
    changed += bytes != last;
    last = bytes;
    if (!IsWholeRecordFile(bytes, profile)) {
      ADD_FAILURE() << "after kill " << kill;
      break;
    }
  }
  const size_t strays = TemporaryFilesIn(folder);
  std::cout << "[ figures ] " << kKills << " kills within 0.." << maxDelay << " us (a record takes "
            << recordTime << " us): the file changed between " << changed
            << " of them and was " << (HasFailure() ? "NOT always whole" : "always whole")
            << "; " << strays
            << " temporary files left by writers killed mid-write\n";
  // The kills landed both between records and in the middle of one.
  EXPECT_GT(changed, 0);
  EXPECT_GT(strays, 0u);

  // Left-over temporary files do not disturb the next writer.
  std::unique_ptr<Os> os = MakePosixOs(config);
  const std::wstring name = L"After";
  const std::wstring guid = L"a1841308-3541-4fab-bc81-f71556f20b4a";
  EXPECT_TRUE(WriteCurrentPlanRecord(*os, PinnedDataFolder::Pin(*os), settingsPath, name, guid));
  EXPECT_EQ(e2e::Sandbox::Read(file), Expected(profile, &settingsPath, &name, &guid));
}

TEST(CrashSafety, ToolKilledAtRandomMomentsKeepsTheSettingsFileWholeAndRunsAgain) {
  constexpr int kKills = 40;
  e2e::Sandbox box;
  const std::string file = box.DataFolder() + "/Setting.ini";
  const std::string profile = ProfileText();
  e2e::Sandbox::Write(file, profile);
  const std::string commandLine = "/N:\"" + e2e::Sandbox::WinPath(file) + "\"";

  // How long a whole run takes here, to spread the kills over it. The first
  // run writes the record and is slower than the ones that follow, so the
  // kills are spread over the shortest of the later runs.
  ASSERT_EQ(box.Run(commandLine), 0);
  ASSERT_TRUE(IsWholeRecordFile(e2e::Sandbox::Read(file), profile));
  int64_t runTime = INT64_MAX;
  for (int i = 0; i < 3; ++i) {
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(box.Run(commandLine), 0);
    runTime = std::min<int64_t>(runTime, std::chrono::duration_cast<std::chrono::microseconds>(
                                             std::chrono::steady_clock::now() - start)
                                             .count());
  }

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  int killed = 0;
  for (int i = 0; i < kKills; ++i) {
    const pid_t tool = box.Start(commandLine);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<uint64_t>(runTime + 1)));
    ::kill(tool, SIGKILL);
    killed += e2e::Sandbox::Wait(tool, 20) == -1;
    // A child program of the killed tool finishes on its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!IsWholeRecordFile(e2e::Sandbox::Read(file), profile)) {
      ADD_FAILURE() << "after kill " << i;
      break;
    }
  }
  std::cout << "[ figures ] " << killed << " of " << kKills << " runs killed (a run takes "
            << runTime << " us), the settings file "
            << (HasFailure() ? "NOT always whole" : "always whole") << "\n";
  EXPECT_GT(killed, kKills / 2);

  // The killed runs hold no mutex and their left-overs do not matter: the
  // next run does all its work.
  ASSERT_EQ(box.Run(commandLine), 0);
  const std::string bytes = e2e::Sandbox::Read(file);
  ASSERT_TRUE(IsWholeRecordFile(bytes, profile));
  const ProfileDocument doc = ProfileDocument::Parse(bytes);
  ASSERT_NE(doc.Find(L"Current", L"ProfileName"), nullptr);
  EXPECT_EQ(*doc.Find(L"Current", L"ProfileName"), L"Crash");
  EXPECT_EQ(Narrow(*doc.Find(L"Current", L"ProfilePath")), e2e::Sandbox::WinPath(file));
}

}  // namespace
}  // namespace tav
