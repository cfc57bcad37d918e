#include "schedule/task_registration_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "testing/fake_os.h"

namespace tav {
namespace {

using testing::FakeOs;

const std::wstring kList = L"C:\\Lists\\tasks.txt";
const std::wstring kXmlA = L"C:\\Tasks\\a.xml";
const std::wstring kXmlB = L"C:\\Tasks\\b.xml";

std::wstring Schtasks(const std::wstring& name, const std::wstring& xml) {
  return L"schtasks /Create /TN \"" + name + L"\" /XML \"" + xml + L"\" /F";
}

// Records the attribute values written, which FakeOs keeps only per file.
class AttributeRecordingOs : public FakeOs {
 public:
  std::vector<std::pair<std::wstring, uint32_t>> writes;
  bool SetAttributes(const std::wstring& path, uint32_t attributes) override {
    writes.emplace_back(path, attributes);
    return FakeOs::SetAttributes(path, attributes);
  }
};

bool RunList(FakeOs& os, const std::wstring& text) {
  os.AddFile(kList, text);
  return ProcessTaskRegistrationList(os, kList);
}

size_t IndexOf(const std::vector<std::wstring>& events, const std::wstring& event) {
  return static_cast<size_t>(std::find(events.begin(), events.end(), event) - events.begin());
}

struct ListCase {
  const char* label;
  std::wstring text;
  std::vector<std::wstring> expected;  // command lines, in order
};

void PrintTo(const ListCase& c, std::ostream* out) { *out << c.label; }

class TaskRegistrationListLines : public ::testing::TestWithParam<ListCase> {};

TEST_P(TaskRegistrationListLines, RegistersTheExpectedTasks) {
  FakeOs os;
  os.AddFile(kXmlA);
  os.AddFile(kXmlB);
  EXPECT_TRUE(RunList(os, GetParam().text));
  EXPECT_EQ(os.commandLines, GetParam().expected);
  EXPECT_FALSE(os.HasFile(kList));
}

std::string CaseName(const ::testing::TestParamInfo<ListCase>& info) {
  std::string name = info.param.label;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

const std::wstring kLongPad = L"/" + std::wstring(1022, L'p');  // exactly one full piece

INSTANTIATE_TEST_SUITE_P(
    TaskRegistrationListSplitting, TaskRegistrationListLines,
    ::testing::Values(
        ListCase{"usual", L"/TN:\"Task A\" /XML:\"C:\\Tasks\\a.xml\"\n", {Schtasks(L"Task A", kXmlA)}},
        ListCase{"crlf", L"/TN:\"A\" /XML:\"C:\\Tasks\\a.xml\"\r\n", {Schtasks(L"A", kXmlA)}},
        ListCase{"no final line feed", L"/TN:A/XML:C:\\Tasks\\a.xml", {Schtasks(L"A", kXmlA)}},
        ListCase{"runs of slashes", L"///TN:\"A\"////XML:\"C:\\Tasks\\a.xml\"//\n",
                 {Schtasks(L"A", kXmlA)}},
        ListCase{"no leading slash", L"TN:\"A\" /XML:\"C:\\Tasks\\a.xml\"\n", {Schtasks(L"A", kXmlA)}},
        ListCase{"blank field ends the line", L"/TN:\"A\"/  \t /XML:\"C:\\Tasks\\a.xml\"\n", {}},
        ListCase{"blanks before the first slash", L" \t/TN:\"A\"/XML:\"C:\\Tasks\\a.xml\"\n", {}},
        ListCase{"empty list", L"", {}},
        ListCase{"empty lines skipped",
                 L"\n\r\n/TN:\"A\"/XML:\"C:\\Tasks\\a.xml\"\n\n/TN:B/XML:C:\\Tasks\\b.xml\n",
                 {Schtasks(L"A", kXmlA), Schtasks(L"B", kXmlB)}},
        ListCase{"entry over two lines", L"/TN:\"A\"\n/XML:\"C:\\Tasks\\a.xml\"\n", {}},
        ListCase{"slash inside a value cuts it",
                 L"/TN:\"Folder/A\"/XML:\"C:\\Tasks\\a.xml\"\n", {Schtasks(L"Folder", kXmlA)}},
        ListCase{"long line: rest read as a line of its own",
                 kLongPad + L"/TN:\"A\"/XML:\"C:\\Tasks\\a.xml\"\n", {Schtasks(L"A", kXmlA)}},
        ListCase{"long line: entry cut at the piece boundary",
                 std::wstring(L"/TN:A/") + std::wstring(1017, L'p') + L"/XML:C:\\Tasks\\a.xml\n",
                 {}},
        ListCase{"long line: each piece registers its own entry",
                 L"/TN:A/XML:C:\\Tasks\\a.xml" + kLongPad + L"/TN:B/XML:C:\\Tasks\\b.xml\n",
                 {Schtasks(L"A", kXmlA), Schtasks(L"B", kXmlB)}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    TaskRegistrationListTags, TaskRegistrationListLines,
    ::testing::Values(
        ListCase{"lower case", L"/tn:\"A\" /xml:\"C:\\Tasks\\a.xml\"\n", {Schtasks(L"A", kXmlA)}},
        ListCase{"mixed case", L"/Tn:\"A\" /xMl:\"C:\\Tasks\\a.xml\"\n", {Schtasks(L"A", kXmlA)}},
        ListCase{"XML first", L"/XML:\"C:\\Tasks\\a.xml\" /TN:\"A\"\n", {Schtasks(L"A", kXmlA)}},
        ListCase{"other fields between", L"/RU:x /TN:\"A\" /XMLX:\"y\" /XML /XML:\"C:\\Tasks\\a.xml\"\n",
                 {Schtasks(L"A", kXmlA)}},
        ListCase{"two entries: only the first",
                 L"/TN:\"A\"/XML:\"C:\\Tasks\\a.xml\"/TN:\"B\"/XML:\"C:\\Tasks\\b.xml\"\n",
                 {Schtasks(L"A", kXmlA)}},
        ListCase{"later value replaces earlier", L"/TN:\"A\"/TN:\"B\"/XML:\"C:\\Tasks\\a.xml\"\n",
                 {Schtasks(L"B", kXmlA)}},
        ListCase{"empty quoted name", L"/TN:\"\"/XML:\"C:\\Tasks\\a.xml\"\n", {}},
        ListCase{"repeated outer quotes removed", L"/TN:\"\"\"A\"\"/XML:\"\"C:\\Tasks\\a.xml\"\"\"\n",
                 {Schtasks(L"A", kXmlA)}},
        ListCase{"blanks after the tag kept", L"/TN:  A B /XML:C:\\Tasks\\a.xml\n",
                 {Schtasks(L"  A B", kXmlA)}},
        ListCase{"XML without colon ignored", L"/TN:A/XMLC:\\Tasks\\a.xml\n", {}},
        ListCase{"Japanese name", L"/TN:\"省電力\"/XML:\"C:\\Tasks\\a.xml\"\n",
                 {Schtasks(L"省電力", kXmlA)}}),
    CaseName);

TEST(TaskRegistrationListFiles, MissingXmlSkipsTheLineAndLaterLinesGoOn) {
  FakeOs os;
  os.AddFile(kXmlB);
  EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\missing.xml/TN:B/XML:C:\\Tasks\\b.xml\n"
                        L"/TN:C/XML:C:\\Tasks\\b.xml\n"));
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{Schtasks(L"C", kXmlB)});
  EXPECT_FALSE(os.HasFile(kXmlB));
}

// The tool runs elevated: an XML path that is a link, junction or other
// reparse point, a folder or a device would make it register, unprotect and
// delete whatever that points to. Such an entry finishes its line untouched.
TEST(TaskRegistrationListFiles, XmlThatIsNoPlainFileIsLeftAlone) {
  const std::vector<std::pair<const char*, uint32_t>> kinds = {
      {"symbolic link or junction", kFileAttributeReparsePoint | kFileAttributeArchive},
      {"read-only link", kFileAttributeReparsePoint | kFileAttributeReadOnly},
      {"device", kFileAttributeDevice},
      {"folder", kFileAttributeDirectory},
  };
  for (const auto& [what, attributes] : kinds) {
    AttributeRecordingOs os;
    os.AddFile(kXmlA, L"", attributes);
    os.AddFile(kXmlB);
    EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\a.xml/TN:B/XML:C:\\Tasks\\b.xml\n"
                          L"/TN:C/XML:C:\\Tasks\\b.xml\n"))
        << what;
    EXPECT_EQ(os.commandLines, std::vector<std::wstring>{Schtasks(L"C", kXmlB)}) << what;
    EXPECT_TRUE(os.HasFile(kXmlA)) << what;
    EXPECT_EQ(os.Attributes(kXmlA), attributes) << what;
    for (const auto& [path, written] : os.writes) EXPECT_NE(path, kXmlA) << what;
    EXPECT_FALSE(os.HasFile(kList)) << what;  // the list itself is still consumed
  }
  // A folder added as a folder (not a file with that attribute) as well.
  FakeOs os;
  os.AddFolder(kXmlA);
  EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\a.xml\n"));
  EXPECT_TRUE(os.commandLines.empty());
}

