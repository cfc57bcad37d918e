// Checks of Win32Os against the real system calls, run under Wine by
// tests/wine/smoke.sh (the unit tests cannot reach this layer natively).
// Prints "ok <name>" or "FAIL <name>: <detail>" per check, then
// "checks done"; exits 1 when a check failed.
//
// Usage: win32_os_check WORKFOLDER     (a Windows path, created if missing)
//        win32_os_check --power-standin
//            the power library checks against the powrprof.dll stand-in,
//            which must be the powrprof.dll that the program loads; the
//            stand-in's plan store lies in its state folder (TAV_STANDIN_DIR)
//        win32_os_check --child MARKER (used by the process checks)
//        win32_os_check --forever [MARKER] (never ends; first starts a "--forever" child, its id in MARKER)
//
// A check that the system under test cannot support (no hard links, no
// handle lists before Vista) prints "skip <name>: <reason>" instead of passing.
#include <windows.h>
#include <shlwapi.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "os/path_strings.h"
#include "os/win32/guid-win32.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os.h"
#include "standins/standin_common.h"

namespace {

using tav::standin::ToUtf8;
using tav::win32::UniqueHandle;

int failures = 0;

void Check(const std::string& name, bool ok, const std::wstring& detail = L"") {
  if (ok) {
    std::printf("ok %s\n", name.c_str());
  } else {
    ++failures;
    std::printf("FAIL %s: %s\n", name.c_str(), ToUtf8(detail).c_str());
  }
  std::fflush(stdout);
}

std::wstring Show(const std::wstring& text) { return L"\"" + text + L"\""; }

void Skip(const std::string& name, const std::string& reason) {
  std::printf("skip %s: %s\n", name.c_str(), reason.c_str());
  std::fflush(stdout);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char chunk[512];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, count);
    std::fclose(file);
  }
  return bytes;
}

// The child of the process checks: records how it was started and which
// program file it is.
int RunChild(const wchar_t* marker) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const bool hidden = (startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_HIDE;
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  Sleep(300);  // the parent must really wait for this
  WriteBytes(marker, std::string("hidden=") + (hidden ? "1" : "0") + "\nmodule=" +
                         ToUtf8(module) + "\n");
  return 7;
}

// The "module=" line of a child's marker.
std::wstring ChildModule(const std::string& marker) {
  const size_t at = marker.find("module=");
  if (at == std::string::npos) return L"";
  const size_t end = marker.find('\n', at);
  return tav::FromUtf8(marker.substr(at + 7, end == std::string::npos ? end : end - at - 7));
}

// shlwapi in MAX_PATH buffers, as the product called it before it used the
// portable functions of path_strings.h.
std::wstring ShlwapiCombine(const std::wstring& folder, const std::wstring& file) {
  wchar_t buffer[MAX_PATH] = {};
  return PathCombineW(buffer, folder.c_str(), file.c_str()) ? buffer : L"";
}
bool ShlwapiAppend(std::wstring& path, const std::wstring& more) {
  wchar_t buffer[MAX_PATH] = {};
  if (path.size() >= MAX_PATH) return false;  // would not fit the buffer to begin with
  path.copy(buffer, path.size());
  if (!PathAppendW(buffer, more.c_str())) return false;
  path = buffer;
  return true;
}
bool ShlwapiRemoveFileSpec(std::wstring& path) {
  std::vector<wchar_t> buffer(path.begin(), path.end());  // only ever shortened
  buffer.push_back(L'\0');
  const bool removed = PathRemoveFileSpecW(buffer.data()) != 0;
  path = buffer.data();
  return removed;
}

