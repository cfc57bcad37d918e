// Faults of the system around the native tool, end to end: child programs
// that are missing, cannot be started or fail; record files and data folders
// that cannot be written; settings files and task lists that cannot be read
// (folders, FIFOs, devices, dangling links); a full disk; two starts at the
// same moment. Whatever happens, the tool must end (no hang), report the
// right status and leave every file whole.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <thread>

#include <gtest/gtest.h>

#include "e2e_sandbox.h"

namespace tav::e2e {
namespace {

constexpr int kFailed = kFailedStatus;
constexpr int kTimedOut = -2;

const char kProfile[] =
    "[GENERAL]\r\nVersion=2.00.000\r\nName=Fault\r\n"
    "[DISPLAY]\r\nDisplayAcTime=5\r\n[SYSTEM]\r\nStopDcTime=60\r\n";
const char kOldRecord[] = "[Current]\r\nProfilePath=C:\\old.ini\r\nProfileName=Old\r\nGUID=\r\n";


mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}


// A sandbox whose runs are cut off after 20 s: a hang fails the test
// instead of blocking the suite.
struct Box : Sandbox {
  Box() { timeoutSeconds = 20; }

  // The settings file as the machine-wide "Setting.ini" in the data folder.
  std::string MachineProfile() const {
    Write(DataFolder() + "/Setting.ini", kProfile);
    return DataFolder() + "/Setting.ini";
  }
  // A settings file in a folder of its own.
  std::string OtherProfile() const {
    Write(root + "/Documents/Office.ini", kProfile);
    return root + "/Documents/Office.ini";
  }
  // A list with one entry for a.xml in the root.
  std::string TaskList() const {
    Write(root + "/a.xml", "<Task/>");
    Write(root + "/list.txt", "/TN:\"Sleep\" /XML:\"" + WinPath(root + "/a.xml") + "\"\r\n");
    return root + "/list.txt";
  }
  // Puts a shell script (or, for an empty `script`, nothing) where a
  // program of the installation was.
  void ReplaceProgram(const std::string& name, const std::string& script, mode_t mode = 0755) const {
    const std::string path = bin + "/" + name;
    std::error_code ec;
    fs::remove_all(path, ec);
    if (script.empty()) return;
    Write(path, script);
    chmod(path.c_str(), mode);
  }
};

// Ways a child program can be unusable, each leaving `name` in `box`
// unstartable.
struct Unstartable {
  const char* what;
  void (*make)(const Box& box, const std::string& name);
};
const Unstartable kUnstartable[] = {
    {"missing", [](const Box& b, const std::string& n) { b.ReplaceProgram(n, ""); }},
    {"not executable", [](const Box& b, const std::string& n) { chmod((b.bin + "/" + n).c_str(), 0644); }},
    {"a folder",
     [](const Box& b, const std::string& n) {
       b.ReplaceProgram(n, "");
       fs::create_directory(b.bin + "/" + n);
     }},
    {"missing interpreter",
     [](const Box& b, const std::string& n) { b.ReplaceProgram(n, "#!/nonexistent/interpreter\n"); }},
};

// Ways a child program can do its work and still report failure; the tool
// never reads exit codes. "$0.real" is the stand-in itself where WrapProgram
// kept it; without it the script only fails.
struct Failing {
  const char* what;
  const char* script;
};
const Failing kFailing[] = {
    {"exits with 3", "#!/bin/sh\n\"$0.real\" \"$@\"\necho 'Invalid Parameters' >&2\nexit 3\n"},
    {"killed by a signal", "#!/bin/sh\n\"$0.real\" \"$@\"\nkill -KILL $$\n"},
};

// Keeps the stand-in as "<name>.real" and puts `script` in its place.
void WrapProgram(const Box& box, const std::string& name, const std::string& script) {
  ASSERT_EQ(rename((box.bin + "/" + name).c_str(), (box.bin + "/" + name + ".real").c_str()), 0);
  box.ReplaceProgram(name, script);
}

TEST(Faults, PowercfgThatCannotBeStartedFailsTheRunAndRecordsNothing) {
  for (const Unstartable& fault : kUnstartable) {
    SCOPED_TRACE(fault.what);
    Box box;
    const std::string settings = box.MachineProfile();
    fault.make(box, "powercfg.exe");
    EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
    EXPECT_TRUE(box.Log("powercfg.log").empty());
    EXPECT_EQ(Sandbox::Read(settings), kProfile) << "nothing recorded";
  }
}

TEST(Faults, PowercfgThatFailsStillCountsAsRun) {
  for (const Failing& fault : kFailing) {
    SCOPED_TRACE(fault.what);
    Box box;
    const std::string settings = box.MachineProfile();
    WrapProgram(box, "powercfg.exe", fault.script);
    EXPECT_EQ(box.Run(box.Arg("N", settings)), 0);
    EXPECT_EQ(CurrentValue(settings, "ProfileName"), "Fault");
    EXPECT_EQ(CurrentValue(settings, "GUID").size(), 36u);
  }
}

// The other way round: a powercfg.exe that ends well but changed nothing.
// Whether the plan became active is asked of the system, so the run fails
// before any "/CHANGE" could reach another plan, and nothing is recorded.
TEST(Faults, PowercfgThatSucceedsWithoutActivatingFailsTheRun) {
  Box box;
  const std::string settings = box.MachineProfile();
  const std::string storeBefore = Sandbox::Read(box.state + "/plan-store.txt");
  box.ReplaceProgram("powercfg.exe", "#!/bin/sh\nexit 0\n");
  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  EXPECT_EQ(Sandbox::Read(settings), kProfile) << "nothing recorded";
  EXPECT_EQ(Sandbox::Read(box.state + "/plan-store.txt"), storeBefore);
}

TEST(Faults, SchtasksThatCannotBeStartedOrFailsStillConsumesTheXmlAndTheList) {
  std::vector<std::pair<std::string, std::function<void(const Box&)>>> faults;
  for (const Unstartable& f : kUnstartable)
    faults.push_back({f.what, [f](const Box& b) { f.make(b, "schtasks.exe"); }});
  for (const Failing& f : kFailing)
    faults.push_back({f.what, [f](const Box& b) { b.ReplaceProgram("schtasks.exe", f.script); }});
  for (const auto& [what, make] : faults) {
    SCOPED_TRACE(what);
    Box box;
    const std::string list = box.TaskList();
    make(box);
    EXPECT_EQ(box.Run(box.Arg("F", list)), 0);
    EXPECT_FALSE(Sandbox::Exists(box.root + "/a.xml"));
    EXPECT_FALSE(Sandbox::Exists(list));
    EXPECT_TRUE(box.Log("schtasks.log").empty());
  }
}

TEST(Faults, CompanionThatCannotBeStartedFailsTheRunAfterTheRecord) {
  // The missing companion is one of the native end-to-end runs.
  for (const Unstartable& fault : kUnstartable) {
    if (std::string(fault.what) == "missing") continue;
    SCOPED_TRACE(fault.what);
    Box box;
    const std::string settings = box.MachineProfile();
    fault.make(box, "TAV_PowerSaveSuspend.exe");
    EXPECT_EQ(box.Run(box.Arg("N", settings) + " /S:" + CurrentHhmm()), kFailed);
    EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
    EXPECT_EQ(CurrentValue(settings, "GUID").size(), 36u);
  }
  for (const Failing& fault : kFailing) {
    SCOPED_TRACE(fault.what);
    Box box;
    const std::string settings = box.MachineProfile();
    box.ReplaceProgram("TAV_PowerSaveSuspend.exe", fault.script);
    EXPECT_EQ(box.Run(box.Arg("N", settings) + " /H:" + CurrentHhmm()), 0);
  }
}

TEST(Faults, ReadOnlyRecordBesideTheProfileFailsTheRunAndStaysAsItWas) {
  Box box;
  const std::string settings = box.OtherProfile();
  const std::string beside = box.root + "/Documents/MySetting.ini";
  Sandbox::Write(beside, kOldRecord);
  ASSERT_EQ(chmod(beside.c_str(), 0444), 0);

  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  EXPECT_EQ(Sandbox::Read(beside), kOldRecord);
  EXPECT_EQ(ModeOf(beside) & 0777, 0444u);
  // Every write was attempted: the machine-wide record holds all three keys,
  // and the plan of a profile outside the data folder stays.
  const std::string machine = box.DataFolder() + "/Setting.ini";
  EXPECT_EQ(CurrentValue(machine, "ProfilePath"), Sandbox::WinPath(settings));
  EXPECT_EQ(CurrentValue(machine, "GUID").size(), 36u);
  EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
}

TEST(Faults, ReadOnlyMachineRecordIsMadeWritableWhenItIsOpenedAndWritten) {
  Box box;
  const std::string settings = box.OtherProfile();
  const std::string machine = box.DataFolder() + "/Setting.ini";
  Sandbox::Write(machine, kOldRecord);
  ASSERT_EQ(chmod(machine.c_str(), 0444), 0);
  EXPECT_EQ(box.Run(box.Arg("N", settings)), 0);
  EXPECT_NE(ModeOf(machine) & 0200, 0u);
  EXPECT_EQ(CurrentValue(machine, "ProfileName"), "Fault");
}

TEST(Faults, DataFolderThatCannotBeMadeFailsTheRecordAndKeepsWhatIsInTheWay) {
  for (const std::string& blocker : {std::string("VARENTO"), std::string("VARENTO/TAV_POWERSAVE")}) {
    SCOPED_TRACE(blocker);
    Box box;
    const std::string settings = box.OtherProfile();
    Sandbox::Write(box.common + "/" + blocker, "not a folder");
    EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
    EXPECT_EQ(Sandbox::Read(box.common + "/" + blocker), "not a folder");
    // The record beside the profile could be written and stays.
    EXPECT_EQ(CurrentValue(box.root + "/Documents/MySetting.ini", "ProfileName"), "Fault");
    EXPECT_EQ(box.Log("powercfg.log").size(), 14u);
  }
}

TEST(Faults, MissingApplicationDataFoldersAreCreated) {
  Box box;
  const std::string settings = box.OtherProfile();
  fs::remove_all(box.common);
  fs::remove_all(box.local);
  EXPECT_EQ(box.Run(box.Arg("N", settings)), 0);
  EXPECT_EQ(CurrentValue(box.DataFolder() + "/Setting.ini", "GUID").size(), 36u);
  EXPECT_TRUE(fs::is_directory(box.UserDataFolder()));
}

// Things that can stand where a file is expected; none can be read as one.
struct NotAFile {
  const char* what;
  void (*make)(const std::string& path);
  bool (*stillThere)(const std::string& path);
};
const NotAFile kNotAFile[] = {
    {"a folder", [](const std::string& p) { fs::create_directories(p); },
     [](const std::string& p) { return fs::is_directory(p); }},
    {"a FIFO without a writer", [](const std::string& p) { mkfifo(p.c_str(), 0644); },
     [](const std::string& p) { return fs::is_fifo(p); }},
    {"a device that never ends",
     [](const std::string& p) {
       // A private /dev/zero where device nodes may be made, else a link to it.
       if (mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 5)) != 0) symlink("/dev/zero", p.c_str());
     },
     [](const std::string& p) { return fs::is_character_file(p) || fs::is_symlink(p); }},
    {"a dangling link", [](const std::string& p) { symlink("nowhere", p.c_str()); },
     [](const std::string& p) { return fs::is_symlink(p); }},
    {"a link to itself", [](const std::string& p) { symlink(p.c_str(), p.c_str()); },
     [](const std::string& p) { return fs::is_symlink(p); }},
};

