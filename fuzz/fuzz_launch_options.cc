// The command line as another program writes it: ReadLaunchOptions on any
// wide text. Besides never failing, every parse must leave a record that the
// rest of the tool can trust.
#include <clocale>

#include "app/launch_options.h"
#include "fuzz_support.h"
#include "testing/fake_os.h"

namespace {

using tav::LaunchOptions;

// The files that exist for the parse; the seeds name them.
constexpr wchar_t kSettings[] = L"C:\\Data\\Setting.ini";
constexpr wchar_t kList[] = L"C:\\Data\\list.txt";
constexpr wchar_t kFolder[] = L"C:\\Data";

bool TimeOk(int32_t value) { return value >= 0 && value <= 99; }

bool TimeOfDayOk(const std::optional<tav::TimeOfDay>& time) {
  return !time || (TimeOk(time->Hour) && TimeOk(time->Minute));
}

// A stored path: no "/" (the command line is cut at every one), no NUL (the
// process receives a C string), and the quote removal left no double quote
// at either end.
bool PathOk(const std::wstring& path) {
  if (path.find(L'/') != std::wstring::npos) return false;
  if (path.find(L'\0') != std::wstring::npos) return false;
  return path.empty() || (path.front() != L'"' && path.back() != L'"');
}

bool Same(const LaunchOptions& a, const LaunchOptions& b) {
  return a.SettingsPath == b.SettingsPath && a.TaskListPath == b.TaskListPath &&
         a.SkipOnXp == b.SkipOnXp && a.SuspendRequested == b.SuspendRequested &&
         a.HibernateRequested == b.HibernateRequested && a.ActionTime == b.ActionTime &&
         a.HandOffTime == b.HandOffTime;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Character classes of a UTF-8 locale, as the tool selects the user's.
  if (!std::setlocale(LC_ALL, "C.UTF-8")) std::setlocale(LC_ALL, "");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring commandLine = tav::fuzz::WideText(data, size);

  tav::testing::FakeOs os;
  os.AddFolder(kFolder);
  os.AddFile(kSettings);
  os.AddFile(kList);

  LaunchOptions options;
  options.SettingsPath = L"stale";
  options.ActionTime = tav::TimeOfDay{7, 7};
  const bool valid = tav::ReadLaunchOptions(os, commandLine, options);

  FUZZ_CHECK(TimeOfDayOk(options.ActionTime));
  FUZZ_CHECK(TimeOfDayOk(options.HandOffTime));
  if (!options.SuspendRequested && !options.HibernateRequested) FUZZ_CHECK(!options.HandOffTime);
  FUZZ_CHECK(PathOk(options.SettingsPath));
  FUZZ_CHECK(PathOk(options.TaskListPath));

  // Usable exactly when a named path exists (an empty one never does).
  const bool settingsExists = !options.SettingsPath.empty() && os.files().Exists(options.SettingsPath);
  const bool listExists = !options.TaskListPath.empty() && os.files().Exists(options.TaskListPath);
  FUZZ_CHECK(valid == (settingsExists || listExists));

  // The record is always written whole: the scan alone gives the same one,
  // whatever the record held before.
  LaunchOptions scanned;
  scanned.TaskListPath = L"stale";
  scanned.HibernateRequested = true;
  const bool pathSeen = tav::ParseLaunchOptions(commandLine, scanned);
  FUZZ_CHECK(Same(options, scanned));
  FUZZ_CHECK(!valid || pathSeen);
  if (!pathSeen) FUZZ_CHECK(options.SettingsPath.empty() && options.TaskListPath.empty());

  // Nothing but existence checks reaches the system.
  FUZZ_CHECK(os.commandLines.empty());
  return 0;
}
