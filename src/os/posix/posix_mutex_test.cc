#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "os/posix/posix_paths.h"
#include "os/posix/posix_test_support.h"
#include "os/posix/unique_fd.h"

namespace tav::posix::testing {
namespace {

constexpr wchar_t kName[] = L"MUTEX_TAV_POWERSAVE_SETTING";

enum Probe { kOwned = 0, kAlreadyExists = 1, kNoHandle = 2, kProbeFailed = 3 };

// The mutex asked for from another process, as a second instance of the tool would.
Probe ProbeFromChild(const PosixConfig& config) {
  pid_t pid = fork();
  if (pid == 0) {
    const MutexOpening opening = MakePosixOs(config)->system().CreateOwnedMutex(kName);
    _exit(!opening.Mutex ? kNoHandle : opening.Existed ? kAlreadyExists : kOwned);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return kProbeFailed;
  return static_cast<Probe>(WEXITSTATUS(status));
}

class PosixMutexTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::unique_ptr<Os> os_ = MakePosixOs(dir_.Config());
};

TEST_F(PosixMutexTest, SecondCreationSeesTheHeldMutex) {
  MutexOpening held = os_->system().CreateOwnedMutex(kName);
  ASSERT_NE(held.Mutex, nullptr);
  EXPECT_FALSE(held.Existed);
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kAlreadyExists);

  // In the same process too, and that handle owns nothing: releasing and
  // closing it leaves the first one's hold in place.
  MutexOpening second = os_->system().CreateOwnedMutex(kName);
  ASSERT_NE(second.Mutex, nullptr);
  EXPECT_TRUE(second.Existed);
  second.Mutex->Release();
  second.Mutex.reset();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kAlreadyExists);

  // Other names are other mutexes.
  MutexOpening other = os_->system().CreateOwnedMutex(L"OTHER_NAME");
  ASSERT_NE(other.Mutex, nullptr);
  EXPECT_FALSE(other.Existed);
}

TEST_F(PosixMutexTest, ReleaseAndCloseGiveTheMutexUp) {
  std::unique_ptr<OsMutex> held = os_->system().CreateOwnedMutex(kName).Mutex;
  ASSERT_NE(held, nullptr);
  held->Release();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kOwned);
  held.reset();

  held = os_->system().CreateOwnedMutex(kName).Mutex;
  ASSERT_NE(held, nullptr);
  held.reset();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kOwned);
}

TEST_F(PosixMutexTest, DeadHolderLeavesTheMutexFree) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
  pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    const MutexOpening opening = MakePosixOs(dir_.Config())->system().CreateOwnedMutex(kName);
    char signal = opening.Mutex && !opening.Existed ? 'y' : 'n';
    if (write(writeEnd.get(), &signal, 1) != 1) _exit(1);
    for (;;) pause();
  }
  writeEnd.Reset();
  char signal = 0;
  ASSERT_EQ(read(readEnd.get(), &signal, 1), 1);
  ASSERT_EQ(signal, 'y');

  MutexOpening refused = os_->system().CreateOwnedMutex(kName);
  ASSERT_NE(refused.Mutex, nullptr);
  EXPECT_TRUE(refused.Existed);
  refused.Mutex.reset();

  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  MutexOpening owned = os_->system().CreateOwnedMutex(kName);
  ASSERT_NE(owned.Mutex, nullptr);
  EXPECT_FALSE(owned.Existed);
}

TEST_F(PosixMutexTest, ChildProgramsDoNotKeepTheMutex) {
  std::unique_ptr<OsMutex> held = os_->system().CreateOwnedMutex(kName).Mutex;
  ASSERT_NE(held, nullptr);
  WriteFile(dir_ / "sleeper", "#!/bin/sh\nsleep 1\n", 0755);
  auto child = os_->processes().StartHidden(L"", L"\"" + FromUtf8(dir_ / "sleeper") + L"\"");
  ASSERT_NE(child, nullptr);
  held.reset();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kOwned);  // while the child still runs
  child->Wait(std::nullopt);
}

TEST_F(PosixMutexTest, NoHandleWhenTheLockFileCannotBeMade) {
  PosixConfig config = dir_.Config();
  config.RuntimeDir = dir_ / "missing-folder";
  const MutexOpening opening = MakePosixOs(config)->system().CreateOwnedMutex(kName);
  EXPECT_EQ(opening.Mutex, nullptr);
  EXPECT_FALSE(opening.Existed);
}

}  // namespace
}  // namespace tav::posix::testing