TEST(Faults, SettingsFileThatCannotBeReadFailsWithoutRunningAnything) {
  for (const NotAFile& fault : kNotAFile) {
    SCOPED_TRACE(fault.what);
    Box box;
    const std::string settings = box.root + "/Documents/Office.ini";
    fs::create_directories(box.root + "/Documents");
    fault.make(settings);
    EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
    EXPECT_TRUE(fault.stillThere(settings));
    EXPECT_TRUE(box.Log("powercfg.log").empty());
    EXPECT_FALSE(Sandbox::Exists(box.root + "/Documents/MySetting.ini"));
  }
  for (const char* content : {"", "\xFF\xFE\x00", "[GENERAL]\nName=No version\n", "\x7F" "ELF\x02\x01"}) {
    Box box;
    const std::string settings = box.root + "/Office.ini";
    Sandbox::Write(settings, content);
    EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
    EXPECT_TRUE(box.Log("powercfg.log").empty());
  }
}

TEST(Faults, TaskListThatCannotBeReadFailsAndIsLeftAlone) {
  for (const NotAFile& fault : kNotAFile) {
    SCOPED_TRACE(fault.what);
    Box box;
    const std::string settings = box.MachineProfile();
    const std::string list = box.root + "/list.txt";
    fault.make(list);
    // The list comes first: the settings file is not touched.
    EXPECT_EQ(box.Run(box.Arg("F", list) + " " + box.Arg("N", settings)), kFailed);
    EXPECT_TRUE(fault.stillThere(list));
    EXPECT_TRUE(box.Log("schtasks.log").empty());
    EXPECT_TRUE(box.Log("powercfg.log").empty());
    EXPECT_EQ(Sandbox::Read(settings), kProfile);
  }
}

