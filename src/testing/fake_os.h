// An in-memory Os for core tests: files, folders, profiles, processes, the
// power library, COM, the clock and the window are plain fields that a test
// sets up and inspects afterwards. Paths compare without regard to case, as
// on Windows.
//
// It is one machine: it implements every facet of the Os itself (a started
// powercfg changes the plans, profiles are its files) and is an Os whose
// facets are all itself. A test that needs one facet to behave otherwise can
// compose an Os of its facets with that one replaced (OsFacets::With).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/os.h"

namespace tav::testing {

struct FakePlan {
  tav::Guid Guid;
  std::wstring Name;
  bool NameReadable = true;
};

class FakeOs : public OsSystem,
               public OsProcesses,
               public OsFiles,
               public OsProfile,
               public OsPower,
               public OsCom,
               public OsSleep,
               public Os {
 public:
  FakeOs();

  // --- Set-up and inspection -------------------------------------------------
  // Everything that happened, in order: "CreateMutex", "ReleaseMutex",
  // "CloseMutex", "PostMessage", "Run:<command line>", "Delete:<path>",
  // "SetAttributes:<path>", "WriteProfile:<path>", "Flush:<path>", "LoadPowerLibrary",
  // "FreePowerLibrary", "CoInitialize", "CoUninitialize", ...
  std::vector<std::wstring> events;
  std::vector<std::wstring> commandLines;  // every StartHidden call
  // The application name of each call, in step with `commandLines`; empty
  // where none was given.
  std::vector<std::wstring> applicationNames;

  // The built-in plans of a Windows 10 machine (Balanced, High performance,
  // Power saver), Balanced active; appended to `plans`.
  void AddBuiltInPlans();
  // Files made by CreateUnicodeTextFile (UTF-16 LE with a byte-order mark).
  bool IsUnicodeFile(const std::wstring& path) const;
  // What powercfg.exe does with "/SETACTIVE" and "/DUPLICATESCHEME" of
  // listed plans; called for every started process when it ends.
  void ApplyPowercfgEffects(const std::wstring& commandLine);
  // Adds a file (text content, for OpenTextFileForReading) with attributes.
  void AddFile(const std::wstring& path, const std::wstring& text = L"",
               uint32_t attributes = kFileAttributeArchive);
  void AddFolder(const std::wstring& path);
  bool HasFile(const std::wstring& path) const;
  bool HasFolder(const std::wstring& path) const;
  // Profile content of a file: section -> key -> value (names as written).
  void SetProfileValue(const std::wstring& path, const std::wstring& section,
                       const std::wstring& key, const std::wstring& value);
  // The value, or null when the file, section or key is missing.
  const std::wstring* ProfileValue(const std::wstring& path, const std::wstring& section,
                                   const std::wstring& key) const;

  uint32_t processSession = 1;
  uint32_t consoleSession = 1;
  bool sessionCallFails = false;
  bool mutexHeldElsewhere = false;
  bool mutexCreationFails = false;
  uint32_t versionMajor = 10;
  uint32_t versionMinor = 0;
  bool windowExists = true;
  struct PostedMessage {
    uintptr_t Window;
    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;
  };
  std::vector<PostedMessage> postedMessages;
  int64_t now = 1'700'000'000;
  TimeOfDay localTime{12, 0};
  bool localTimeFails = false;
  int localeSelections = 0;

  // Decides whether a process can be created for a command line; true by
  // default. The command line is recorded either way.
  std::function<bool(const std::wstring&)> canStart = [](const std::wstring&) { return true; };
  // Called while a started process "runs" (between creation and its end).
  std::function<void(const std::wstring&)> onRun;
  uint32_t childExitCode = 0;  // what every ended child reports
  // Children that never end by themselves: a limited wait times out
  // ("TimedOut:<command line>") and the runner ends them ("Terminated:...").
  std::function<bool(const std::wstring&)> neverEnds = [](const std::wstring&) { return false; };
  std::vector<std::chrono::milliseconds> waitLimits;  // every limited wait

  // --- Pins (PinFile, PinFolder) ---------------------------------------------
  // Every pin asked for: "PinFile:<path>", "PinFolder:<path>". Kept apart
  // from `events`, whose sequences the older tests compare whole.
  std::vector<std::wstring> pinLog;
  int heldPins = 0;  // pins alive right now
  // A folder that is a link or junction to `target` (a made-up folder where
  // empty): pinning it finds kLink, a path below it compared by its final
  // path finds kElsewhere, and its final path lies below `target`. Files
  // below it are added under the link's path and reached by either path.
  void AddLinkedFolder(const std::wstring& path, const std::wstring& target = L"");
  // A file whose final path is `finalPath` although it is named `path` (an
  // object link reached through a junction): compared by its final path,
  // it lies elsewhere.
  void SetFinalPath(const std::wstring& path, const std::wstring& finalPath);
  // The final path the system would give for `path`.
  std::wstring FinalPathOf(const std::wstring& path) const;
  // How each path was last pinned as a file.
  std::map<std::wstring, PinSharing> pinSharing;
  // Called after every CreateDirectory, to change the folder before it is
  // checked (made a link, removed again).
  std::function<void(const std::wstring&)> afterCreateDirectory;
  // How many names a file has (1 unless set).
  void SetLinkCount(const std::wstring& path, uint32_t links);
  // A path that is there but cannot be opened (kUnopenable).
  void MakeUnopenable(const std::wstring& path);
  // True while the file is the one added under that path earlier (not
  // deleted, not replaced by AddFile since `id` was read).
  uint64_t FileId(const std::wstring& path) const;

  // Every trace line, as DebugOutput received it.
  std::vector<std::wstring> traceLines;
  bool debugOutputOn = true;
  // Trace lines that contain `text`.
  std::vector<std::wstring> TraceLinesWith(const std::wstring& text) const;
  uint32_t tickCount = 1000;  // GetTickCount; advances 5 ms at every reading

  std::wstring commonAppData = L"C:\\ProgramData";
  std::wstring localAppData = L"C:\\Users\\User\\AppData\\Local";
  bool commonAppDataFails = false;
  bool localAppDataFails = false;
  // Longer than MAX_PATH - 1 characters: cut, and the buffer size returned.
  std::wstring moduleFileName = L"C:\\Program Files\\VARENTO\\TAV_PowerSaveSetting.exe";
  std::wstring systemDirectory = L"C:\\Windows\\system32";  // empty: cannot be named
  // Paths whose profile writes fail (besides read-only files).
  std::set<std::wstring> failingProfileWrites;
  // Folders that cannot be created.
  std::set<std::wstring> failingFolderCreations;

  bool powerLibraryAvailable = true;
  std::vector<FakePlan> plans;
  // The active plan, as PowerGetActiveScheme reports it. A started
  // "powercfg.exe /SETACTIVE <guid>" makes that plan active when it is
  // listed in `plans` and `activationRefused` is false (a policy that keeps
  // the active plan); "/DUPLICATESCHEME <listed> <new>" lists the new plan.
  Guid activePlan{};
  bool activationRefused = false;
  bool getActiveSchemeAvailable = true;  // false: the library lacks it
  uint32_t getActiveSchemeError = 0;     // non-zero: the call fails with it
  int friendlyNameReads = 0;
  std::vector<std::wstring> xpSchemes;
  bool enumPwrSchemesFails = false;
  int enumPwrSchemesCalls = 0;
  std::vector<Guid> guidsToCreate;  // CoCreateGuid hands these out in order
  bool coCreateGuidFails = false;
  bool stringFromClsidFails = false;

  // --- Sleeping and waking (OsSleep) -----------------------------------------
  // Events: "EnableShutdownPrivilege", "Sleep:suspend", "Sleep:hibernate",
  // "StartWaiter:<arguments>", "ArmWakeTimer:<due>", "KeepDisplayOn",
  // "CancelWaiter", "WaiterGone".
  std::optional<SleepCapabilities> sleepCapabilities =
      SleepCapabilities{false, false, true, true, true, false};
  bool shutdownPrivilegeHeld = true;
  bool sleepRefused = false;
  WaiterStart waiterStart = WaiterStart::kArmed;  // what StartWaiter answers
  bool waiterPending = false;   // a waiter holds the slot (set while a slot lives)
  bool waiterIgnoresCancel = false;
  bool wakeTimerFails = false;
  WaitEnd waitEnd = WaitEnd::kFired;
  // Local time: `utcOffset` seconds ahead of UTC, changed to `.second` from
  // the instant `.first` on (in order).
  int64_t utcOffset = 0;
  std::vector<std::pair<int64_t, int64_t>> offsetChanges;

  // --- The facets of the Os -------------------------------------------------
  void SelectUserLocale() override;
  uint32_t ProcessId() override;
  std::optional<uint32_t> SessionOf(uint32_t processId) override;
  uint32_t ConsoleSession() override;
  MutexOpening CreateOwnedMutex(const std::wstring& name) override;
  bool IsWindowsXp() override;
  bool PostToWindowOfClass(const std::wstring& className, uint32_t message) override;
  std::chrono::milliseconds SteadyTime() override;
  void WriteTrace(const std::wstring& line) override;
  bool TraceWanted() override { return debugOutputOn; }
  int64_t Now() override;
  std::optional<TimeOfDay> LocalTimeOfDay(int64_t seconds) override;
  std::unique_ptr<OsProcess> StartHidden(const std::wstring& program,
                                         const std::wstring& commandLine) override;
  std::wstring SystemFolder() override;
  bool Exists(const std::wstring& path) override;
  PathKind KindOf(const std::wstring& path) override;
  FilePin CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) override;
  bool CreateFolder(const std::wstring& path) override;
  std::optional<std::wstring> SpecialFolderPath(SpecialFolder folder) override;
  std::optional<std::wstring> ProgramPath() override;
  FilePin PinFile(const std::wstring& path, FinalPathCheck finalPath,
                  PinSharing sharing) override;
  FolderPin PinFolder(const std::wstring& path, FinalPathCheck finalPath) override;
  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue, size_t bufferChars,
                          const std::wstring& path) override;
  int32_t ReadInt(const std::wstring& section, const std::wstring& key, int32_t defaultValue,
                  const std::wstring& path) override;
  bool WriteString(const std::wstring& section, const std::wstring& key,
                   const std::wstring& value, const std::wstring& path) override;
  void Flush(const std::wstring& path) override;
  std::unique_ptr<OsPowerLibrary> OpenLibrary() override;
  std::optional<std::vector<std::wstring>> SchemeNames() override;
  bool Start() override;
  void Stop() override;
  std::optional<Guid> NewGuid() override;
  std::optional<std::wstring> GuidText(const Guid& guid) override;
  std::optional<SleepCapabilities> Capabilities() override;
  bool EnableShutdownPrivilege() override;
  bool RequestSleep(SleepKind kind) override;
  WaiterStart StartWaiter(const std::wstring& arguments, std::chrono::milliseconds limit) override;
  WaiterSlotTaking TakeWaiterSlot() override;
  void KeepDisplayOn() override;
  CancelResult CancelWaiter(std::chrono::milliseconds limit) override;
  std::optional<LocalDateTime> LocalTimeOf(int64_t seconds) override;

  // --- Files as the pins and tests see them ----------------------------------
  // The attribute bits of a file ("directory" for a folder), or
  // kInvalidFileAttributes.
  uint32_t Attributes(const std::wstring& path) const;
  // Writes a file's attributes ("SetAttributes:<path>").
  virtual bool SetAttributes(const std::wstring& path, uint32_t attributes);
  // Deletes a file as DeleteFileW does: a read-only one is refused
  // ("Delete:<path>" or "DeleteFailed:<path>").
  bool RemoveFile(const std::wstring& path);
  // The file's text, read line by line ("OpenTextFile:<path>").
  std::unique_ptr<OsTextFile> OpenText(const std::wstring& path);

 private:
  struct File {
    std::wstring text;
    uint32_t attributes = kFileAttributeArchive;
    bool unicode = false;  // made by CreateUnicodeTextFile
    uint32_t links = 1;
    uint64_t id = 0;  // new for every file made under a path
    // section -> key -> value, in order of writing; names as first written.
    std::vector<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>>
        profile;
  };
  // The map key of a path: reached through a link's target, it is the path
  // below the link; lower case.
  std::wstring Key(const std::wstring& path) const;
  File* FindFile(const std::wstring& path);
  const File* FindFile(const std::wstring& path) const;

  std::map<std::wstring, File> files_;
  std::set<std::wstring> folders_;
  std::set<std::wstring> linkedFolders_;
  std::map<std::wstring, std::wstring> linkTargets_;  // link's key -> target path
  std::map<std::wstring, std::wstring> finalPaths_;   // file's key -> its final path
  std::set<std::wstring> unopenable_;
  uint64_t nextFileId_ = 1;
  // Whether a folder above `path` is a link.
  bool UnderLinkedFolder(const std::wstring& path) const;
  File& NewFile(const std::wstring& path);
  bool mutexOwnedHere_ = false;
  size_t nextGuid_ = 0;
};

// Makes a Guid from its text form without braces, for test set-up.
Guid GuidFromText(const std::wstring& text);

}  // namespace tav::testing
