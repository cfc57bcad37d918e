#include "testing/fake_os.h"

#include <cstdio>
#include <cwctype>

#include "os/path_strings.h"
#include "power/builtin_plans.h"

namespace tav::testing {
namespace {

std::wstring Lower(const std::wstring& s) {
  std::wstring out = s;
  for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

class FakeMutex : public OsMutex {
 public:
  FakeMutex(FakeOs& os, bool owned, bool* ownedHere) : os_(os), owned_(owned), ownedHere_(ownedHere) {}
  ~FakeMutex() override { os_.events.push_back(L"CloseMutex"); }
  void Release() override {
    os_.events.push_back(L"ReleaseMutex");
    if (owned_) *ownedHere_ = false;
    owned_ = false;
  }

 private:
  FakeOs& os_;
  bool owned_;
  bool* ownedHere_;
};

class FakeProcess : public OsProcess {
 public:
  FakeProcess(FakeOs& os, std::wstring commandLine) : os_(os), commandLine_(std::move(commandLine)) {}
  ~FakeProcess() override { os_.events.push_back(L"CloseProcess"); }
  bool Wait(std::optional<std::chrono::milliseconds> limit) override {
    if (limit) {
      os_.waitLimits.push_back(*limit);
      if (os_.neverEnds(commandLine_)) {
        os_.events.push_back(L"TimedOut:" + commandLine_);
        return false;
      }
    }
    os_.ApplyPowercfgEffects(commandLine_);
    if (os_.onRun) os_.onRun(commandLine_);
    os_.events.push_back(L"Exited:" + commandLine_);
    return true;
  }
  std::optional<uint32_t> ExitCode() override { return os_.childExitCode; }
  void Terminate() override { os_.events.push_back(L"Terminated:" + commandLine_); }

 private:
  FakeOs& os_;
  std::wstring commandLine_;
};

// A pinned file: used only while the path still names the file that was
// checked (a file deleted or replaced since then is not touched).
class FakePinnedFile : public OsPinnedFile {
 public:
  FakePinnedFile(FakeOs& os, std::wstring path)
      : os_(os), path_(std::move(path)), id_(os.FileId(path_)) {
    ++os_.heldPins;
  }
  ~FakePinnedFile() override { --os_.heldPins; }
  std::optional<std::wstring> FinalPath() override { return os_.FinalPathOf(path_); }
  std::unique_ptr<OsTextFile> OpenTextFileForReading() override {
    if (!Same()) return nullptr;
    return os_.OpenText(path_);
  }
  void ClearReadOnlyAttribute() override {
    const uint32_t attributes = os_.Attributes(path_);
    if (Same() && (attributes & kFileAttributeReadOnly))
      os_.SetAttributes(path_, attributes & ~kFileAttributeReadOnly);
  }
  bool Delete() override {
    if (!Same()) {
      os_.events.push_back(L"DeleteFailed:" + path_);
      return false;
    }
    return os_.RemoveFile(path_);
  }

 private:
  bool Same() const { return id_ != 0 && os_.FileId(path_) == id_; }
  FakeOs& os_;
  std::wstring path_;
  uint64_t id_;
};

class FakePinnedFolder : public OsPinnedFolder {
 public:
  FakePinnedFolder(FakeOs& os, std::wstring path) : os_(os), path_(std::move(path)) {
    ++os_.heldPins;
  }
  ~FakePinnedFolder() override { --os_.heldPins; }
  std::optional<std::wstring> FinalPath() override { return os_.FinalPathOf(path_); }

 private:
  FakeOs& os_;
  std::wstring path_;
};

class FakeTextFile : public OsTextFile {
 public:
  FakeTextFile(FakeOs& os, std::wstring text) : os_(os), text_(std::move(text)) {}
  ~FakeTextFile() override { os_.events.push_back(L"CloseTextFile"); }
  bool ReadLine(std::wstring& piece, size_t bufferChars) override {
    piece.clear();
    if (pos_ >= text_.size() || bufferChars < 2) return false;
    while (pos_ < text_.size() && piece.size() < bufferChars - 1) {
      wchar_t c = text_[pos_];
      if (c == L'\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == L'\n') {
        ++pos_;
        continue;
      }
      piece += c;
      ++pos_;
      if (c == L'\n') break;
    }
    return true;
  }

 private:
  FakeOs& os_;
  std::wstring text_;
  size_t pos_ = 0;
};

class FakePowerLibrary : public OsPowerLibrary {
 public:
  explicit FakePowerLibrary(FakeOs& os) : os_(os) {}
  ~FakePowerLibrary() override { os_.events.push_back(L"FreePowerLibrary"); }
  std::optional<Guid> PlanAt(uint32_t index) override {
    if (index >= os_.plans.size()) return std::nullopt;  // ERROR_NO_MORE_ITEMS
    return os_.plans[index].Guid;
  }
  std::optional<std::wstring> PlanName(const Guid& plan) override {
    ++os_.friendlyNameReads;
    for (const auto& p : os_.plans) {
      if (p.Guid == plan) {
        if (!p.NameReadable) return std::nullopt;
        // ERROR_MORE_DATA: the name and its terminator do not fit.
        if ((p.Name.size() + 1) * 2 > kFriendlyNameBufferBytes) return std::nullopt;
        return p.Name;
      }
    }
    return std::nullopt;
  }

  // As the platform reads it: no export, or ERROR_CALL_NOT_IMPLEMENTED,
  // is a library without the call.
  ActivePlanReading ActivePlan() override {
    using Status = ActivePlanReading::Status;
    if (!os_.getActiveSchemeAvailable) return ActivePlanReading{};
    os_.events.push_back(L"PowerGetActiveScheme");
    const uint32_t error = os_.getActiveSchemeError;
    if (error == 120) return ActivePlanReading{Status::kNotImplemented, Guid{}, error};
    if (error != 0) return ActivePlanReading{Status::kFailed, Guid{}, error};
    return ActivePlanReading{Status::kRead, os_.activePlan, 0};
  }

 private:
  FakeOs& os_;
};

}  // namespace

FakeOs::FakeOs() : Os(OsFacets{this, this, this, this, this, this, this}) {}

std::vector<std::wstring> FakeOs::TraceLinesWith(const std::wstring& text) const {
  std::vector<std::wstring> found;
  for (const std::wstring& line : traceLines)
    if (line.find(text) != std::wstring::npos) found.push_back(line);
  return found;
}

std::chrono::milliseconds FakeOs::SteadyTime() {
  const uint32_t reading = tickCount;
  tickCount += 5;
  return std::chrono::milliseconds(reading);
}

void FakeOs::WriteTrace(const std::wstring& line) { traceLines.push_back(line); }

void FakeOs::AddBuiltInPlans() {
  plans.push_back(FakePlan{GuidFromText(kBalancedPlanGuid), L"Balanced"});
  plans.push_back(FakePlan{GuidFromText(kHighPerformancePlanGuid), L"High performance"});
  plans.push_back(FakePlan{GuidFromText(kPowerSaverPlanGuid), L"Power saver"});
  activePlan = GuidFromText(kBalancedPlanGuid);
}

void FakeOs::ApplyPowercfgEffects(const std::wstring& commandLine) {
  // Only the plan commands with bare GUID arguments change the fake's plans.
  auto isGuid = [](const std::wstring& text) {
    return text.size() == 36 && text.find(L'"') == std::wstring::npos;
  };
  auto listed = [this](const Guid& guid) {
    for (const FakePlan& plan : plans)
      if (plan.Guid == guid) return &plan;
    return static_cast<const FakePlan*>(nullptr);
  };
  const std::wstring activate = L"powercfg.exe /SETACTIVE ";
  const std::wstring duplicate = L"powercfg.exe /DUPLICATESCHEME ";
  if (commandLine.compare(0, activate.size(), activate) == 0) {
    const std::wstring argument = commandLine.substr(activate.size());
    if (activationRefused || !isGuid(argument)) return;
    const Guid guid = GuidFromText(argument);
    if (listed(guid)) activePlan = guid;
  } else if (commandLine.compare(0, duplicate.size(), duplicate) == 0) {
    const std::wstring base = commandLine.substr(duplicate.size(), 36);
    const std::wstring copy = commandLine.size() > duplicate.size() + 37
                                  ? commandLine.substr(duplicate.size() + 37)
                                  : L"";
    if (!isGuid(base) || !isGuid(copy)) return;
    const FakePlan* original = listed(GuidFromText(base));
    if (original && !listed(GuidFromText(copy)))
      plans.push_back(FakePlan{GuidFromText(copy), original->Name});
  }
}

std::wstring FakeOs::Key(const std::wstring& path) const {
  const std::wstring lower = Lower(path);
  for (const auto& [link, target] : linkTargets_) {
    const std::wstring to = Lower(target);
    if (lower.compare(0, to.size(), to) == 0 &&
        (lower.size() == to.size() || lower[to.size()] == L'\\'))
      return link + lower.substr(to.size());
  }
  return lower;
}

void FakeOs::SetFinalPath(const std::wstring& path, const std::wstring& finalPath) {
  finalPaths_[Key(path)] = finalPath;
}

std::wstring FakeOs::FinalPathOf(const std::wstring& path) const {
  if (auto it = finalPaths_.find(Key(path)); it != finalPaths_.end()) return it->second;
  std::wstring folder = path;
  do {
    auto it = linkTargets_.find(Lower(folder));
    if (it != linkTargets_.end()) return it->second + path.substr(folder.size());
  } while (PathStringRemoveFileSpec(folder) && !folder.empty());
  return path;
}

FakeOs::File* FakeOs::FindFile(const std::wstring& path) {
  auto it = files_.find(Key(path));
  return it == files_.end() ? nullptr : &it->second;
}
const FakeOs::File* FakeOs::FindFile(const std::wstring& path) const {
  auto it = files_.find(Key(path));
  return it == files_.end() ? nullptr : &it->second;
}

FakeOs::File& FakeOs::NewFile(const std::wstring& path) {
  File& f = files_[Key(path)];
  f = File();
  f.id = nextFileId_++;
  return f;
}

uint64_t FakeOs::FileId(const std::wstring& path) const {
  const File* f = FindFile(path);
  return f ? f->id : 0;
}

void FakeOs::AddLinkedFolder(const std::wstring& path, const std::wstring& target) {
  folders_.insert(Key(path));
  linkedFolders_.insert(Key(path));
  linkTargets_[Key(path)] =
      target.empty() ? L"X:\\LinkTarget" + std::to_wstring(linkTargets_.size() + 1) : target;
}

void FakeOs::SetLinkCount(const std::wstring& path, uint32_t links) {
  if (File* f = FindFile(path)) f->links = links;
}

void FakeOs::MakeUnopenable(const std::wstring& path) { unopenable_.insert(Key(path)); }

bool FakeOs::UnderLinkedFolder(const std::wstring& path) const {
  std::wstring folder = path;
  // As spelled: a path through a link's target reaches no link.
  while (PathStringRemoveFileSpec(folder) && !folder.empty()) {
    if (linkedFolders_.count(Lower(folder))) return true;
  }
  return false;
}

FilePin FakeOs::PinFile(const std::wstring& path, FinalPathCheck finalPath,
                        PinSharing sharing) {
  pinLog.push_back(L"PinFile:" + path);
  pinSharing[Key(path)] = sharing;
  if (unopenable_.count(Key(path))) return FilePin{FileCheck::kUnopenable, nullptr};
  const File* f = FindFile(path);
  if (!f) {
    const bool folder = folders_.count(Key(path)) != 0;
    return FilePin{folder ? FileCheck::kNotFile : FileCheck::kMissing, nullptr};
  }
  if (f->attributes & kFileAttributeReparsePoint) return FilePin{FileCheck::kLink, nullptr};
  if (f->attributes & (kFileAttributeDirectory | kFileAttributeDevice))
    return FilePin{FileCheck::kNotFile, nullptr};
  if (f->links != 1) return FilePin{FileCheck::kHardLinked, nullptr};
  if (finalPath == FinalPathCheck::kCompare &&
      (UnderLinkedFolder(path) || finalPaths_.count(Key(path))))
    return FilePin{FileCheck::kElsewhere, nullptr};
  return FilePin{FileCheck::kPassed, std::make_unique<FakePinnedFile>(*this, path)};
}

FolderPin FakeOs::PinFolder(const std::wstring& path, FinalPathCheck finalPath) {
  pinLog.push_back(L"PinFolder:" + path);
  if (unopenable_.count(Key(path))) return FolderPin{FileCheck::kUnopenable, nullptr};
  if (linkedFolders_.count(Lower(path))) return FolderPin{FileCheck::kLink, nullptr};
  if (const File* f = FindFile(path)) {
    return FolderPin{(f->attributes & kFileAttributeReparsePoint) ? FileCheck::kLink
                                                                  : FileCheck::kNotFolder,
                     nullptr};
  }
  // A folder that holds a file is there, whether or not it was added.
  const std::wstring below = Key(path) + L"\\";
  const auto file = files_.lower_bound(below);
  const bool holdsFile = file != files_.end() && file->first.compare(0, below.size(), below) == 0;
  if (!folders_.count(Key(path)) && !holdsFile) return FolderPin{FileCheck::kMissing, nullptr};
  if (finalPath == FinalPathCheck::kCompare && UnderLinkedFolder(path))
    return FolderPin{FileCheck::kElsewhere, nullptr};
  return FolderPin{FileCheck::kPassed, std::make_unique<FakePinnedFolder>(*this, path)};
}

void FakeOs::AddFile(const std::wstring& path, const std::wstring& text, uint32_t attributes) {
  File& f = NewFile(path);
  f.text = text;
  f.attributes = attributes;
}
void FakeOs::AddFolder(const std::wstring& path) { folders_.insert(Key(path)); }
bool FakeOs::HasFile(const std::wstring& path) const { return FindFile(path) != nullptr; }
bool FakeOs::HasFolder(const std::wstring& path) const { return folders_.count(Key(path)) != 0; }

void FakeOs::SetProfileValue(const std::wstring& path, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value) {
  File& f = FindFile(path) ? *FindFile(path) : NewFile(path);
  for (auto& [name, keys] : f.profile) {
    if (Lower(name) != Lower(section)) continue;
    for (auto& [k, v] : keys) {
      if (Lower(k) == Lower(key)) {
        v = value;
        return;
      }
    }
    keys.emplace_back(key, value);
    return;
  }
  f.profile.push_back({section, {{key, value}}});
}

const std::wstring* FakeOs::ProfileValue(const std::wstring& path, const std::wstring& section,
                                         const std::wstring& key) const {
  const File* f = FindFile(path);
  if (!f) return nullptr;
  for (const auto& [name, keys] : f->profile) {
    if (Lower(name) != Lower(section)) continue;
    for (const auto& [k, v] : keys)
      if (Lower(k) == Lower(key)) return &v;
    return nullptr;
  }
  return nullptr;
}

void FakeOs::SelectUserLocale() { ++localeSelections; }
uint32_t FakeOs::ProcessId() { return 4242; }
std::optional<uint32_t> FakeOs::SessionOf(uint32_t) {
  if (sessionCallFails) return std::nullopt;
  return processSession;
}
uint32_t FakeOs::ConsoleSession() { return consoleSession; }

MutexOpening FakeOs::CreateOwnedMutex(const std::wstring& name) {
  events.push_back(L"CreateMutex:" + name);
  if (mutexCreationFails) return MutexOpening{};
  if (mutexHeldElsewhere || mutexOwnedHere_)
    return MutexOpening{std::make_unique<FakeMutex>(*this, false, &mutexOwnedHere_), true};
  mutexOwnedHere_ = true;
  return MutexOpening{std::make_unique<FakeMutex>(*this, true, &mutexOwnedHere_), false};
}

bool FakeOs::IsWindowsXp() {
  events.push_back(L"VerifyVersion");
  return versionMajor == 5 && versionMinor == 1;
}

bool FakeOs::PostToWindowOfClass(const std::wstring& className, uint32_t message) {
  events.push_back(L"FindWindow:" + className);
  if (!windowExists) return false;
  events.push_back(L"PostMessage");
  postedMessages.push_back({0x1234, message, 0, 0});
  return true;
}

int64_t FakeOs::Now() {
  events.push_back(L"CurrentTime");
  return now;
}
std::optional<TimeOfDay> FakeOs::LocalTimeOfDay(int64_t) {
  if (localTimeFails) return std::nullopt;
  return localTime;
}

std::unique_ptr<OsProcess> FakeOs::StartHidden(const std::wstring& applicationName,
                                               const std::wstring& commandLine) {
  commandLines.push_back(commandLine);
  applicationNames.push_back(applicationName);
  if (!canStart(commandLine)) {
    events.push_back(L"RunFailed:" + commandLine);
    return nullptr;
  }
  events.push_back(L"Run:" + commandLine);
  return std::make_unique<FakeProcess>(*this, commandLine);
}

bool FakeOs::Exists(const std::wstring& path) {
  if (path.empty()) return false;
  return FindFile(path) != nullptr || folders_.count(Key(path)) != 0;
}

uint32_t FakeOs::Attributes(const std::wstring& path) const {
  if (const File* f = FindFile(path)) return f->attributes;
  if (folders_.count(Key(path))) return kFileAttributeDirectory;
  return kInvalidFileAttributes;
}

PathKind FakeOs::KindOf(const std::wstring& path) {
  const uint32_t attributes = Attributes(path);
  if (attributes == kInvalidFileAttributes) return PathKind::kNothing;
  return (attributes & kFileAttributeDirectory) ? PathKind::kFolder : PathKind::kFile;
}

FilePin FakeOs::CreateUnicodeTextFile(const std::wstring& path, FinalPathCheck finalPath) {
  events.push_back(L"CreateUnicodeFile:" + path);
  if (Exists(path)) return PinFile(path, finalPath, PinSharing::kReadWrite);
  if (path.empty() || failingProfileWrites.count(Key(path))) return FilePin{};
  NewFile(path).unicode = true;
  FilePin pin = PinFile(path, finalPath, PinSharing::kReadWrite);
  pin.Created = pin.File != nullptr;
  if (!pin.File) RemoveFile(path);  // through the handle it was made with
  return pin;
}

bool FakeOs::IsUnicodeFile(const std::wstring& path) const {
  const File* f = FindFile(path);
  return f != nullptr && f->unicode;
}

std::wstring FakeOs::SystemFolder() { return systemDirectory; }

bool FakeOs::SetAttributes(const std::wstring& path, uint32_t attributes) {
  File* f = FindFile(path);
  if (!f) return false;
  events.push_back(L"SetAttributes:" + path);
  f->attributes = attributes;
  return true;
}

bool FakeOs::RemoveFile(const std::wstring& path) {
  File* f = FindFile(path);
  if (!f || (f->attributes & kFileAttributeReadOnly)) {
    events.push_back(L"DeleteFailed:" + path);
    return false;
  }
  events.push_back(L"Delete:" + path);
  files_.erase(Key(path));
  return true;
}

bool FakeOs::CreateFolder(const std::wstring& path) {
  events.push_back(L"CreateDirectory:" + path);
  if (failingFolderCreations.count(Key(path)) || folders_.count(Key(path))) return false;
  folders_.insert(Key(path));
  if (afterCreateDirectory) afterCreateDirectory(path);
  return true;
}

std::optional<std::wstring> FakeOs::SpecialFolderPath(SpecialFolder folder) {
  const bool common = folder == SpecialFolder::kCommonAppData;
  if (common ? commonAppDataFails : localAppDataFails) return std::nullopt;
  const std::wstring& path = common ? commonAppData : localAppData;
  folders_.insert(Key(path));  // the platform makes it when it is missing
  return path;
}

// A path that fills the whole MAX_PATH buffer may have been cut.
std::optional<std::wstring> FakeOs::ProgramPath() {
  if (moduleFileName.size() >= kMaxPath) return std::nullopt;
  return moduleFileName;
}

std::unique_ptr<OsTextFile> FakeOs::OpenText(const std::wstring& path) {
  const File* f = FindFile(path);
  if (!f) return nullptr;
  events.push_back(L"OpenTextFile:" + path);
  return std::make_unique<FakeTextFile>(*this, f->text);
}

std::wstring FakeOs::ReadString(const std::wstring& section, const std::wstring& key,
                                             const std::wstring& defaultValue, size_t bufferChars,
                                             const std::wstring& path) {
  const std::wstring* v = ProfileValue(path, section, key);
  std::wstring value = v ? *v : defaultValue;
  if (bufferChars == 0) return L"";
  if (value.size() > bufferChars - 1) value.resize(bufferChars - 1);
  return value;
}

int32_t FakeOs::ReadInt(const std::wstring& section, const std::wstring& key,
                                     int32_t defaultValue, const std::wstring& path) {
  const std::wstring* v = ProfileValue(path, section, key);
  // A missing key and an empty value both give the default, as on Windows.
  if (!v || v->empty()) return defaultValue;
  // Optional sign, then decimal digits; wraps modulo 2^32 like the platform.
  size_t i = 0;
  while (i < v->size() && std::iswspace((*v)[i])) ++i;
  bool negative = false;
  if (i < v->size() && ((*v)[i] == L'-' || (*v)[i] == L'+')) negative = (*v)[i++] == L'-';
  uint32_t n = 0;
  for (; i < v->size() && (*v)[i] >= L'0' && (*v)[i] <= L'9'; ++i)
    n = n * 10u + static_cast<uint32_t>((*v)[i] - L'0');
  if (negative) n = 0u - n;
  return static_cast<int32_t>(n);
}

bool FakeOs::WriteString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& value, const std::wstring& path) {
  const File* f = FindFile(path);
  std::wstring folder = path;
  PathStringRemoveFileSpec(folder);
  bool folderExists = folder.empty() || folders_.count(Key(folder)) != 0;
  if (path.empty() || failingProfileWrites.count(Key(path)) || (f && (f->attributes & kFileAttributeReadOnly)) ||
      (!f && !folderExists)) {
    events.push_back(L"WriteProfileFailed:" + path + L"|" + key);
    return false;
  }
  events.push_back(L"WriteProfile:" + path + L"|" + key);
  SetProfileValue(path, section, key, value);
  return true;
}

void FakeOs::Flush(const std::wstring& path) { events.push_back(L"Flush:" + path); }

std::unique_ptr<OsPowerLibrary> FakeOs::OpenLibrary() {
  events.push_back(L"LoadPowerLibrary");
  if (!powerLibraryAvailable) return nullptr;
  return std::make_unique<FakePowerLibrary>(*this);
}

std::optional<std::vector<std::wstring>> FakeOs::SchemeNames() {
  ++enumPwrSchemesCalls;
  if (enumPwrSchemesFails) return std::nullopt;
  return xpSchemes;
}

bool FakeOs::Start() {
  events.push_back(L"CoInitialize");
  return true;
}
void FakeOs::Stop() { events.push_back(L"CoUninitialize"); }
std::optional<Guid> FakeOs::NewGuid() {
  if (coCreateGuidFails) return std::nullopt;
  if (nextGuid_ < guidsToCreate.size()) return guidsToCreate[nextGuid_++];
  return Guid{0x12345678u + static_cast<uint32_t>(nextGuid_++), 0x9abc, 0xdef0,
              {1, 2, 3, 4, 5, 6, 7, 8}};
}

std::optional<std::wstring> FakeOs::GuidText(const Guid& g) {
  if (stringFromClsidFails) return std::nullopt;
  wchar_t buf[64];
  std::swprintf(buf, 64, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                g.Data4[6], g.Data4[7]);
  return std::wstring(buf);
}

namespace {

class FakeWaiterSlot final : public OsWaiterSlot {
 public:
  explicit FakeWaiterSlot(FakeOs& os) : os_(os) { os_.waiterPending = true; }
  ~FakeWaiterSlot() override {
    os_.waiterPending = false;
    os_.events.push_back(L"WaiterGone");
  }
  bool ArmWakeTimer(int64_t dueSeconds) override {
    if (os_.wakeTimerFails) return false;
    os_.events.push_back(L"ArmWakeTimer:" + std::to_wstring(dueSeconds));
    return true;
  }
  WaitEnd Wait() override { return os_.waitEnd; }