// shlwapi against the portable functions that every Os's caller uses.
void CheckPaths() {
  const std::wstring longFolder = L"C:\\" + std::wstring(250, L'a');
  struct Join {
    std::wstring folder, file;
  };
  const Join joins[] = {
      {L"C:\\a", L"b"},          {L"C:\\a\\", L"b.ini"},    {L"C:\\a", L"\\b"},
      {L"C:\\a", L"D:\\b"},      {L"", L"Setting.ini"},     {L"C:\\a", L""},
      {L"C:\\a\\b", L"..\\c"},   {L"C:\\a\\.\\b", L"c"},    {L"\\\\server\\share", L"x"},
      {L"C:", L"x"},             {longFolder, L"Setting.ini"}, {L"C:\\ProgramData", L"VARENTO"},
  };
  for (const Join& join : joins) {
    const std::wstring system = ShlwapiCombine(join.folder, join.file);
    const std::wstring emulated = tav::PathStringCombine(join.folder, join.file);
    Check("PathCombine " + ToUtf8(join.folder.substr(0, 24)) + " + " + ToUtf8(join.file),
          system == emulated, L"shlwapi " + Show(system) + L", emulation " + Show(emulated));

    std::wstring appended = join.folder, emulatedAppend = join.folder;
    const bool ok = ShlwapiAppend(appended, join.file);
    const bool emulatedOk = tav::PathStringAppend(emulatedAppend, join.file);
    Check("PathAppend " + ToUtf8(join.folder.substr(0, 24)) + " + " + ToUtf8(join.file),
          ok == emulatedOk && appended == emulatedAppend,
          L"shlwapi " + Show(appended) + L", emulation " + Show(emulatedAppend));
  }
  const std::wstring removals[] = {L"C:\\a\\b.ini", L"C:\\a",   L"C:\\",        L"C:\\a\\",
                                   L"b.ini",        L"\\b.ini", L"\\\\srv\\sh\\x", L"",
                                   L"C:b.ini"};
  for (const std::wstring& path : removals) {
    std::wstring system = path, emulated = path;
    const bool removed = ShlwapiRemoveFileSpec(system);
    const bool emulatedRemoved = tav::PathStringRemoveFileSpec(emulated);
    Check("PathRemoveFileSpec " + ToUtf8(path), removed == emulatedRemoved && system == emulated,
          L"shlwapi " + Show(system) + L", emulation " + Show(emulated));
  }
}

void CheckProfile(tav::Os& os, const std::wstring& work) {
  const std::wstring ini = work + L"\\profile.ini";
  DeleteFileW(ini.c_str());
  Check("profile write", os.profile().WriteString(L"GENERAL", L"Name", L"Quiet", ini));
  os.profile().WriteString(L"GENERAL", L"Minutes", L"-5", ini);
  os.profile().Flush(ini);
  Check("profile read", os.profile().ReadString(L"GENERAL", L"Name", L"", 1024, ini) == L"Quiet");
  Check("profile read cut to the buffer",
        os.profile().ReadString(L"GENERAL", L"Name", L"", 4, ini) == L"Qui",
        os.profile().ReadString(L"GENERAL", L"Name", L"", 4, ini));
  Check("profile default for a missing key",
        os.profile().ReadString(L"GENERAL", L"None", L"dflt", 1024, ini) == L"dflt");
  Check("profile section name ignores case",
        os.profile().ReadString(L"general", L"NAME", L"", 1024, ini) == L"Quiet");
  Check("profile int read as signed", os.profile().ReadInt(L"GENERAL", L"Minutes", 3, ini) == -5);
  Check("profile int default", os.profile().ReadInt(L"GENERAL", L"None", 3, ini) == 3);
  Check("profile missing file gives default",
        os.profile().ReadString(L"A", L"B", L"d", 1024, work + L"\\none.ini") == L"d");
  const std::string bytes = ReadBytes(ini);
  Check("profile written to disk after flush", bytes.find("Name=Quiet") != std::string::npos);
}

// A text file opened through a pin that lets writers in: what it denies them
// is the text file's own doing.
std::unique_ptr<tav::OsTextFile> OpenText(tav::Os& os, const std::wstring& path) {
  const tav::FilePin pin = os.files().PinFile(path, tav::FinalPathCheck::kCompare, tav::PinSharing::kReadWrite);
  return pin.File ? pin.File->OpenTextFileForReading() : nullptr;
}

void CheckTextFile(tav::Os& os, const std::wstring& work) {
  const std::wstring path = work + L"\\list.txt";
  WriteBytes(path, "a\r\nbb\r\n\r\nlast");
  std::vector<std::wstring> pieces;
  {
    auto file = OpenText(os, path);
    Check("text file opens", file != nullptr);
    if (!file) return;
    std::wstring piece;
    while (file->ReadLine(piece, 1024)) pieces.push_back(piece);

    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    Check("text file denies writers while open", writer == INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    Check("text file admits readers while open", reader != INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
  }
  const std::vector<std::wstring> expected = {L"a\n", L"bb\n", L"\n", L"last"};
  Check("text file lines in text mode (CR LF read as LF)", pieces == expected,
        std::to_wstring(pieces.size()) + L" pieces");

  WriteBytes(path, "abcde\n");
  {
    auto file = OpenText(os, path);
    std::wstring a, b, c;
    const bool first = file && file->ReadLine(a, 4);
    const bool second = file && file->ReadLine(b, 4);
    const bool third = file && file->ReadLine(c, 4);
    Check("text file reads bufferChars - 1 characters a piece",
          first && second && !third && a == L"abc" && b == L"de\n", Show(a) + L" " + Show(b));
  }
  Check("text file missing", OpenText(os, work + L"\\none.txt") == nullptr);

  // The runtime decodes in the ANSI code page of the selected locale.
  const UINT codePage = GetACP();
  const std::string ansi = codePage == 932 ? std::string("\x83\x76\x83\x89\x83\x93\n")  // プラン
                                           : std::string("\x80\xE9\n");
  wchar_t decoded[16] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), decoded, 15);
  WriteBytes(path, ansi);
  auto file = OpenText(os, path);
  std::wstring piece;
  const bool read = file && file->ReadLine(piece, 1024);
  Check("text file decoded in ANSI code page " + std::to_string(codePage),
        read && piece == decoded, Show(piece) + L" vs " + Show(decoded));
}