TEST(TaskRegistrationListFiles, SchtasksIsStartedFromATrustedFolder) {
  FakeOs os;
  os.AddFile(kXmlA);
  EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\a.xml\n"));
  EXPECT_EQ(os.applicationNames, std::vector<std::wstring>{L"C:\\Windows\\system32\\schtasks.exe"});
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{Schtasks(L"A", kXmlA)});
}

TEST(TaskRegistrationListFiles, RegisteredXmlIsDeletedAndSkippedOnesKept) {
  FakeOs os;
  os.AddFile(kXmlA);
  os.AddFile(kXmlB);
  EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\a.xml\n/XML:C:\\Tasks\\b.xml\n"));
  EXPECT_FALSE(os.HasFile(kXmlA));
  EXPECT_TRUE(os.HasFile(kXmlB));
}

TEST(TaskRegistrationListFiles, ReadOnlyFilesLoseOnlyThatAttributeAndAreDeleted) {
  AttributeRecordingOs os;
  const uint32_t others = kFileAttributeHidden | kFileAttributeSystem | kFileAttributeArchive;
  os.AddFile(kXmlA, L"", others | kFileAttributeReadOnly);
  os.AddFile(kList, L"/TN:A/XML:C:\\Tasks\\a.xml\n", others | kFileAttributeReadOnly);
  EXPECT_TRUE(ProcessTaskRegistrationList(os, kList));
  using Write = std::pair<std::wstring, uint32_t>;
  EXPECT_EQ(os.writes, (std::vector<Write>{{kXmlA, others}, {kList, others}}));
  EXPECT_FALSE(os.HasFile(kXmlA));
  EXPECT_FALSE(os.HasFile(kList));
}

