#include "app/launch_options.h"

#include <string_view>

#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

constexpr wchar_t kQuote = L'"';
constexpr size_t kKeyLength = 2;

// The first two characters of a token, or the whole token when shorter.
std::wstring_view KeyOf(std::wstring_view token) { return token.substr(0, kKeyLength); }

// A path option's value: the token less its key, closing then opening double
// quotes removed. Anything else, a blank before the opening quote included, stays.
std::wstring PathValue(std::wstring_view token) {
  return StripRepeated(token.substr(KeyOf(token).size()), kQuote, kQuote);
}

// An empty path never exists, whatever the platform would answer for it.
bool PathExists(Os& os, const std::wstring& path) {
  return !path.empty() && os.files().Exists(path);
}

void ApplyToken(const std::wstring& token, LaunchOptions& options, bool& pathOptionSeen) {
  std::wstring_view key = KeyOf(token);
  if (EqualsIgnoreCase(key, L"I")) {
    options.SkipOnXp = true;
  } else if (EqualsIgnoreCase(key, L"S:")) {
    options.ActionTime = ParseTimeValue(token);
    if (options.ActionTime) options.SuspendRequested = true;
  } else if (EqualsIgnoreCase(key, L"H:")) {
    options.ActionTime = ParseTimeValue(token);
    if (options.ActionTime) options.HibernateRequested = true;
  } else if (EqualsIgnoreCase(key, L"N:")) {
    options.SettingsPath = PathValue(token);
    pathOptionSeen = true;
  } else if (EqualsIgnoreCase(key, L"T:")) {
    options.HandOffTime = ParseTimeValue(token);
  } else if (EqualsIgnoreCase(key, L"F:")) {
    options.TaskListPath = PathValue(token);
    pathOptionSeen = true;
  }
  // Any other key is ignored.
}

// The options as parsed, for the trace.
std::wstring OptionsText(const LaunchOptions& o) {
  std::wstring text = L"options: /N:" + Quoted(o.SettingsPath) + L" /F:" + Quoted(o.TaskListPath);
  if (o.SuspendRequested) text += L" /S:" + ClockText(o.ActionTime);
  if (o.HibernateRequested) text += L" /H:" + ClockText(o.ActionTime);
  if (o.HandOffTime) text += L" /T:" + ClockText(o.HandOffTime);
  if (o.SkipOnXp) text += L" /I";
  return text;
}

}  // namespace

bool ReadLaunchOptions(Os& os, const std::wstring& commandLine, LaunchOptions& options) {
  options = LaunchOptions{};
  Trace(os, L"command line: " + commandLine);
  const bool pathOptionSeen = ParseLaunchOptions(commandLine, options);
  Trace(os, OptionsText(options));
  if (!pathOptionSeen) {
    Trace(os, L"command line unusable: no /N: or /F: option before the end of the scan");
    return false;
  }
  // The settings path is tested first; the list path only when it is missing.
  if (PathExists(os, options.SettingsPath)) return true;
  if (PathExists(os, options.TaskListPath)) return true;
  Trace(os, L"command line unusable: neither the settings file nor the task list exists");
  return false;
}

bool ParseLaunchOptions(const std::wstring& commandLine, LaunchOptions& options) {
  options = LaunchOptions{};
  bool pathOptionSeen = false;

  // The process receives its command line as a terminated string: nothing
  // behind a NUL character belongs to it.
  std::wstring_view received = commandLine;
  received = received.substr(0, received.find(L'\0'));

  const std::wstring_view text = TrimWhiteSpace(received);
  size_t position = 0;
  while (true) {
    const std::wstring token(TrimWhiteSpace(NextSlashField(text, position)));
    // The end of the text, or a token of white space only, ends the scan.
    if (token.empty()) break;
    ApplyToken(token, options, pathOptionSeen);
  }

  // A hand-off time only means something with a suspend or hibernate request.
  if (!options.SuspendRequested && !options.HibernateRequested) options.HandOffTime.reset();
  return pathOptionSeen;
}

std::optional<TimeOfDay> ParseTimeValue(std::wstring_view token) {
  return FourDigitTime(token.substr(KeyOf(token).size()));
}

}  // namespace tav