void CheckProcesses(tav::Os& os, const std::wstring& work, const std::wstring& self) {
  const std::wstring folder = work + L"\\with blank";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring child = folder + L"\\child program.exe";
  const std::wstring marker = work + L"\\child.txt";
  DeleteFileW(marker.c_str());
  Check("copy of the check program for the child", CopyFileW(self.c_str(), child.c_str(), FALSE));

  std::wstring commandLine = L"\"" + child + L"\" --child \"" + marker + L"\"";
  const std::wstring original = commandLine;
  auto process = os.processes().StartHidden(L"", commandLine);
  Check("process with a quoted path with blanks starts", process != nullptr);
  if (process) process->Wait(std::nullopt);
  Check("process waited for until its end", ReadBytes(marker).rfind("hidden=", 0) == 0);
  Check("process started hidden", ReadBytes(marker).rfind("hidden=1\n", 0) == 0,
        tav::FromUtf8(ReadBytes(marker)));
  Check("caller's command line unchanged", commandLine == original);
  process.reset();

  for (const wchar_t* line : {L"", L"no_such_program_tav.exe /x", L"\"C:\\no where\\x.exe\""}) {
    Check("process " + ToUtf8(Show(line)) + " not started", os.processes().StartHidden(L"", line) == nullptr);
  }

  // A given application is started as it is; the command line's first token
  // only reaches the child as its text, whether it names nothing or another
  // program.
  const std::wstring decoy = folder + L"\\decoy.exe";
  CopyFileW(self.c_str(), decoy.c_str(), FALSE);
  for (const std::wstring& first : {std::wstring(L"no_such_program_tav.exe"), L"\"" + decoy + L"\""}) {
    DeleteFileW(marker.c_str());
    std::wstring line = first + L" --child \"" + marker + L"\"";
    const std::wstring lineBefore = line;
    auto started = os.processes().StartHidden(child, line);
    if (started) started->Wait(std::nullopt);
    const std::string seen = ReadBytes(marker);
    Check("application name runs that program, first token " + ToUtf8(first),
          started != nullptr && lstrcmpiW(ChildModule(seen).c_str(), child.c_str()) == 0 &&
              seen.rfind("hidden=1\n", 0) == 0,
          tav::FromUtf8(seen));
    Check("application name: command line unchanged, first token " + ToUtf8(first), line == lineBefore);
  }
  // A missing application file starts nothing, even when the command line
  // names a program that exists.
  for (const std::wstring& missingApp : {work + L"\\no where\\child.exe", work + L"\\none.exe"}) {
    DeleteFileW(marker.c_str());
    std::wstring line = L"\"" + child + L"\" --child \"" + marker + L"\"";
    auto started = os.processes().StartHidden(missingApp, line);
    if (started) started->Wait(std::nullopt);
    Check("missing application " + ToUtf8(Show(missingApp)) + " starts nothing",
          started == nullptr && GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES);
  }
}

void CheckMutex(tav::Os& os) {
  const std::wstring name = L"TAV_CHECK_MUTEX_" + std::to_wstring(GetCurrentProcessId());
  tav::MutexOpening first = os.system().CreateOwnedMutex(name);
  Check("mutex created, new", first.Mutex && !first.Existed);
  tav::MutexOpening second = os.system().CreateOwnedMutex(name);
  Check("mutex second handle reports it exists", second.Mutex && second.Existed);
  if (second.Mutex) second.Mutex->Release();  // not owned: nothing to release
  second = {};
  if (first.Mutex) first.Mutex->Release();
  first = {};
  const tav::MutexOpening third = os.system().CreateOwnedMutex(name);
  Check("mutex gone once every handle is closed", third.Mutex && !third.Existed);
}

