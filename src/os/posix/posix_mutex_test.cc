#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "os/posix/posix_paths.h"
#include "os/posix/posix_test_support.h"

namespace tav::posix::testing {
namespace {

constexpr wchar_t kName[] = L"MUTEX_TAV_POWERSAVE_SETTING";

enum Probe { kOwned = 0, kAlreadyExists = 1, kNoHandle = 2, kProbeFailed = 3 };

// CreateMutex from another process, as a second instance of the tool would.
Probe ProbeFromChild(const PosixConfig& config) {
  pid_t pid = fork();
  if (pid == 0) {
    bool alreadyExists = false;
    auto mutex = MakePosixOs(config)->CreateMutex(kName, true, alreadyExists);
    _exit(!mutex ? kNoHandle : alreadyExists ? kAlreadyExists : kOwned);
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
  bool alreadyExists = true;
  auto held = os_->CreateMutex(kName, true, alreadyExists);
  ASSERT_NE(held, nullptr);
  EXPECT_FALSE(alreadyExists);
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kAlreadyExists);

  // In the same process too, and that handle owns nothing: releasing and
  // closing it leaves the first one's hold in place.
  auto second = os_->CreateMutex(kName, true, alreadyExists);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(alreadyExists);
  second->Release();
  second.reset();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kAlreadyExists);

  // Other names are other mutexes.
  auto other = os_->CreateMutex(L"OTHER_NAME", true, alreadyExists);
  ASSERT_NE(other, nullptr);
  EXPECT_FALSE(alreadyExists);
}

TEST_F(PosixMutexTest, ReleaseAndCloseGiveTheMutexUp) {
  bool alreadyExists = false;
  auto held = os_->CreateMutex(kName, true, alreadyExists);
  ASSERT_NE(held, nullptr);
  held->Release();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kOwned);
  held.reset();

  held = os_->CreateMutex(kName, true, alreadyExists);
  ASSERT_NE(held, nullptr);
  held.reset();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kOwned);
}

TEST_F(PosixMutexTest, DeadHolderLeavesTheMutexFree) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    bool alreadyExists = false;
    auto mutex = MakePosixOs(dir_.Config())->CreateMutex(kName, true, alreadyExists);
    char signal = mutex && !alreadyExists ? 'y' : 'n';
    if (write(ready[1], &signal, 1) != 1) _exit(1);
    for (;;) pause();
  }
  close(ready[1]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1);
  close(ready[0]);
  ASSERT_EQ(signal, 'y');

  bool alreadyExists = false;
  auto refused = os_->CreateMutex(kName, true, alreadyExists);
  ASSERT_NE(refused, nullptr);
  EXPECT_TRUE(alreadyExists);
  refused.reset();

  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  auto owned = os_->CreateMutex(kName, true, alreadyExists);
  ASSERT_NE(owned, nullptr);
  EXPECT_FALSE(alreadyExists);
}

TEST_F(PosixMutexTest, ChildProgramsDoNotKeepTheMutex) {
  bool alreadyExists = false;
  auto held = os_->CreateMutex(kName, true, alreadyExists);
  ASSERT_NE(held, nullptr);
  WriteFile(dir_ / "sleeper", "#!/bin/sh\nsleep 1\n", 0755);
  std::wstring commandLine = L"\"" + FromUtf8(dir_ / "sleeper") + L"\"";
  auto child = os_->CreateHiddenProcess(L"", commandLine);
  ASSERT_NE(child, nullptr);
  held.reset();
  EXPECT_EQ(ProbeFromChild(dir_.Config()), kOwned);  // while the child still runs
  child->WaitForExit();
}

TEST_F(PosixMutexTest, NoHandleWhenTheLockFileCannotBeMade) {
  PosixConfig config = dir_.Config();
  config.runtimeDir = dir_ / "missing-folder";
  bool alreadyExists = true;
  EXPECT_EQ(MakePosixOs(config)->CreateMutex(kName, true, alreadyExists), nullptr);
  EXPECT_FALSE(alreadyExists);
}

}  // namespace
}  // namespace tav::posix::testing