TEST(TaskRegistrationListFiles, WritableFilesKeepTheirAttributes) {
  AttributeRecordingOs os;
  os.AddFile(kXmlA, L"", kFileAttributeHidden);
  EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\a.xml\n"));
  EXPECT_TRUE(os.writes.empty());
  EXPECT_FALSE(os.HasFile(kXmlA));
}

TEST(TaskRegistrationListFiles, MissingOrEmptyListPathTouchesNothing) {
  FakeOs os;
  os.AddFile(kXmlA, L"", kFileAttributeReadOnly);
  EXPECT_FALSE(ProcessTaskRegistrationList(os, kList));
  EXPECT_FALSE(ProcessTaskRegistrationList(os, L""));
  EXPECT_TRUE(os.commandLines.empty());
  EXPECT_TRUE(os.events.empty());
  EXPECT_TRUE(os.HasFile(kXmlA));
}

TEST(TaskRegistrationListFiles, RunnerFailureStillDeletesXmlAndList) {
  FakeOs os;
  os.canStart = [](const std::wstring&) { return false; };
  os.AddFile(kXmlA);
  os.AddFile(kXmlB);
  EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\a.xml\n/TN:B/XML:C:\\Tasks\\b.xml\n"));
  EXPECT_EQ(os.commandLines.size(), 2u);
  EXPECT_FALSE(os.HasFile(kXmlA));
  EXPECT_FALSE(os.HasFile(kXmlB));
  EXPECT_FALSE(os.HasFile(kList));
}