TEST(Faults, RecordFileThatIsNotAFileFailsTheRunAndStaysWhatItWas) {
  for (const NotAFile& fault : kNotAFile) {
    SCOPED_TRACE(fault.what);
    Box box;
    const std::string settings = box.OtherProfile();
    const std::string machine = box.DataFolder() + "/Setting.ini";
    fs::create_directories(box.DataFolder());
    fault.make(machine);
    const int status = box.Run(box.Arg("N", settings));
    // A link is never written through or replaced, dangling or not (on
    // Windows the write would create its target): like every other thing
    // that is not a plain file, it fails the run before any plan is changed.
    EXPECT_TRUE(fault.stillThere(machine));
    EXPECT_EQ(status, kFailed);
    EXPECT_TRUE(box.Log("powercfg.log").empty());
  }
}

TEST(Faults, PowerLibraryThatCannotBeLoadedFailsBeforeAnyCommand) {
  Box box;
  const std::string settings = box.MachineProfile();
  fs::create_directories(box.state + "/plan-store.txt");  // the library's store cannot be read
  EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
  EXPECT_TRUE(box.Log("powercfg.log").empty());
  EXPECT_EQ(Sandbox::Read(settings), kProfile);
}

TEST(Faults, MutexThatCannotBeCreatedEndsTheStartWithoutTouchingAnything) {
  Box box;
  const std::string list = box.TaskList();
  fs::remove_all(box.runtime);  // the lock file has no folder
  EXPECT_EQ(box.Run(box.Arg("F", list)), 0);
  EXPECT_TRUE(Sandbox::Exists(list));
  EXPECT_TRUE(Sandbox::Exists(box.root + "/a.xml"));
  EXPECT_TRUE(box.Log("schtasks.log").empty());
}

