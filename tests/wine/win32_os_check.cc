// Checks of Win32Os against the real system calls, run under Wine by
// tests/wine/smoke.sh (the unit tests cannot reach this layer natively).
// Prints "ok <name>" or "FAIL <name>: <detail>" per check, then
// "checks done"; exits 1 when a check failed.
//
// Usage: win32_os_check WORKFOLDER     (a Windows path, created if missing)
//        win32_os_check --child MARKER (used by the process checks)
#include <windows.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "os/path_strings.h"
#include "os/win32/win32_os.h"
#include "standins/standin_common.h"

namespace {

using tav::standin::ToUtf8;

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

// The child of the process checks: records how it was started.
int RunChild(const wchar_t* marker) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const bool hidden = (startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_HIDE;
  Sleep(300);  // the parent must really wait for this
  WriteBytes(marker, std::string("hidden=") + (hidden ? "1" : "0") + "\n");
  return 7;
}

// shlwapi against the emulation that the other Os implementations use.
void CheckPaths(tav::Os& os) {
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
    const std::wstring system = os.PathCombine(join.folder, join.file);
    const std::wstring emulated = tav::PathStringCombine(join.folder, join.file);
    Check("PathCombine " + ToUtf8(join.folder.substr(0, 24)) + " + " + ToUtf8(join.file),
          system == emulated, L"shlwapi " + Show(system) + L", emulation " + Show(emulated));

    std::wstring appended = join.folder, emulatedAppend = join.folder;
    const bool ok = os.PathAppend(appended, join.file);
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
    const bool removed = os.PathRemoveFileSpec(system);
    const bool emulatedRemoved = tav::PathStringRemoveFileSpec(emulated);
    Check("PathRemoveFileSpec " + ToUtf8(path), removed == emulatedRemoved && system == emulated,
          L"shlwapi " + Show(system) + L", emulation " + Show(emulated));
  }
}

void CheckProfile(tav::Os& os, const std::wstring& work) {
  const std::wstring ini = work + L"\\profile.ini";
  DeleteFileW(ini.c_str());
  Check("profile write", os.WritePrivateProfileString(L"GENERAL", L"Name", L"Quiet", ini));
  os.WritePrivateProfileString(L"GENERAL", L"Minutes", L"-5", ini);
  os.FlushPrivateProfile(ini);
  Check("profile read", os.GetPrivateProfileString(L"GENERAL", L"Name", L"", 1024, ini) == L"Quiet");
  Check("profile read cut to the buffer",
        os.GetPrivateProfileString(L"GENERAL", L"Name", L"", 4, ini) == L"Qui",
        os.GetPrivateProfileString(L"GENERAL", L"Name", L"", 4, ini));
  Check("profile default for a missing key",
        os.GetPrivateProfileString(L"GENERAL", L"None", L"dflt", 1024, ini) == L"dflt");
  Check("profile section name ignores case",
        os.GetPrivateProfileString(L"general", L"NAME", L"", 1024, ini) == L"Quiet");
  Check("profile int read as signed", os.GetPrivateProfileInt(L"GENERAL", L"Minutes", 3, ini) == -5);
  Check("profile int default", os.GetPrivateProfileInt(L"GENERAL", L"None", 3, ini) == 3);
  Check("profile missing file gives default",
        os.GetPrivateProfileString(L"A", L"B", L"d", 1024, work + L"\\none.ini") == L"d");
  const std::string bytes = ReadBytes(ini);
  Check("profile written to disk after flush", bytes.find("Name=Quiet") != std::string::npos);
}