TEST(TaskRegistrationListFiles, XmlDeletedOnlyAfterItsRegistrationEnded) {
  FakeOs os;
  os.AddFile(kXmlA);
  os.AddFile(kXmlB);
  std::vector<bool> xmlPresentWhileRunning;
  os.onRun = [&](const std::wstring& commandLine) {
    xmlPresentWhileRunning.push_back(os.HasFile(commandLine.find(L"a.xml") != std::wstring::npos
                                                    ? kXmlA
                                                    : kXmlB));
  };
  EXPECT_TRUE(RunList(os, L"/TN:A/XML:C:\\Tasks\\a.xml\n/TN:B/XML:C:\\Tasks\\b.xml\n"));
  EXPECT_EQ(xmlPresentWhileRunning, (std::vector<bool>{true, true}));

  const auto& e = os.events;
  size_t exitedA = IndexOf(e, L"Exited:" + Schtasks(L"A", kXmlA));
  size_t deleteA = IndexOf(e, L"Delete:" + kXmlA);
  size_t runB = IndexOf(e, L"Run:" + Schtasks(L"B", kXmlB));
  size_t deleteB = IndexOf(e, L"Delete:" + kXmlB);
  size_t closeList = IndexOf(e, L"CloseTextFile");
  size_t deleteList = IndexOf(e, L"Delete:" + kList);
  ASSERT_LT(deleteList, e.size());
  EXPECT_LT(exitedA, deleteA);
  EXPECT_LT(deleteA, runB);
  EXPECT_LT(runB, deleteB);
  EXPECT_LT(deleteB, closeList);
  EXPECT_LT(closeList, deleteList);
}

// A double quote inside a value would end the quoting on the schtasks command
// line and turn the rest of the value into arguments of their own.
TEST(TaskRegistrationListQuotes, EntryWithQuoteInAValueIsLeftAlone) {
  const std::wstring quotedXml = L"C:\\Tasks\\a\" b.xml";
  for (const std::wstring line :
       {L"/TN:\"x\" -RU \"SYSTEM\"/XML:\"C:\\Tasks\\a.xml\"/TN:B/XML:C:\\Tasks\\b.xml\n",
        L"/TN:A\"B/XML:C:\\Tasks\\a.xml/TN:B/XML:C:\\Tasks\\b.xml\n",
        L"/TN: \"A\"/XML:C:\\Tasks\\a.xml/TN:B/XML:C:\\Tasks\\b.xml\n",
        L"/TN:A/XML:\"C:\\Tasks\\a\" b.xml\"/TN:B/XML:C:\\Tasks\\b.xml\n"}) {
    SCOPED_TRACE(line);
    FakeOs os;
    os.AddFile(kXmlA);
    os.AddFile(kXmlB);
    os.AddFile(quotedXml);
    EXPECT_TRUE(RunList(os, line + L"/TN:C/XML:C:\\Tasks\\b.xml\n"));
    // Nothing for the refused entry nor for the rest of its line; the next
    // line is handled as usual.
    EXPECT_EQ(os.commandLines, std::vector<std::wstring>{Schtasks(L"C", kXmlB)});
    EXPECT_TRUE(os.HasFile(kXmlA));
    EXPECT_TRUE(os.HasFile(quotedXml));
    EXPECT_FALSE(os.HasFile(kXmlB));
  }
}

TEST(TaskRegistrationListQuotes, RegisterScheduledTaskRefusesQuotesAndEmptyArguments) {
  FakeOs os;
  const std::wstring name = L"A";
  const std::wstring quotedName = L"A\" /RU \"SYSTEM";
  const std::wstring quotedXml = L"C:\\a\".xml";
  EXPECT_FALSE(RegisterScheduledTask(os, kXmlA, quotedName));
  EXPECT_FALSE(RegisterScheduledTask(os, quotedXml, name));
  EXPECT_FALSE(RegisterScheduledTask(os, L"", name));
  EXPECT_FALSE(RegisterScheduledTask(os, kXmlA, L""));
  EXPECT_TRUE(os.commandLines.empty());

  EXPECT_TRUE(RegisterScheduledTask(os, kXmlA, name));
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{Schtasks(L"A", kXmlA)});
  os.canStart = [](const std::wstring&) { return false; };
  EXPECT_FALSE(RegisterScheduledTask(os, kXmlA, name));
}