 private:
  FakeOs& os_;
};

}  // namespace

std::optional<SleepCapabilities> FakeOs::Capabilities() { return sleepCapabilities; }

bool FakeOs::EnableShutdownPrivilege() {
  events.push_back(L"EnableShutdownPrivilege");
  return shutdownPrivilegeHeld;
}

bool FakeOs::RequestSleep(SleepKind kind) {
  events.push_back(kind == SleepKind::kHibernate ? L"Sleep:hibernate" : L"Sleep:suspend");
  return !sleepRefused;
}

WaiterStart FakeOs::StartWaiter(const std::wstring& arguments, std::chrono::milliseconds) {
  events.push_back(L"StartWaiter:" + arguments);
  if (waiterStart == WaiterStart::kArmed) waiterPending = true;
  return waiterStart;
}

WaiterSlotTaking FakeOs::TakeWaiterSlot() {
  if (waiterPending) return {nullptr, true};
  return {std::make_unique<FakeWaiterSlot>(*this), false};
}

void FakeOs::KeepDisplayOn() { events.push_back(L"KeepDisplayOn"); }

CancelResult FakeOs::CancelWaiter(std::chrono::milliseconds) {
  events.push_back(L"CancelWaiter");
  if (!waiterPending) return CancelResult::kNothingPending;
  if (waiterIgnoresCancel) return CancelResult::kTimedOut;
  waiterPending = false;
  return CancelResult::kCancelled;
}

std::optional<LocalDateTime> FakeOs::LocalTimeOf(int64_t seconds) {
  int64_t offset = utcOffset;
  for (const auto& [from, changed] : offsetChanges)
    if (seconds >= from) offset = changed;
  const int64_t local = seconds + offset;
  int64_t days = local / 86400 - (local % 86400 < 0);
  const int64_t secondOfDay = local - days * 86400;
  // H. Hinnant's civil_from_days.
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
  return LocalDateTime{year, month, day, static_cast<int>(secondOfDay / 3600),
                       static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60)};
}

Guid GuidFromText(const std::wstring& text) {
  Guid g;
  unsigned d[11] = {};
  std::swscanf(text.c_str(), L"%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x", &d[0], &d[1], &d[2], &d[3],
               &d[4], &d[5], &d[6], &d[7], &d[8], &d[9], &d[10]);
  g.Data1 = d[0];
  g.Data2 = static_cast<uint16_t>(d[1]);
  g.Data3 = static_cast<uint16_t>(d[2]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(d[3 + i]);
  return g;
}

}  // namespace tav::testing