void CheckFiles(tav::Os& os, const std::wstring& work, const std::wstring& self) {
  const std::wstring folder = work + L"\\folder";
  RemoveDirectoryW(folder.c_str());
  tav::OsFiles& files = os.files();
  Check("folder created", files.CreateFolder(folder));
  Check("folder creation fails when it exists", !files.CreateFolder(folder));
  Check("folder exists", files.Exists(folder));
  Check("folder kind", files.KindOf(folder) == tav::PathKind::kFolder);

  const std::wstring file = work + L"\\file.txt";
  WriteBytes(file, "x");
  Check("file exists", files.Exists(file));
  Check("file kind", files.KindOf(file) == tav::PathKind::kFile);
  DeleteFileW(file.c_str());
  Check("missing file kind", files.KindOf(file) == tav::PathKind::kNothing && !files.Exists(file));

  const std::wstring module = files.ProgramPath().value_or(L"");
  Check("module file name", lstrcmpiW(module.c_str(), self.c_str()) == 0, Show(module));
  const std::wstring system = os.processes().SystemFolder();
  wchar_t direct[MAX_PATH] = {};
  GetSystemDirectoryW(direct, MAX_PATH);
  Check("system folder named as GetSystemDirectoryW names it", !system.empty() && system == direct,
        Show(system) + L" vs " + Show(direct));
  Check("system folder exists and holds kernel32.dll",
        files.KindOf(system) == tav::PathKind::kFolder && files.Exists(system + L"\\kernel32.dll"),
        Show(system));
  const auto common = files.SpecialFolderPath(tav::SpecialFolder::kCommonAppData);
  const auto local = files.SpecialFolderPath(tav::SpecialFolder::kLocalAppData);
  Check("common application data folder", common && files.Exists(*common), Show(common.value_or(L"")));
  Check("local application data folder", local && files.Exists(*local) && local != common,
        Show(local.value_or(L"")));
}

void CheckUnicodeTextFile(tav::Os& os, const std::wstring& work) {
  const std::wstring path = work + L"\\unicode.ini";
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
  const tav::FilePin made = os.files().CreateUnicodeTextFile(path, tav::FinalPathCheck::kCompare);
  Check("Unicode text file created and pinned", made.File && made.Created);
  Check("Unicode text file holds exactly FF FE", ReadBytes(path) == "\xFF\xFE",
        std::to_wstring(ReadBytes(path).size()) + L" bytes");

  const std::wstring existing = work + L"\\ansi.ini";
  WriteBytes(existing, "[Current]\r\nProfileName=x\r\n");
  const tav::FilePin found = os.files().CreateUnicodeTextFile(existing, tav::FinalPathCheck::kCompare);
  Check("Unicode text file: an existing file is pinned as it is, not made",
        found.File && !found.Created && ReadBytes(existing) == "[Current]\r\nProfileName=x\r\n");
  Check("Unicode text file: a folder is pinned as PinFile pins it",
        os.files().CreateUnicodeTextFile(work, tav::FinalPathCheck::kCompare).Check == tav::FileCheck::kNotFile);
  Check("Unicode text file: nothing made in a missing folder",
        os.files().CreateUnicodeTextFile(work + L"\\no\\x.ini", tav::FinalPathCheck::kCompare).Check == tav::FileCheck::kMissing);

  // What the records rely on: the profile functions keep such a file UTF-16.
  const std::wstring name = L"省電力 プロファイル";
  os.profile().WriteString(L"Current", L"ProfileName", name, path);
  os.profile().Flush(path);
  const std::string bytes = ReadBytes(path);
  const std::wstring line = L"ProfileName=" + name;
  const std::string utf16(reinterpret_cast<const char*>(line.data()), line.size() * sizeof(wchar_t));
  Check("profile functions write UTF-16 LE into the new file",
        bytes.rfind("\xFF\xFE", 0) == 0 && bytes.find(utf16) != std::string::npos,
        std::to_wstring(bytes.size()) + L" bytes");
  Check("profile value read back from the new file",
        os.profile().ReadString(L"Current", L"ProfileName", L"", 1024, path) == name);
}