// --- A full disk, a read-only file system ------------------------------

// True when this process may give a child a private mount of its own.
bool CanMountPrivately() {
  pid_t pid = fork();
  if (pid == 0) {
    _exit(unshare(CLONE_NEWNS) == 0 &&
                  mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                  mount("tmpfs", "/tmp", "tmpfs", 0, "size=4k") == 0
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

enum class Medium { kFull, kReadOnly };

// Runs the tool with `folder` on a small file system of its own, in a mount
// namespace of the tool's own: a full one (filled up) or a read-only one.
// The folder's files are copied onto it before the run and copied out to
// `after` once the tool has ended.
void OnPrivateMedium(Box& box, const std::string& folder, Medium medium, const std::string& after) {
  box.beforeExec = [folder, medium, after] {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& name : FilesIn(folder)) files.push_back({name, Sandbox::Read(folder + "/" + name)});
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0)
      _exit(125);
    for (const auto& [name, bytes] : files) Sandbox::Write(folder + "/" + name, bytes);
    if (medium == Medium::kFull) {
      std::ofstream filler(folder + "/filler", std::ios::binary);
      const std::string block(512, 'x');
      while (filler.write(block.data(), block.size()) && filler.flush()) {
      }
    } else if (mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      _exit(125);
    }
    pid_t tool = fork();
    if (tool == 0) return;  // the tool's process
    int status = 0;
    waitpid(tool, &status, 0);
    fs::create_directories(after);
    for (const auto& name : FilesIn(folder))
      if (name != "filler") Sandbox::Write(after + "/" + name, Sandbox::Read(folder + "/" + name));
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 126);
  };
}