void CheckTextFile(tav::Os& os, const std::wstring& work) {
  const std::wstring path = work + L"\\list.txt";
  WriteBytes(path, "a\r\nbb\r\n\r\nlast");
  std::vector<std::wstring> pieces;
  {
    auto file = os.OpenTextFileForReading(path);
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
    auto file = os.OpenTextFileForReading(path);
    std::wstring a, b, c;
    const bool first = file && file->ReadLine(a, 4);
    const bool second = file && file->ReadLine(b, 4);
    const bool third = file && file->ReadLine(c, 4);
    Check("text file reads bufferChars - 1 characters a piece",
          first && second && !third && a == L"abc" && b == L"de\n", Show(a) + L" " + Show(b));
  }
  Check("text file missing", os.OpenTextFileForReading(work + L"\\none.txt") == nullptr);

  // The runtime decodes in the ANSI code page of the selected locale.
  const UINT codePage = GetACP();
  const std::string ansi = codePage == 932 ? std::string("\x83\x76\x83\x89\x83\x93\n")  // プラン
                                           : std::string("\x80\xE9\n");
  wchar_t decoded[16] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), decoded, 15);
  WriteBytes(path, ansi);
  auto file = os.OpenTextFileForReading(path);
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
  auto process = os.CreateHiddenProcess(nullptr, commandLine);
  Check("process with a quoted path with blanks starts", process != nullptr);
  if (process) process->WaitForExit();
  Check("process waited for until its end", ReadBytes(marker).rfind("hidden=", 0) == 0);
  Check("process started hidden", ReadBytes(marker) == "hidden=1\n", L"");
  Check("caller's command line unchanged", commandLine == original);
  process.reset();

  for (const wchar_t* line : {L"", L"no_such_program_tav.exe /x", L"\"C:\\no where\\x.exe\""}) {
    std::wstring missing = line;
    Check("process " + ToUtf8(Show(line)) + " not started", os.CreateHiddenProcess(nullptr, missing) == nullptr);
  }
}

void CheckMutex(tav::Os& os) {
  const std::wstring name = L"TAV_CHECK_MUTEX_" + std::to_wstring(GetCurrentProcessId());
  bool exists = true;
  auto first = os.CreateMutex(name, true, exists);
  Check("mutex created, new", first != nullptr && !exists);
  auto second = os.CreateMutex(name, true, exists);
  Check("mutex second handle reports it exists", second != nullptr && exists);
  if (second) second->Release();  // not owned: nothing to release
  second.reset();
  if (first) first->Release();
  first.reset();
  auto third = os.CreateMutex(name, true, exists);
  Check("mutex gone once every handle is closed", third != nullptr && !exists);
}

void CheckFiles(tav::Os& os, const std::wstring& work, const std::wstring& self) {
  const std::wstring folder = work + L"\\folder";
  RemoveDirectoryW(folder.c_str());
  Check("folder created", os.CreateDirectory(folder));
  Check("folder creation fails when it exists", !os.CreateDirectory(folder));
  Check("folder exists", os.PathFileExists(folder));
  Check("folder attribute", (os.GetFileAttributes(folder) & tav::kFileAttributeDirectory) != 0);

  const std::wstring file = work + L"\\file.txt";
  WriteBytes(file, "x");
  Check("file exists", os.PathFileExists(file));
  const uint32_t attributes = os.GetFileAttributes(file);
  Check("file attributes readable", attributes != tav::kInvalidFileAttributes &&
                                        !(attributes & tav::kFileAttributeReadOnly));
  Check("read-only set", os.SetFileAttributes(file, attributes | tav::kFileAttributeReadOnly) &&
                             (os.GetFileAttributes(file) & tav::kFileAttributeReadOnly));
  Check("read-only file not deleted", !os.DeleteFile(file) && os.PathFileExists(file));
  os.SetFileAttributes(file, attributes);
  Check("file deleted", os.DeleteFile(file) && !os.PathFileExists(file));
  Check("missing file attributes", os.GetFileAttributes(file) == tav::kInvalidFileAttributes);
  Check("missing file not deleted", !os.DeleteFile(file));

  std::wstring module;
  const uint32_t moduleLength = os.GetModuleFileName(module);
  Check("module file name length", moduleLength == module.size());
  Check("module file name", module.size() > self.size() - 1 &&
                                lstrcmpiW(module.c_str(), self.c_str()) == 0,
        Show(module));
  std::wstring common, local;
  Check("common application data folder",
        os.GetSpecialFolderPath(tav::SpecialFolder::CommonAppData, false, common) &&
            os.PathFileExists(common), Show(common));
  Check("local application data folder",
        os.GetSpecialFolderPath(tav::SpecialFolder::LocalAppData, false, local) &&
            os.PathFileExists(local) && local != common, Show(local));
}