void CheckSystem(tav::Os& os) {
  const int64_t before = _time64(nullptr);
  tav::OsSystem& system = os.system();
  const int64_t now = system.Now();
  Check("current time", now >= before && now <= before + 5);
  __time64_t reading = now;
  const tm* expected = _localtime64(&reading);
  const std::optional<tav::TimeOfDay> local = system.LocalTimeOfDay(now);
  Check("local time fields",
        expected && local == tav::TimeOfDay{expected->tm_hour, expected->tm_min});
  Check("local time of a negative reading fails", !system.LocalTimeOfDay(-1));
  Check("year 2040 converts (64-bit time)", system.LocalTimeOfDay(2208988800LL).has_value());
  const std::chrono::milliseconds early = system.SteadyTime();
  Sleep(200);
  const auto advanced = system.SteadyTime() - early;
  Check("steady time advances", advanced.count() > 0, std::to_wstring(advanced.count()) + L" ms");

  Check("session of the process", system.SessionOf(system.ProcessId()) == system.ConsoleSession());
  Check("session of a missing process fails", !system.SessionOf(0xFFFFFFF0u));

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  const bool xp = version.dwMajorVersion == 5 && version.dwMinorVersion == 1;
  Check("version test matches the reported version", system.IsWindowsXp() == xp,
        std::to_wstring(version.dwMajorVersion) + L"." + std::to_wstring(version.dwMinorVersion));

  tav::Guid known;
  known.Data1 = 0xa1841308;
  known.Data2 = 0x3541;
  known.Data3 = 0x4fab;
  const uint8_t tail[8] = {0xbc, 0x81, 0xf7, 0x15, 0x56, 0xf2, 0x0b, 0x4a};
  for (int i = 0; i < 8; ++i) known.Data4[i] = tail[i];
  const std::optional<std::wstring> text = os.com().GuidText(known);
  Check("GUID text", text == L"{A1841308-3541-4FAB-BC81-F71556F20B4A}", Show(text.value_or(L"")));
  Check("COM initialised", os.com().Start());
  const std::optional<tav::Guid> a = os.com().NewGuid(), b = os.com().NewGuid();
  os.com().Stop();
  Check("GUIDs created, distinct", a && b && !(*a == *b) && !(*a == tav::Guid{}));
}

HWND CreateWindowOfClass(const wchar_t* className) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, className, L"check", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                         nullptr, windowClass.hInstance, nullptr);
}

void CheckWindow(tav::Os& os) {
  Check("no window of an unknown class",
        !os.system().PostToWindowOfClass(L"TAV_CHECK_NO_SUCH_CLASS", 0x83E8));
  HWND window = CreateWindowOfClass(L"TAV_CHECK_WINDOW_CLASS");
  Check("message posted to the hidden top-level window found by class",
        window && os.system().PostToWindowOfClass(L"TAV_CHECK_WINDOW_CLASS", 0x83E8));
  MSG message = {};
  const bool received = PeekMessageW(&message, window, 0x83E8, 0x83E8, PM_REMOVE);
  Check("message received with wParam 0, lParam 0",
        received && message.message == 0x83E8 && message.wParam == 0 && message.lParam == 0);
  if (window) DestroyWindow(window);
}

void CheckPowerLibrary(tav::Os& os) {
  // Wine's powrprof.dll has both functions; a real machine's too (Vista on).
  auto library = os.power().OpenLibrary();
  Check("power library loads", library != nullptr);
  if (library) {
    // Far past the last plan: nothing, whatever the system's list holds.
    Check("PowerEnumerate past the last plan gives nothing",
          !library->PlanAt(1000000).has_value());
  }
  if (library) {
    // The wrapper passes on what the system's function answers (Wine 8's own
    // answers ERROR_CALL_NOT_IMPLEMENTED).
    using Function = DWORD(WINAPI*)(HKEY, GUID**);
    HMODULE loaded = GetModuleHandleW(L"powrprof.dll");
    auto direct = reinterpret_cast<Function>(reinterpret_cast<void*>(
        loaded ? GetProcAddress(loaded, "PowerGetActiveScheme") : nullptr));
    using Status = tav::ActivePlanReading::Status;
    GUID* expected = nullptr;
    const DWORD expectedResult = direct ? direct(nullptr, &expected) : ERROR_CALL_NOT_IMPLEMENTED;
    const tav::ActivePlanReading reading = library->ActivePlan();
    Check("PowerGetActiveScheme found as the library exports it",
          direct || reading.Result == Status::kNotImplemented);
    const Status want = expectedResult == 0 ? Status::kRead
                        : expectedResult == ERROR_CALL_NOT_IMPLEMENTED ? Status::kNotImplemented
                                                                       : Status::kFailed;
    Check("PowerGetActiveScheme answers as the system's function",
          reading.Result == want && (want != Status::kFailed || reading.Error == expectedResult) &&
              (want != Status::kRead || (expected && reading.Plan == tav::win32::FromSystemGuid(*expected))),
          std::to_wstring(static_cast<int>(reading.Result)) + L" " + std::to_wstring(reading.Error) +
              L" vs " + std::to_wstring(expectedResult));
    if (expected) LocalFree(expected);
  }
  // Names are copied whole from the system's C strings: none holds a NUL.
  const std::optional<std::vector<std::wstring>> schemes = os.power().SchemeNames();
  bool wholeNames = true;
  if (schemes) {
    for (const std::wstring& name : *schemes)
      if (name.find(L'\0') != std::wstring::npos) wholeNames = false;
  }
  Check("EnumPwrSchemes lists whole names", wholeNames,
        std::to_wstring(schemes.has_value()) + L" " +
            std::to_wstring(schemes ? schemes->size() : 0));
}

