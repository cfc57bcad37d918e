#include "os/posix/plan_store_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_test_support.h"

namespace tav::posix::testing {
namespace {

constexpr char kOtherPlan[] = "8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c";  // as long as the default

// Runs `change` in a child process and waits for it, as powercfg.exe would
// change the store while the tool runs.
void InAnotherProcess(const std::function<bool()>& change) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(change() ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

class PlanStoreCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SavePlanStore(path_, standin::DefaultPlanStore())); }

  TempDir dir_;
  std::string path_ = dir_ / "plan-store.txt";
  PlanStoreCache cache_;
};

TEST_F(PlanStoreCacheTest, UnchangedFileIsParsedOnce) {
  auto first = cache_.Load(path_);
  ASSERT_NE(first, nullptr);
  auto second = cache_.Load(path_);
  EXPECT_EQ(second, first);
  EXPECT_EQ(cache_.ParseCount(), 1u);
  EXPECT_EQ(first->ActivePlan, standin::DefaultPlanStore().ActivePlan);
}

// Every way another process can change the store, the active plan's GUID
// always of the same length, so that the size alone does not tell.
TEST_F(PlanStoreCacheTest, ChangeByAnotherProcessIsSeen) {
  standin::PlanStore changed = standin::DefaultPlanStore();
  changed.ActivePlan = kOtherPlan;
  const std::string text = standin::FormatPlanStore(changed);
  struct Case {
    const char* how;
    std::function<bool(const std::string&)> change;
  };
  const Case cases[] = {
      {"replaced through a renamed file (as the stand-ins save it)",
       [&](const std::string& path) { return SavePlanStore(path, changed); }},
      {"rewritten in place, same size, later time stamps",
       [&](const std::string& path) {
         FILE* f = std::fopen(path.c_str(), "r+b");
         if (!f) return false;
         bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
         ok = std::fclose(f) == 0 && ok;
         struct timespec later[2] = {{0, UTIME_OMIT}, {4000000000, 0}};
         return ok && utimensat(AT_FDCWD, path.c_str(), later, 0) == 0;
       }},
      {"rewritten in place, another size, time stamps set back",
       [&](const std::string& path) {
         struct stat before;
         if (stat(path.c_str(), &before) != 0) return false;
         FILE* f = std::fopen(path.c_str(), "wb");
         if (!f) return false;
         const std::string longer = text + "# one more line\n";
         bool ok = std::fwrite(longer.data(), 1, longer.size(), f) == longer.size();
         ok = std::fclose(f) == 0 && ok;
         struct timespec same[2] = {before.st_atim, before.st_mtim};
         return ok && utimensat(AT_FDCWD, path.c_str(), same, 0) == 0;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    ASSERT_TRUE(SavePlanStore(path_, standin::DefaultPlanStore()));
    auto before = cache_.Load(path_);
    ASSERT_NE(before, nullptr);
    const size_t parses = cache_.ParseCount();
    InAnotherProcess([&] { return c.change(path_); });
    auto after = cache_.Load(path_);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->ActivePlan, kOtherPlan);
    EXPECT_EQ(cache_.ParseCount(), parses + 1);
    // The copy handed out before stays as it was read.
    EXPECT_EQ(before->ActivePlan, standin::DefaultPlanStore().ActivePlan);
  }
}

TEST_F(PlanStoreCacheTest, MissingUnreadableAndOtherPathsAreNotServedFromTheCache) {
  ASSERT_NE(cache_.Load(path_), nullptr);
  const std::string other = dir_ / "other-store.txt";
  standin::PlanStore otherStore = standin::DefaultPlanStore();
  otherStore.ActivePlan = kOtherPlan;
  ASSERT_TRUE(SavePlanStore(other, otherStore));
  auto fromOther = cache_.Load(other);
  ASSERT_NE(fromOther, nullptr);
  EXPECT_EQ(fromOther->ActivePlan, kOtherPlan);

  // No file: the default store; a folder or a broken file: no store.
  ASSERT_EQ(std::remove(path_.c_str()), 0);
  auto missing = cache_.Load(path_);
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->Plans.size(), standin::DefaultPlanStore().Plans.size());
  ASSERT_EQ(mkdir(path_.c_str(), 0755), 0);
  EXPECT_EQ(cache_.Load(path_), nullptr);
  ASSERT_EQ(rmdir(path_.c_str()), 0);
  WriteFile(path_, "no store at all\n");
  EXPECT_EQ(cache_.Load(path_), nullptr);
  EXPECT_EQ(cache_.Load(path_), nullptr);  // a failure is not remembered as a store
  ASSERT_TRUE(SavePlanStore(path_, otherStore));
  auto repaired = cache_.Load(path_);
  ASSERT_NE(repaired, nullptr);
  EXPECT_EQ(repaired->ActivePlan, kOtherPlan);
}

// The tool's own sequence: discovery reads the store, powercfg /SETACTIVE
// (another process) changes it, the confirmation reads it again.
TEST(PosixPowerLibraryCacheTest, ActivationByAnotherProcessIsConfirmed) {
  TempDir dir;
  const std::string path = dir / "plan-store.txt";
  ASSERT_TRUE(SavePlanStore(path, standin::DefaultPlanStore()));
  std::unique_ptr<Os> os = MakePosixOs(dir.Config());
  Guid other;
  ASSERT_TRUE(ParseGuid(kOtherPlan, other));
  auto discovery = os->power().OpenLibrary();
  ASSERT_NE(discovery, nullptr);
  const ActivePlanReading before = discovery->ActivePlan();
  ASSERT_EQ(before.Result, ActivePlanReading::Status::kRead);
  EXPECT_FALSE(before.Plan == other);
  InAnotherProcess([&] {
    standin::PlanStore store;
    if (!standin::ParsePlanStore(ReadFile(path), store)) return false;
    store.ActivePlan = kOtherPlan;
    return SavePlanStore(path, store);
  });
  auto confirmation = os->power().OpenLibrary();
  ASSERT_NE(confirmation, nullptr);
  const ActivePlanReading after = confirmation->ActivePlan();
  ASSERT_EQ(after.Result, ActivePlanReading::Status::kRead);
  EXPECT_TRUE(after.Plan == other);
  const ActivePlanReading still = discovery->ActivePlan();
  ASSERT_EQ(still.Result, ActivePlanReading::Status::kRead);
  EXPECT_TRUE(still.Plan == before.Plan);
}

}  // namespace
}  // namespace tav::posix::testing