// Makes the data folder a full disk for the tool's run: a private file
// system where possible, else no file of the tool may grow past `fileLimit`
// bytes (EFBIG, as a full disk gives ENOSPC).
void MakeDiskFull(Box& box, bool tmpfs, const std::string& after, size_t fileLimit) {
  if (tmpfs) return OnPrivateMedium(box, box.DataFolder(), Medium::kFull, after);
  box.beforeExec = [fileLimit] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{fileLimit, fileLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
  };
}

TEST(Faults, FullDiskFailsTheRecordAndLeavesTheSettingsFileWhole) {
  const bool tmpfs = CanMountPrivately();
  if (!tmpfs) std::cerr << "[ note ] no mount privileges: a file size limit stands for the full disk\n";

  {
    SCOPED_TRACE("profile in the data folder");
    Box box;
    const std::string settings = box.MachineProfile();
    const std::string after = box.root + "/after";
    MakeDiskFull(box, tmpfs, after, sizeof kProfile - 1);
    EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
    const std::string result = tmpfs ? after : box.DataFolder();
    // Nothing half-written, no temporary file left behind.
    EXPECT_EQ(Sandbox::Read(result + "/Setting.ini"), kProfile);
    EXPECT_EQ(FilesIn(result), std::vector<std::string>{"Setting.ini"});
    if (tmpfs) {
      // The plan whose record could not be written is removed again.
      const auto log = box.Log("powercfg.log");
      ASSERT_EQ(log.size(), 16u);
      EXPECT_EQ(log.back().rfind("powercfg.exe /DELETE ", 0), 0u) << log.back();
    }
  }
  {
    SCOPED_TRACE("profile elsewhere");
    Box box;
    const std::string settings = box.OtherProfile();
    const std::string machine = box.DataFolder() + "/Setting.ini";
    Sandbox::Write(machine, std::string(kOldRecord) + "[Other]\r\nKept=1\r\n");
    const std::string after = box.root + "/after";
    MakeDiskFull(box, tmpfs, after, Sandbox::Read(machine).size());
    EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
    const std::string result = tmpfs ? after : box.DataFolder();
    EXPECT_EQ(Sandbox::Read(result + "/Setting.ini"), std::string(kOldRecord) + "[Other]\r\nKept=1\r\n");
    EXPECT_EQ(FilesIn(result), std::vector<std::string>{"Setting.ini"});
  }
}

