// A power settings file as another program wrote it: LoadPowerSettings
// through the real POSIX profile functions on any file content. A load
// succeeds exactly when "Version" and "Name" read non-empty, and a loaded
// record holds every value within its clamps.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "os/posix/posix_os.h"
#include "settings/power_settings.h"

namespace {

std::string folder;
std::string nativePath;
std::wstring settingsPath;  // Windows form, as the core names it
std::unique_ptr<tav::Os> os;

bool TimeOk(const std::optional<tav::TimeOfDay>& t) {
  return !t || (t->Hour >= 0 && t->Hour <= 23 && t->Minute >= 0 && t->Minute <= 59);
}

bool BrightnessOk(int32_t value) { return value >= 0 && value <= 100 && value % 5 == 0; }

size_t Utf16Units(const std::wstring& text) {
  size_t units = 0;
  for (wchar_t c : text) units += static_cast<uint32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C.UTF-8");
  std::string pattern = tav::fuzz::ScratchFolder() + "/tav-fuzz-settings.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  FUZZ_CHECK(mkdtemp(buffer.data()) != nullptr);
  folder = buffer.data();
  nativePath = folder + "/Setting.ini";
  for (char c : nativePath) settingsPath += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  tav::PosixConfig config;
  config.CommonAppData = folder + "/common";
  config.LocalAppData = folder + "/local";
  config.RuntimeDir = folder;
  config.StandinDir = folder;
  os = tav::MakePosixOs(config);
  std::atexit([] {
    unlink(nativePath.c_str());
    rmdir(folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = open(nativePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(write(fd, data, size) == static_cast<ssize_t>(size));
  close(fd);
  // The file changed behind the profile functions' back: drop their copy.
  os->profile().Flush(settingsPath);

  tav::PowerSettings settings;
  const bool loaded = tav::LoadPowerSettings(*os, settingsPath, settings);

  tav::OsProfile& profile = os->profile();
  const std::wstring version = profile.ReadString(L"GENERAL", L"Version", L"", 1024, settingsPath);
  const std::wstring name = profile.ReadString(L"GENERAL", L"Name", L"", 1024, settingsPath);
  FUZZ_CHECK(loaded == (!version.empty() && !name.empty()));
  if (!loaded) return 0;

  FUZZ_CHECK(settings.Version == version);
  FUZZ_CHECK(settings.Name == name);
  FUZZ_CHECK(Utf16Units(settings.Name) <= 1023);
  for (int32_t time : {settings.DisplayAcTime, settings.DisplayDcTime, settings.HddAcTime,
                       settings.HddDcTime, settings.SleepAcTime, settings.SleepDcTime,
                       settings.StopAcTime, settings.StopDcTime})
    FUZZ_CHECK(time >= 0);
  FUZZ_CHECK(BrightnessOk(settings.DisplayAcBright));
  FUZZ_CHECK(BrightnessOk(settings.DisplayDcBright));
  FUZZ_CHECK(settings.StopCheckBox == 0 || settings.StopCheckBox == 1);
  for (const std::optional<tav::TimeOfDay>& t : {settings.SleepStartTime, settings.ResumeTime, settings.StartTime,
                                  settings.EndTime})
    FUZZ_CHECK(TimeOk(t));
  for (const tav::TaskEntry& task :
       {settings.TaskSleep, settings.StartTaskProfile, settings.EndTaskProfile}) {
    FUZZ_CHECK(task.TaskId >= -1);
    FUZZ_CHECK(Utf16Units(task.TaskName) <= 1023);
  }
  return 0;
}