// PowerGetActiveScheme through the layer against the stand-in, whose answer
// is set by rewriting its plan store.
int RunPowerStandinChecks() {
  std::unique_ptr<tav::Os> os = tav::MakeWin32Os();
  auto library = os->power().OpenLibrary();
  HMODULE loaded = GetModuleHandleW(L"powrprof.dll");
  Check("stand-in powrprof.dll loaded",
        library && loaded && GetProcAddress(loaded, "StandinPowrprofMarker"));
  if (!library || !loaded || !GetProcAddress(loaded, "StandinPowrprofMarker")) {
    std::printf("checks done\n");
    return 1;
  }
  Check("stand-in: PowerGetActiveScheme found",
        library->ActivePlan().Result != tav::ActivePlanReading::Status::kNotImplemented);
  const std::wstring dir = tav::FromUtf8(tav::standin::StateDir());
  const std::wstring store = dir + L"\\plan-store.txt", log = dir + L"\\powrprof.log";
  DeleteFileW(log.c_str());
  struct Case {
    const char* active;    // the store's active plan
    const wchar_t* shown;  // what the layer must report ("" an error)
  };
  const Case cases[] = {
      {"8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c", L"{8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C}"},
      {"{0123ABCD-89AB-CDEF-0123-456789ABCDEF}", L"{0123ABCD-89AB-CDEF-0123-456789ABCDEF}"},
      {"", L""},
  };
  for (const Case& c : cases) {
    WriteBytes(store, std::string("active-plan = ") + c.active +
                          "\n\n[plan]\nguid = 8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c\nname = x\n");
    const tav::ActivePlanReading reading = library->ActivePlan();
    const bool read = reading.Result == tav::ActivePlanReading::Status::kRead;
    const std::wstring text = read ? os->com().GuidText(reading.Plan).value_or(L"") : L"";
    const std::wstring want = c.shown;
    Check(std::string("stand-in: active plan \"") + c.active + "\"",
          want.empty() ? !read : read && text == want,
          std::to_wstring(reading.Error) + L" " + Show(text));
  }
  const std::string logText = ReadBytes(log);
  size_t calls = 0;
  for (size_t at = logText.find("PowerGetActiveScheme -> "); at != std::string::npos;
       at = logText.find("PowerGetActiveScheme -> ", at + 1))
    ++calls;
  Check("stand-in: one call of the function per question", calls == 3,
        std::to_wstring(calls) + L" calls logged");
  std::printf("checks done\n");
  return failures ? 1 : 0;
}

}  // namespace

// Child modes for the checks of children: one reads its standard input to
// the end and reports what it saw; one probes a handle value of its parent;
// one never ends.
int RunStdinChild(const wchar_t* marker) {
  char buffer[256];
  DWORD read = 0;
  DWORD total = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) total += read;
  WriteBytes(marker, "eof after " + std::to_string(total) + " bytes\n");
  return 0;
}

int RunProbeChild(const wchar_t* value, const wchar_t* marker) {
  const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(_wtoi64(value)));
  DWORD flags = 0;
  WriteBytes(marker, GetHandleInformation(handle, &flags) ? "inherited\n" : "not inherited\n");
  return 0;
}

void StartForeverChild(const wchar_t* marker) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(self) + L"\" --forever";
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  PROCESS_INFORMATION info = {};
  if (CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    WriteBytes(marker, std::to_string(info.dwProcessId) + "\n");
  UniqueHandle process(info.hProcess), thread(info.hThread);
}

