// A task registration list as another program wrote it: whatever it holds,
// every schtasks command line that the tool builds is exactly
//   schtasks /Create /TN "<name>" /XML "<path>" /F
// and splits into those seven arguments with the name and path intact; only
// complete entries whose XML file exists are registered, each XML file is
// deleted after its registration ended, and the list is consumed.
#include <clocale>
#include <cwctype>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "os/command_line_args.h"
#include "schedule/task_registration_list.h"
#include "testing/fake_os.h"

namespace {

using tav::testing::FakeOs;

constexpr wchar_t kList[] = L"C:\\Tasks\\list.txt";
// What exists besides the list; the seeds name these.
const wchar_t* const kXmlFiles[] = {L"C:\\Tasks\\a.xml", L"C:\\Tasks\\b c.xml",
                                    L"C:\\Tasks\\ro.xml", L"C:\\Tasks\\\u7701\u96fb\u529b.xml"};
constexpr wchar_t kFolder[] = L"C:\\Tasks";

void SetUp(FakeOs& os, const std::wstring& listText) {
  os.AddFolder(kFolder);
  for (const wchar_t* xml : kXmlFiles)
    os.AddFile(xml, L"<Task/>", std::wstring(xml).ends_with(L"ro.xml")
                                    ? tav::kFileAttributeReadOnly | tav::kFileAttributeHidden
                                    : tav::kFileAttributeArchive);
  os.AddFile(kList, listText, tav::kFileAttributeReadOnly);
}

// A value between the double quotes of the command line.
bool ValueOk(const std::wstring& value) {
  return !value.empty() && value.find_first_of(std::wstring(L"\"/\0", 3)) == std::wstring::npos &&
         value.back() != L'\\';
}

// The name and path of a schtasks command line in the one accepted form.
bool ParseCommand(const std::wstring& command, std::wstring& name, std::wstring& path) {
  const std::wstring head = L"schtasks /Create /TN \"";
  const std::wstring middle = L"\" /XML \"";
  const std::wstring tail = L"\" /F";
  if (!command.starts_with(head) || !command.ends_with(tail)) return false;
  const size_t nameEnd = command.find(L'"', head.size());
  if (nameEnd == std::wstring::npos || command.compare(nameEnd, middle.size(), middle) != 0)
    return false;
  name = command.substr(head.size(), nameEnd - head.size());
  const size_t pathStart = nameEnd + middle.size();
  if (pathStart + tail.size() > command.size()) return false;
  path = command.substr(pathStart, command.size() - tail.size() - pathStart);
  return ValueOk(name) && ValueOk(path);
}

// The next event at or after `from` that starts with one of `prefixes`.
size_t NextEvent(const std::vector<std::wstring>& events, size_t from,
                 std::initializer_list<const wchar_t*> prefixes) {
  for (size_t i = from; i < events.size(); ++i)
    for (const wchar_t* prefix : prefixes)
      if (events[i].starts_with(prefix)) return i;
  return events.size();
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::setlocale(LC_ALL, "C.UTF-8")) std::setlocale(LC_ALL, "");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text = tav::fuzz::WideText(data, size);
  // Bit 2 of the first byte: schtasks cannot be started.
  const bool schtasksMissing = size > 0 && (data[0] & 4) != 0;

  FakeOs os;
  SetUp(os, text);
  os.canStart = [schtasksMissing](const std::wstring&) { return !schtasksMissing; };
  FakeOs untouched;
  SetUp(untouched, text);

  const std::wstring listPath = kList;
  FUZZ_CHECK(tav::ProcessTaskRegistrationList(os, listPath));
  FUZZ_CHECK(!os.HasFile(kList));

  // At most one registration per line piece of at most 1023 characters.
  size_t pieces = 1 + text.size() / 1023;
  for (wchar_t c : text) pieces += c == L'\n';
  FUZZ_CHECK(os.commandLines.size() <= pieces);

  std::vector<std::wstring> registered;
  size_t searchFrom = 0;
  for (const std::wstring& command : os.commandLines) {
    std::wstring name, path;
    FUZZ_CHECK(ParseCommand(command, name, path));
    const std::vector<std::wstring> args = tav::SplitCommandLine(command);
    FUZZ_CHECK((args == std::vector<std::wstring>{L"schtasks", L"/Create", L"/TN", name, L"/XML",
                                                   path, L"/F"}));
    // Only an XML file that was there is registered; it is deleted once the
    // registration program has ended, before the next one starts.
    FUZZ_CHECK(untouched.files().Exists(path));
    const size_t run = NextEvent(os.events, searchFrom, {L"Run:", L"RunFailed:"});
    FUZZ_CHECK(run < os.events.size() &&
               (os.events[run] == L"Run:" + command || os.events[run] == L"RunFailed:" + command));
    const size_t next =
        NextEvent(os.events, run + 1, {L"Run:", L"RunFailed:", L"Delete", L"CloseTextFile"});
    FUZZ_CHECK(next < os.events.size() &&
               (os.events[next] == L"Delete:" + path || os.events[next] == L"DeleteFailed:" + path));
    if (untouched.HasFile(path)) FUZZ_CHECK(!os.HasFile(path));
    registered.push_back(Lower(path));
    searchFrom = next + 1;
  }

  // XML files that no entry registered are left alone.
  for (const wchar_t* xml : kXmlFiles) {
    bool used = false;
    for (const std::wstring& path : registered) used = used || path == Lower(xml);
    if (!used) FUZZ_CHECK(os.HasFile(xml));
  }

  // The list is closed before its deletion (the last attempt, when an entry
  // named the list itself as its XML file).
  const size_t closed = NextEvent(os.events, 0, {L"CloseTextFile"});
  size_t deleted = os.events.size();
  for (size_t i = 0; i < os.events.size(); ++i)
    if (os.events[i] == L"Delete:" + listPath || os.events[i] == L"DeleteFailed:" + listPath)
      deleted = i;
  FUZZ_CHECK(closed < deleted && deleted < os.events.size());
  return 0;
}