void CheckSystem(tav::Os& os) {
  const int64_t before = _time64(nullptr);
  const int64_t now = os.CurrentTime();
  Check("current time", now >= before && now <= before + 5);
  tav::LocalTimeFields fields;
  __time64_t reading = now;
  const tm* expected = _localtime64(&reading);
  Check("local time fields", os.ToLocalTime(now, fields) && expected &&
                                 fields.hour == expected->tm_hour && fields.minute == expected->tm_min);
  Check("local time of a negative reading fails", !os.ToLocalTime(-1, fields));
  Check("year 2040 converts (64-bit time)", os.ToLocalTime(2208988800LL, fields));

  uint32_t session = 0xFFFF;
  Check("session of the process",
        os.ProcessIdToSessionId(os.GetCurrentProcessId(), session) &&
            session == os.GetActiveConsoleSessionId());
  Check("session of a missing process fails", !os.ProcessIdToSessionId(0xFFFFFFF0u, session));

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  const uint32_t major = version.dwMajorVersion, minor = version.dwMinorVersion;
  Check("version test matches the reported version", os.VerifyVersionEquals(major, minor));
  Check("version test rejects another minor version", !os.VerifyVersionEquals(major, minor + 1));
  Check("version test rejects another major version", !os.VerifyVersionEquals(major + 1, minor));

  tav::Guid known;
  known.data1 = 0xa1841308;
  known.data2 = 0x3541;
  known.data3 = 0x4fab;
  const uint8_t tail[8] = {0xbc, 0x81, 0xf7, 0x15, 0x56, 0xf2, 0x0b, 0x4a};
  for (int i = 0; i < 8; ++i) known.data4[i] = tail[i];
  std::wstring text;
  Check("GUID text", os.StringFromClsid(known, text) &&
                         text == L"{A1841308-3541-4FAB-BC81-F71556F20B4A}", Show(text));
  Check("COM initialised", os.CoInitialize());
  tav::Guid a, b;
  const bool created = os.CoCreateGuid(a) && os.CoCreateGuid(b);
  os.CoUninitialize();
  Check("GUIDs created, distinct", created && !(a == b) && !(a == tav::Guid{}));
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
  Check("no window of an unknown class", os.FindWindowByClass(L"TAV_CHECK_NO_SUCH_CLASS") == 0);
  HWND window = CreateWindowOfClass(L"TAV_CHECK_WINDOW_CLASS");
  Check("hidden top-level window found by class",
        window && os.FindWindowByClass(L"TAV_CHECK_WINDOW_CLASS") == reinterpret_cast<uintptr_t>(window));
  Check("message posted", os.PostMessage(reinterpret_cast<uintptr_t>(window), 0x83E8, 0, 0));
  MSG message = {};
  const bool received = PeekMessageW(&message, window, 0x83E8, 0x83E8, PM_REMOVE);
  Check("message received with wParam 0, lParam 0",
        received && message.message == 0x83E8 && message.wParam == 0 && message.lParam == 0);
  if (window) DestroyWindow(window);
}

void CheckPowerLibrary(tav::Os& os) {
  // Wine's powrprof.dll has both functions; a real machine's too (Vista on).
  auto library = os.LoadPowerLibrary();
  Check("power library loads", library != nullptr);
  if (library) {
    tav::Guid guid;
    uint32_t size = 1024;  // more than the one GUID that the buffer holds
    const uint32_t result = library->PowerEnumerate(0, guid, size);
    Check("PowerEnumerate never reports more room than one GUID", size <= 16,
          std::to_wstring(result) + L" size " + std::to_wstring(size));
  }
  struct Seen {
    int count = 0;
  } seen;
  const bool ran = os.EnumPwrSchemes(
      [](const std::wstring&, void* context) {
        ++static_cast<Seen*>(context)->count;
        return false;  // stop at once
      },
      &seen);
  Check("EnumPwrSchemes stops when the callback asks", seen.count <= 1,
        std::to_wstring(ran) + L" " + std::to_wstring(seen.count));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--child") return RunChild(argv[2]);
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
  os->SelectUserDefaultLocale();
  CheckPaths(*os);
  CheckProfile(*os, work);
  CheckTextFile(*os, work);
  CheckProcesses(*os, work, self);
  CheckMutex(*os);
  CheckFiles(*os, work, self);
  CheckSystem(*os);
  CheckWindow(*os);
  CheckPowerLibrary(*os);
  std::printf("checks done\n");
  return failures ? 1 : 0;
}