void CheckChildren(tav::Os& os, const std::wstring& work, const std::wstring& self) {
  const std::wstring marker = work + L"\\stdin.txt";
  DeleteFileW(marker.c_str());
  std::wstring line = L"\"" + self + L"\" --stdin \"" + marker + L"\"";
  auto child = os.processes().StartHidden(L"", line);
  Check("child asking a question reads end-of-file and ends",
        child && child->Wait(std::chrono::seconds(20)) &&
            ReadBytes(marker) == "eof after 0 bytes\n",
        tav::FromUtf8(ReadBytes(marker)));

  // An inheritable handle of the tool's own does not reach the child.
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const HANDLE event = CreateEventW(&inheritable, TRUE, FALSE, nullptr);
  const std::wstring probe = work + L"\\probe.txt";
  DeleteFileW(probe.c_str());
  line = L"\"" + self + L"\" --probe " +
         std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(event))) +
         L" \"" + probe + L"\"";
  child = os.processes().StartHidden(L"", line);
  if (child) child->Wait(std::chrono::seconds(20));
  if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "UpdateProcThreadAttribute")) {
    Check("child inherits no other handle of the tool", ReadBytes(probe) == "not inherited\n",
          tav::FromUtf8(ReadBytes(probe)));
  } else {
    Skip("child inherits no other handle of the tool", "no handle lists before Vista");
  }
  CloseHandle(event);

  // A child that never ends, and the child it started, are ended after an injected limit.
  const std::wstring family = work + L"\\grandchild.txt";
  DeleteFileW(family.c_str());
  line = L"\"" + self + L"\" --forever \"" + family + L"\"";
  child = os.processes().StartHidden(L"", line);
  std::string pid;
  for (int i = 0; i < 200 && (pid = ReadBytes(family)).find('\n') == std::string::npos; ++i) Sleep(50);
  UniqueHandle grandchild(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, std::atoi(pid.c_str())));
  const DWORD start = GetTickCount();
  const bool ended = child && child->Wait(std::chrono::milliseconds(300));
  if (child) child->Terminate();
  Check("child that never ends is still running at the limit, then ended",
        child && !ended && child->ExitCode() == 1u && GetTickCount() - start < 20000);
  const bool gone = grandchild && WaitForSingleObject(grandchild.get(), 5000) == WAIT_OBJECT_0;
  Check("the child's own child is ended with it", gone, tav::FromUtf8(pid));
  if (grandchild && !gone) TerminateProcess(grandchild.get(), 1);  // it would hold the output open
}