TEST(Faults, ReadOnlyFileSystemFailsTheRecordAndDeletesNothing) {
  if (!CanMountPrivately()) GTEST_SKIP() << "no mount privileges for a read-only file system";
  {
    SCOPED_TRACE("task list and XML file");
    Box box;
    const std::string folder = box.root + "/Temp";
    const std::string list = folder + "/list.txt";
    const std::string entry = "/TN:\"Sleep\" /XML:\"" + Sandbox::WinPath(folder + "/a.xml") + "\"\r\n";
    Sandbox::Write(folder + "/a.xml", "<Task/>");
    Sandbox::Write(list, entry);
    ASSERT_EQ(chmod(list.c_str(), 0444), 0);
    const std::string after = box.root + "/after";
    OnPrivateMedium(box, folder, Medium::kReadOnly, after);
    // Deletions that fail are not reported: the run succeeds.
    EXPECT_EQ(box.Run(box.Arg("F", list)), 0);
    EXPECT_EQ(box.Log("schtasks.log").size(), 1u);
    EXPECT_EQ(Sandbox::Read(after + "/a.xml"), "<Task/>");
    EXPECT_EQ(Sandbox::Read(after + "/list.txt"), entry);
  }
  {
    SCOPED_TRACE("profile in the data folder");
    Box box;
    const std::string settings = box.MachineProfile();
    const std::string after = box.root + "/after";
    OnPrivateMedium(box, box.DataFolder(), Medium::kReadOnly, after);
    EXPECT_EQ(box.Run(box.Arg("N", settings)), kFailed);
    EXPECT_EQ(FilesIn(after), std::vector<std::string>{"Setting.ini"});
    EXPECT_EQ(Sandbox::Read(after + "/Setting.ini"), kProfile);
    const auto log = box.Log("powercfg.log");
    ASSERT_EQ(log.size(), 16u);
    EXPECT_EQ(log.back().rfind("powercfg.exe /DELETE ", 0), 0u) << log.back();
  }
}

// --- Two starts at the same moment -----------------------------------------

TEST(Faults, TwoStartsAtTheSameMomentRunExactlyOnce) {
#ifdef __SANITIZE_ADDRESS__
  constexpr int kRounds = 20;  // each start of the instrumented programs is several times slower
#else
  constexpr int kRounds = 100;
#endif
  Box box;
  const std::string settings = box.MachineProfile();
  // A registration program that takes a while, so that the two starts
  // surely overlap: the one that holds the mutex is still busy when the
  // other looks for it.
  WrapProgram(box, "schtasks.exe", "#!/bin/sh\nsleep 0.05\nexec \"$0.real\" \"$@\"\n");

  int bothZero = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string list = box.TaskList();
    const size_t tasksBefore = box.Log("schtasks.log").size();
    const size_t commandsBefore = box.Log("powercfg.log").size();

    // Both wait at a gate that opens for both at once.
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    box.beforeExec = [gate] {
      close(gate[1]);
      char c;
      while (read(gate[0], &c, 1) < 0 && errno == EINTR) {
      }
      close(gate[0]);
    };
    const std::string commandLine = box.Arg("F", list) + " " + box.Arg("N", settings);
    const pid_t first = box.Start(commandLine);
    const pid_t second = box.Start(commandLine);
    close(gate[0]);
    close(gate[1]);
    const int a = Sandbox::Wait(first, 20);
    const int b = Sandbox::Wait(second, 20);

    // Both end with 0: one ran, the other stepped aside at once.
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    bothZero += a == 0 && b == 0;
    // Exactly one run's work: one registration, one plan configuration.
    EXPECT_EQ(box.Log("schtasks.log").size() - tasksBefore, 1u);
    const size_t commands = box.Log("powercfg.log").size() - commandsBefore;
    EXPECT_EQ(commands, round == 0 ? 14u : 12u);
    EXPECT_FALSE(Sandbox::Exists(list));
    EXPECT_FALSE(Sandbox::Exists(box.root + "/a.xml"));
    if (HasFailure()) break;
  }
  EXPECT_EQ(bothZero, kRounds);
  EXPECT_EQ(CurrentValue(settings, "ProfileName"), "Fault");
  EXPECT_EQ(Sandbox::Read(settings).find(kProfile), 0u) << "the profile is kept whole";
}

}  // namespace
}  // namespace tav::e2e
