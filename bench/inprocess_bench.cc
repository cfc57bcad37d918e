// In-process costs of the tool's parsers: the command line, the power
// settings file and the task registration list. Nothing here starts a child
// program.
//
// Files live in a private temporary folder that is removed at the end.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/launch_options.h"
#include "no_child_os.h"
#include "os/posix/posix_os.h"
#include "os/posix/profile_file.h"
#include "os/utf8.h"
#include "schedule/task_registration_list.h"
#include "settings/power_settings.h"
#include "standins/plan_store/plan_store.h"
#include "testing/fake_os.h"

namespace fs = std::filesystem;

namespace tav::bench {
namespace {

// --- Files ---------------------------------------------------------------------

std::string& TempRoot() {
  static std::string root = [] {
    std::string pattern = (fs::temp_directory_path() / "tav-bench-inproc.XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  return root;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) std::abort();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Paths as the POSIX layer maps them: '\' in the core's form is '/' natively.
std::wstring WinPath(const std::string& native) {
  std::wstring path = FromUtf8(native);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::string NativePath(const std::wstring& path) {
  std::string native = ToUtf8(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

// The POSIX layer's existence test: one stat.
bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::unique_ptr<Os> NewPosixOs() {
  PosixConfig config;
  config.CommonAppData = TempRoot() + "/common";
  config.LocalAppData = TempRoot() + "/local";
  config.RuntimeDir = TempRoot();
  config.StandinDir = TempRoot();
  config.SystemDir = TempRoot() + "/system";
  return MakePosixOs(config);
}

// The sample profile as shipped.
const std::string& SampleProfile() {
  static std::string path = [] {
    std::string p = TempRoot() + "/Setting.ini";
    WriteFile(p, ReadFile(std::string(TAV_SOURCE_DIR) + "/examples/Setting.ini"));
    return p;
  }();
  return path;
}

// The sample profile behind 1 MiB of other keys, so that every look-up has
// the whole file to pass.
const std::string& LargeProfile() {
  static std::string path = [] {
    std::string text = "[EXTRA]\r\n";
    char line[64];
    for (int i = 0; text.size() < (1u << 20) - 1024; ++i) {
      std::snprintf(line, sizeof line, "ExtraKey%06d=value of extra key %06d\r\n", i, i);
      text += line;
    }
    text += ReadFile(SampleProfile());
    std::string p = TempRoot() + "/Large.ini";
    WriteFile(p, text);
    return p;
  }();
  return path;
}

constexpr size_t kListBytes = 10u << 20;

// 10 MiB of task entries whose XML files do not exist: every line is read,
// split and checked, and nothing is started.
const std::string& TaskListText() {
  static std::string text = [] {
    std::string t;
    char line[160];
    for (int i = 0; t.size() < kListBytes - 160; ++i) {
      std::snprintf(line, sizeof line,
                    "/TN:\"TAV_Task_%07d\" /XML:\"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE\\Tasks"
                    "\\TAV_Task_%07d.xml\"\r\n",
                    i, i);
      t += line;
    }
    return t;
  }();
  return text;
}

const std::string& TaskListMaster() {
  static std::string path = [] {
    std::string p = TempRoot() + "/tasks-master.txt";
    WriteFile(p, TaskListText());
    return p;
  }();
  return path;
}

// --- An Os whose profile functions are the POSIX profile store, to count how
// often a load reads the file. -------------------------------------------------

class ProfileStoreOs : public testing::FakeOs {
 public:
  posix::ProfileStore store;

  bool Exists(const std::wstring& path) override {
    return FileExists(NativePath(path));
  }
  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue, size_t bufferChars,
                          const std::wstring& path) override {
    return store.GetString(NativePath(path), section, key, defaultValue, bufferChars);
  }
  int32_t ReadInt(const std::wstring& section, const std::wstring& key, int32_t defaultValue,
                  const std::wstring& path) override {
    return store.GetInt(NativePath(path), section, key, defaultValue);
  }
};

double ParsesPerLoad(const std::string& profile) {
  ProfileStoreOs os;
  const std::wstring path = WinPath(profile);
  PowerSettings settings;
  if (!LoadPowerSettings(os, path, settings)) std::abort();
  return static_cast<double>(os.store.ParseCount());
}

// --- Command line ---------------------------------------------------------------

void BenchReadLaunchOptions(benchmark::State& state, const std::wstring& commandLine,
                            const std::wstring& settingsPath) {
  testing::FakeOs os;
  os.AddFile(settingsPath);
  for (auto _ : state) {
    LaunchOptions options;
    bool valid = ReadLaunchOptions(os, commandLine, options);
    benchmark::DoNotOptimize(valid);
    benchmark::DoNotOptimize(options);
    if (!valid) state.SkipWithError("command line not accepted");
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(commandLine.size()));
  state.counters["chars"] = static_cast<double>(commandLine.size());
}

const std::wstring kSettings = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE\\Setting.ini";
const std::wstring kList = L"C:\\ProgramData\\VARENTO\\TAV_POWERSAVE\\TaskList.txt";

void BM_ReadLaunchOptions_Typical(benchmark::State& state) {
  BenchReadLaunchOptions(state, L"/N:\"" + kSettings + L"\" /F:\"" + kList + L"\" /S:2230 /T:0700",
                         kSettings);
}

// 64 KiB of options: times and flags repeated, the settings path last.
void BM_ReadLaunchOptions_64KiB_Options(benchmark::State& state) {
  std::wstring line;
  while (line.size() < 64 * 1024 - 128) line += L"/S:2230 /H:0100 /T:0700 /I ";
  line += L"/N:\"" + kSettings + L"\"";
  BenchReadLaunchOptions(state, line, kSettings);
}

// One 64 KiB path value.
void BM_ReadLaunchOptions_64KiB_Path(benchmark::State& state) {
  std::wstring path = L"C:\\";
  while (path.size() < 64 * 1024 - 32) path += L"VeryLongFolderName\\";
  path += L"Setting.ini";
  BenchReadLaunchOptions(state, L"/N:\"" + path + L"\" /S:2230", path);
}

// --- Power settings file ----------------------------------------------------------

// A fresh PosixOs per load, as each run of the tool has: its profile cache
// starts empty.
void BenchLoadPowerSettings(benchmark::State& state, const std::string& profile) {
  const std::wstring path = WinPath(profile);
  for (auto _ : state) {
    std::unique_ptr<Os> os = NewPosixOs();
    PowerSettings settings;
    bool ok = LoadPowerSettings(*os, path, settings);
    benchmark::DoNotOptimize(settings);
    if (!ok) state.SkipWithError("profile not loaded");
  }
  const auto bytes = static_cast<int64_t>(fs::file_size(profile));
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.counters["parses_per_load"] = ParsesPerLoad(profile);
}

void BM_LoadPowerSettings_Sample(benchmark::State& state) {
  BenchLoadPowerSettings(state, SampleProfile());
}
void BM_LoadPowerSettings_1MiB(benchmark::State& state) {
  BenchLoadPowerSettings(state, LargeProfile());
}

// --- Task registration list -------------------------------------------------------

// The whole reader on the POSIX layer: file reading, decoding, splitting and
// one existence check per entry. The list is deleted by each pass, so a copy
// of a master is made before each one, outside the timing (not a hard link:
// the reader refuses a list file with more than one link).
void BM_TaskList_PosixOs_10MiB(benchmark::State& state) {
  const std::string master = TaskListMaster();
  const std::string list = TempRoot() + "/tasks.txt";
  const std::wstring listPath = WinPath(list);
  std::unique_ptr<Os> os = NewPosixOs();
  os->system().SelectUserLocale();
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code error;
    fs::copy_file(master, list, fs::copy_options::overwrite_existing, error);
    if (error) state.SkipWithError("cannot copy the list");
    state.ResumeTiming();
    if (!ProcessTaskRegistrationList(*os, listPath)) state.SkipWithError("list not read");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(TaskListText().size()));
}

// What bounds the reader: the file check that every entry requires of it
// (does its XML file exist?), one stat of each entry's native path, and
// nothing else. The reader cannot be faster than this.
void BM_TaskList_LineChecksOnly_10MiB(benchmark::State& state) {
  std::vector<std::string> paths;
  const std::string& text = TaskListText();
  for (size_t at = text.find("/XML:\""); at != std::string::npos;
       at = text.find("/XML:\"", at + 1)) {
    const size_t start = at + 6;
    paths.push_back(NativePath(
        FromUtf8(std::string_view(text).substr(start, text.find('"', start) - start))));
  }
  for (auto _ : state) {
    size_t found = 0;
    for (const std::string& path : paths) found += FileExists(path);
    if (found != 0) state.SkipWithError("an XML file exists");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["entries"] = static_cast<double>(paths.size());
}

// The core alone, on the in-memory FakeOs: splitting and checking, no I/O.
void BM_TaskList_FakeOs_10MiB(benchmark::State& state) {
  const std::wstring listPath = L"C:\\Lists\\tasks.txt";
  const std::wstring text = FromUtf8(TaskListText());
  testing::FakeOs os;
  os.debugOutputOn = false;  // as natively without the trace
  for (auto _ : state) {
    state.PauseTiming();
    os.AddFile(listPath, text);
    os.events.clear();
    state.ResumeTiming();
    if (!ProcessTaskRegistrationList(os, listPath)) state.SkipWithError("list not read");
    if (!os.commandLines.empty()) state.SkipWithError("a child was started");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(TaskListText().size()));
}

// The POSIX text reader alone: the list's lines as the reader gets them.
void BM_TextFileReadLine_10MiB(benchmark::State& state) {
  const std::wstring path = WinPath(TaskListMaster());
  std::unique_ptr<Os> os = NewPosixOs();
  os->system().SelectUserLocale();
  // Pinned once, outside the timing, as the tool holds the list it reads.
  const FilePin pin = os->files().PinFile(path, FinalPathCheck::kSkip, PinSharing::kReadOnly);
  if (!pin.File) state.SkipWithError("cannot pin the list");
  for (auto _ : state) {
    std::unique_ptr<OsTextFile> file = pin.File ? pin.File->OpenTextFileForReading() : nullptr;
    if (!file) state.SkipWithError("cannot open the list");
    std::wstring piece;
    size_t lines = 0;
    while (file->ReadLine(piece, kListLineBufferChars)) ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(TaskListText().size()));
}

// --- A whole run without its children -----------------------------------------------

// A folder `name` below the temporary root with the sample profile in it and
// every system place of the POSIX layer inside; `commandLine` names the profile.
PosixConfig RunSandbox(const std::string& name, std::wstring& commandLine) {
  const std::string folder = TempRoot() + "/" + name;
  fs::create_directories(folder);
  const std::string profile = folder + "/Office.ini";
  WriteFile(profile, ReadFile(SampleProfile()));
  commandLine = L"/N:\"" + WinPath(profile) + L"\"";
  PosixConfig config;
  config.CommonAppData = folder + "/common";
  config.LocalAppData = folder + "/local";
  config.RuntimeDir = folder;
  config.StandinDir = folder;
  config.SystemDir = folder;
  return config;
}

// Everything one start of the tool does for a new plan (command line, lock,
// settings file, records, plan store, GUID, record writes with their syncs,
// window probe) on the POSIX layer, with the 14 programs "ending" at once.
// The locale's files were loaded by the first run already, as glibc keeps them.
void BM_RunEntry_NewPlan_NoChildren(benchmark::State& state) {
  std::wstring commandLine;
  const PosixConfig config = RunSandbox("run", commandLine);
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code ec;
    fs::remove(config.CommonAppData + "/VARENTO/TAV_POWERSAVE/Setting.ini", ec);
    fs::remove(config.LocalAppData + "/VARENTO/TAV_POWERSAVE/MySetting.ini", ec);
    state.ResumeTiming();
    NoChildOs os(MakePosixOs(config));
    if (RunEntry(os, commandLine) != kExitSuccess || os.started != 14)
      state.SkipWithError("the run did not apply a new plan");
  }
}

// The everyday run without its children: the plan is found by its recorded
// GUID, every record value is already in place, so nothing is written; 12
// programs "end" at once. What is left is the tool's own work between them.
void BM_RunEntry_Everyday_NoChildren(benchmark::State& state) {
  std::wstring commandLine;
  const PosixConfig config = RunSandbox("everyday", commandLine);
  const std::string folder = config.StandinDir;
  // The dedicated plan is in the store already, active, as a run leaves it;
  // the first run finds it by its name and records its GUID.
  standin::PlanStore store = standin::DefaultPlanStore();
  standin::Plan plan = *standin::FindPlan(store, "a1841308-3541-4fab-bc81-f71556f20b4a");
  plan.Guid = "5c1e3a52-7d4b-4e0f-9a61-2b8c0d7e4f13";
  plan.Name = "Vantrel電源プラン";
  store.Plans.push_back(plan);
  store.ActivePlan = plan.Guid;
  if (!standin::SavePlanStore(standin::PlanStorePathIn(folder), store))
    state.SkipWithError("cannot write the plan store");
  {
    NoChildOs first(MakePosixOs(config));
    if (RunEntry(first, commandLine) != kExitSuccess) state.SkipWithError("the first run failed");
  }
  for (auto _ : state) {
    NoChildOs os(MakePosixOs(config));
    if (RunEntry(os, commandLine) != kExitSuccess || os.started != 12) {
      state.SkipWithError("the run did not find the recorded plan");
      break;
    }
  }
}

// A task list of 1,000 entries whose XML files exist, the programs "ending" at
// once: the tool's own work per entry (existence check, command line, program
// search, attributes, deletion of the XML file). Files are made again before
// each pass, outside the timing.
void BM_TaskList_1000Entries_NoChildren(benchmark::State& state) {
  const std::string folder = TempRoot() + "/tasks";
  fs::create_directories(folder);
  const std::string bin = TempRoot() + "/system";  // the system folder of NewPosixOs
  fs::create_directories(bin);
  WriteFile(bin + "/schtasks.exe", "");
  fs::permissions(bin + "/schtasks.exe", fs::perms::owner_all);
  constexpr int kEntries = 1000;
  std::string list;
  std::vector<std::string> xmlFiles;
  for (int i = 0; i < kEntries; ++i) {
    const std::string xml = folder + "/task" + std::to_string(i) + ".xml";
    xmlFiles.push_back(xml);
    list += "/TN:\"TAV_Task_" + std::to_string(i) + "\" /XML:\"" + ToUtf8(WinPath(xml)) +
            "\"\r\n";
  }
  const std::string listFile = folder + "/tasks.txt";
  const std::wstring listPath = WinPath(listFile);
  std::unique_ptr<Os> posixOs = NewPosixOs();
  posixOs->system().SelectUserLocale();
  NoChildOs os(std::move(posixOs));
  for (auto _ : state) {
    state.PauseTiming();
    for (const std::string& xml : xmlFiles) WriteFile(xml, "<Task/>");
    WriteFile(listFile, list);
    os.started = 0;
    state.ResumeTiming();
    if (!ProcessTaskRegistrationList(os, listPath) || os.started != kEntries)
      state.SkipWithError("not every entry was registered");
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}

BENCHMARK(BM_ReadLaunchOptions_Typical);
BENCHMARK(BM_ReadLaunchOptions_64KiB_Options)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadLaunchOptions_64KiB_Path)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadPowerSettings_Sample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadPowerSettings_1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TaskList_PosixOs_10MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TaskList_FakeOs_10MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TaskList_LineChecksOnly_10MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextFileReadLine_10MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunEntry_NewPlan_NoChildren)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunEntry_Everyday_NoChildren)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TaskList_1000Entries_NoChildren)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tav::bench

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // as the tool does at start
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(tav::bench::TempRoot(), ec);
  return 0;
}