// Pins through the Win32 layer: what each kind of path gives, and what a
// held file allows others (reading and writing, not renaming or deleting).
void CheckPins(tav::Os& os, const std::wstring& work) {
  const std::wstring folder = work + L"\\pins";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring file = folder + L"\\Setting.ini";
  const std::wstring hard = folder + L"\\hard.ini";
  DeleteFileW(hard.c_str());
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  WriteBytes(file, "[GENERAL]\r\nName=Quiet\r\n");
  using tav::FileCheck;
  using tav::FinalPathCheck;
  constexpr tav::PinSharing kShared = tav::PinSharing::kReadWrite;
  Check("pin: plain file passes", os.files().PinFile(file, FinalPathCheck::kCompare, kShared).Check == FileCheck::kPassed);
  const FileCheck spelled = os.files().PinFile(folder + L"\\.\\SETTING.INI", FinalPathCheck::kCompare, kShared).Check;
  Check("pin: path spelled with . and another case passes", spelled == FileCheck::kPassed,
        tav::DescribeFileCheck(spelled));
  Check("pin: missing file", os.files().PinFile(folder + L"\\none.ini", FinalPathCheck::kCompare, kShared).Check ==
                                 FileCheck::kMissing);
  Check("pin: folder is not a file", os.files().PinFile(folder, FinalPathCheck::kCompare, kShared).Check == FileCheck::kNotFile);
  Check("pin: folder passes as a folder", os.files().PinFolder(folder, FinalPathCheck::kCompare).Check == FileCheck::kPassed);
  Check("pin: file is not a folder", os.files().PinFolder(file, FinalPathCheck::kCompare).Check == FileCheck::kNotFolder);
  // Windows says "not a disk file"; Wine may refuse to open the device so.
  const tav::FilePin device = os.files().PinFile(L"\\\\.\\NUL", FinalPathCheck::kSkip, kShared);
  Check("pin: device is refused",
        !device.File && (device.Check == FileCheck::kNotFile || device.Check == FileCheck::kUnopenable),
        tav::DescribeFileCheck(device.Check));
  if (CreateHardLinkW(hard.c_str(), file.c_str(), nullptr)) {
    Check("pin: hard-linked file", os.files().PinFile(file, FinalPathCheck::kSkip, kShared).Check == FileCheck::kHardLinked);
    DeleteFileW(hard.c_str());
  } else {
    Skip("pin: hard-linked file", "no hard links here");
  }

  tav::FilePin pin = os.files().PinFile(file, FinalPathCheck::kCompare, kShared);
  const std::wstring moved = folder + L"\\moved.ini";
  Check("pin: held file cannot be renamed", !MoveFileW(file.c_str(), moved.c_str()));
  Check("pin: held file cannot be deleted by name", !DeleteFileW(file.c_str()));
  Check("pin: profile functions still write the held file",
        os.profile().WriteString(L"Current", L"GUID", L"g", file) &&
            os.profile().ReadString(L"Current", L"GUID", L"", 64, file) == L"g");
  os.profile().Flush(file);
  {
    auto text = pin.File ? pin.File->OpenTextFileForReading() : nullptr;
    std::wstring piece;
    Check("pin: held file read as text", text && text->ReadLine(piece, 100) && piece == L"[GENERAL]\n");
  }
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  if (pin.File) pin.File->ClearReadOnlyAttribute();
  const DWORD cleared = GetFileAttributesW(file.c_str());
  Check("pin: read-only cleared through the handle, nothing else",
        cleared != INVALID_FILE_ATTRIBUTES && !(cleared & FILE_ATTRIBUTE_READONLY) &&
            (cleared & FILE_ATTRIBUTE_HIDDEN),
        std::to_wstring(cleared));
  Check("pin: deleted through the handle", pin.File && pin.File->Delete() &&
                                               GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES);

  WriteBytes(file, "x");
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  pin = os.files().PinFile(file, FinalPathCheck::kCompare, kShared);
  Check("pin: read-only file is not deleted", pin.File && !pin.File->Delete() &&
                                                  GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  // Writers get in while a file is held only where its pin shares writing; a
  // file someone is writing cannot be pinned read-only.
  for (const auto sharing : {kShared, tav::PinSharing::kReadOnly}) {
    pin = os.files().PinFile(file, FinalPathCheck::kCompare, sharing);
    const UniqueHandle writer(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    Check(std::string("pin: writers let in while held: ") + (sharing == kShared ? "yes" : "no"), pin.File && static_cast<bool>(writer) == (sharing == kShared));
    pin = {};
    if (writer) Check("pin: a file open for writing elsewhere is not pinned read-only", os.files().PinFile(file, FinalPathCheck::kCompare, tav::PinSharing::kReadOnly).Check == FileCheck::kUnopenable);
  }
  // A read-only file named by its 8.3 short path is the file its long path names.
  const std::wstring longFile = folder + L"\\folder with a long name\\a long task name.xml";
  CreateDirectoryW((folder + L"\\folder with a long name").c_str(), nullptr);
  WriteBytes(longFile, "<Task/>");
  SetFileAttributesW(longFile.c_str(), FILE_ATTRIBUTE_READONLY);
  wchar_t shortName[MAX_PATH] = {};
  GetShortPathNameW(longFile.c_str(), shortName, MAX_PATH);
  pin = os.files().PinFile(shortName, FinalPathCheck::kCompare, tav::PinSharing::kReadOnly);
  Check("pin: short path passes, its final path is the long path", pin.File && pin.File->FinalPath() == longFile, Show(shortName));
  if (pin.File) pin.File->ClearReadOnlyAttribute();
  Check("pin: short path: read-only cleared, then deleted",
        pin.File && pin.File->Delete() && GetFileAttributesW(longFile.c_str()) == INVALID_FILE_ATTRIBUTES);

  tav::FolderPin held = os.files().PinFolder(folder, FinalPathCheck::kCompare);
  Check("pin: held folder cannot be renamed",
        held.Folder && !MoveFileW(folder.c_str(), (work + L"\\pins-moved").c_str()));
  Check("pin: final path of a held folder", held.Folder && held.Folder->FinalPath() == folder);
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--child") return RunChild(argv[2]);
  if (argc == 3 && std::wstring(argv[1]) == L"--stdin") return RunStdinChild(argv[2]);
  if (argc == 4 && std::wstring(argv[1]) == L"--probe") return RunProbeChild(argv[2], argv[3]);
  if ((argc == 2 || argc == 3) && std::wstring(argv[1]) == L"--forever") {
    if (argc == 3) StartForeverChild(argv[2]);
    Sleep(INFINITE);
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"--power-standin") return RunPowerStandinChecks();
  if (argc != 2) {
    std::fprintf(stderr, "usage: win32_os_check WORKFOLDER\n");
    return 2;
  }
  const std::wstring work = std::wstring(argv[1]) + L"\\work";
  CreateDirectoryW(argv[1], nullptr);
  CreateDirectoryW(work.c_str(), nullptr);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);

  std::unique_ptr<tav::Os> os = tav::MakeWin32Os();
  os->system().SelectUserLocale();
  CheckPaths();
  CheckProfile(*os, work);
  CheckTextFile(*os, work);
  CheckProcesses(*os, work, self);
  CheckChildren(*os, work, self);
  CheckPins(*os, work);
  CheckMutex(*os);
  CheckFiles(*os, work, self);
  CheckUnicodeTextFile(*os, work);
  CheckSystem(*os);
  CheckWindow(*os);
  CheckPowerLibrary(*os);
  std::printf("checks done\n");
  return failures ? 1 : 0;
}