// A trailing backslash would escape the closing quote when schtasks splits
// its command line, pulling the following text into the value.
TEST(TaskRegistrationListQuotes, ValueEndingInABackslashIsLeftAlone) {
  const std::wstring folderXml = L"C:\\Tasks\\";
  FakeOs os;
  os.AddFile(kXmlA);
  os.AddFolder(folderXml);
  EXPECT_TRUE(RunList(os, L"/TN:A\\/XML:C:\\Tasks\\a.xml\n/TN:B/XML:C:\\Tasks\\\n"));
  EXPECT_TRUE(os.commandLines.empty());
  EXPECT_TRUE(os.HasFile(kXmlA));

  const std::wstring name = L"A\\";
  EXPECT_FALSE(RegisterScheduledTask(os, kXmlA, name));
  EXPECT_TRUE(os.commandLines.empty());
}

TEST(TaskRegistrationListNul, TextAfterAnEmbeddedNulIsNotSeen) {
  FakeOs os;
  os.AddFile(kXmlA);
  os.AddFile(kXmlB);
  std::wstring text = L"/TN:A";
  text += L'\0';
  text += L"/XML:C:\\Tasks\\a.xml\n/TN:B/XML:C:\\Tasks\\b.xml";
  text += L'\0';
  text += L"/TN:C/XML:C:\\Tasks\\a.xml\n";
  EXPECT_TRUE(RunList(os, text));
  EXPECT_EQ(os.commandLines, std::vector<std::wstring>{Schtasks(L"B", kXmlB)});
  EXPECT_TRUE(os.HasFile(kXmlA));
}

// Hostile lists: binary noise, NULs, a line of megabytes and many lines. Only
// complete entries register, and the time grows with the size only.
TEST(TaskRegistrationListBadInput, LargeNoisyListRegistersOnlyCompleteEntries) {
  FakeOs os;
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> anyChar(0, 0xFFFF);
  std::wstring text;
  text.reserve(16'000'000);
  size_t complete = 0;
  for (int line = 0; line < 200'000; ++line) {
    switch (line % 8) {
      case 0: {
        std::wstring xml = L"C:\\Tasks\\t" + std::to_wstring(line) + L".xml";
        os.AddFile(xml);
        text += L"/TN:\"T" + std::to_wstring(line) + L"\" /XML:\"" + xml + L"\"\n";
        ++complete;
        break;
      }
      case 1:
        text += L"/TN:\"half\"\n/XML:\"C:\\Tasks\\t0.xml\"\n";
        break;
      case 2:
        for (int i = 0; i < 40; ++i) text += static_cast<wchar_t>(anyChar(random));
        text += L'\n';
        break;
      default:
        text += L"/a/b//c/\n";
    }
  }
  // One line of 5 MB: tags without a partner, slashes, NULs and noise.
  std::wstring huge;
  huge.reserve(5'000'000);
  while (huge.size() < 5'000'000) {
    huge += L"/TN:\"x\"/";
    if (huge.size() > 2'500'000) huge += L'\0';
    huge += static_cast<wchar_t>(anyChar(random));
    huge += L"////XML";
  }
  text += huge + L"\n/TN:Last/XML:C:\\Tasks\\last.xml\n";
  os.AddFile(L"C:\\Tasks\\last.xml");
  ++complete;

  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(RunList(os, text));
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(os.commandLines.size(), complete);
  EXPECT_EQ(os.commandLines.back(), Schtasks(L"Last", L"C:\\Tasks\\last.xml"));
  EXPECT_LT(seconds, 30.0);
  RecordProperty("seconds", std::to_string(seconds));
}

}  // namespace
}  // namespace tav
