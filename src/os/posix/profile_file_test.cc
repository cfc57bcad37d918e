// Expected values follow the profile functions of Windows (Microsoft's
// documentation, and Wine's kernel32 tests that run against Windows).
#include "os/posix/profile_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

namespace tav::posix {
namespace {

namespace fs = std::filesystem;

std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string out;
  for (char16_t c : text) {
    const char high = static_cast<char>(c >> 8);
    const char low = static_cast<char>(c & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

class ProfileFileTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/profile_file_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir_, ignored))
      if (entry.is_directory()) fs::permissions(entry.path(), fs::perms::owner_all, ignored);
    fs::permissions(dir_, fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }

  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }

  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> Entries(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
};

const char kSample[] =
    "; settings written by hand\r\n"
    "top=before any section\r\n"
    "[General]\r\n"
    "Version = 2.00.000 \r\n"
    "Name=\"Night profile\"\r\n"
    "Quoted='single'\r\n"
    "Mixed=\"a'\r\n"
    "Comment=value ; not a comment\r\n"
    "Empty=\r\n"
    "Spaces=\t  padded value  \r\n"
    "a=b=c\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "NoEquals\r\n"
    ";Hidden=commented out\r\n"
    "[general]\r\n"
    "Other=in the second section of that name\r\n"
    "[ Spaced Section ] trailing text\r\n"
    "Key With Space  =  v\r\n"
    "=no key name\r\n"
    "[]\r\n"
    "k=empty section name\r\n";

struct ReadCase {
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* defaultValue;
  size_t bufferChars;
  const wchar_t* expected;
};

TEST_F(ProfileFileTest, ReadsLikeGetPrivateProfileString) {
  const std::string path = PathOf("sample.ini");
  WriteBytes(path, kSample);
  const ReadCase cases[] = {
      {L"General", L"Version", L"d", 1024, L"2.00.000"},
      {L"GENERAL", L"version", L"d", 1024, L"2.00.000"},
      {L"  General ", L" Version\t", L"d", 1024, L"2.00.000"},
      {L"General", L"Name", L"d", 1024, L"Night profile"},
      {L"General", L"Quoted", L"d", 1024, L"single"},
      {L"General", L"Mixed", L"d", 1024, L"\"a'"},
      {L"General", L"Comment", L"d", 1024, L"value ; not a comment"},
      {L"General", L"Empty", L"d", 1024, L""},
      {L"General", L"Spaces", L"d", 1024, L"padded value"},
      {L"General", L"a", L"d", 1024, L"b=c"},
      {L"General", L"DUP", L"d", 1024, L"first"},
      {L"General", L"NoEquals", L"d", 1024, L"d"},
      {L"General", L";Hidden", L"d", 1024, L"d"},
      {L"General", L"Hidden", L"d", 1024, L"d"},
      {L"General", L"Other", L"d", 1024, L"d"},  // only the first [General] counts
      {L"General", L"top", L"d", 1024, L"d"},
      {L"Spaced Section", L"key with space", L"d", 1024, L"v"},
      {L"Spaced Section", L"", L"d", 1024, L"no key name"},
      {L"", L"k", L"d", 1024, L"empty section name"},
      {L"", L"top", L"d", 1024, L"d"},  // keys before the first section are not found
      {L"Missing", L"Version", L"d", 1024, L"d"},
      {L"General", L"Missing", L"default  ", 1024, L"default"},
      {L"General", L"Missing", L"one two", 1024, L"one two"},
      {L"General", L"Missing", L"\"q\"", 1024, L"q"},
      {L"General", L"Version", L"d", 4, L"2.0"},
      {L"General", L"Name", L"d", 5, L"Nigh"},
      {L"General", L"Version", L"d", 1, L""},
      {L"General", L"Version", L"d", 0, L""},
  };
  ProfileStore store;
  for (const ReadCase& c : cases)
    EXPECT_EQ(store.GetString(path, c.section, c.key, c.defaultValue, c.bufferChars), c.expected)
        << testing::PrintToString(std::wstring(c.section)) << "/"
        << testing::PrintToString(std::wstring(c.key)) << " buffer " << c.bufferChars;
}

TEST_F(ProfileFileTest, MissingOrUnreadableFilesGiveTheDefault) {
  ProfileStore store;
  EXPECT_EQ(store.GetString(PathOf("none.ini"), L"S", L"k", L"dflt", 1024), L"dflt");
  EXPECT_EQ(store.GetString(PathOf("no/folder.ini"), L"S", L"k", L"dflt", 1024), L"dflt");
  EXPECT_EQ(store.GetString(dir_, L"S", L"k", L"dflt", 1024), L"dflt");  // a folder
  EXPECT_EQ(store.GetString("", L"S", L"k", L"dflt", 1024), L"dflt");
  EXPECT_EQ(store.GetInt(PathOf("none.ini"), L"S", L"k", -7), -7);
  WriteBytes(PathOf("empty.ini"), "");
  EXPECT_EQ(store.GetString(PathOf("empty.ini"), L"S", L"k", L"dflt", 1024), L"dflt");
}

TEST_F(ProfileFileTest, CutsValuesToTheBufferLessOne) {
  const std::string path = PathOf("long.ini");
  WriteBytes(path, "[S]\nlong=" + std::string(2000, 'x') + "\nquoted=\"" + std::string(1023, 'q') +
                       "\"\nclef=" + std::string(1200, 'c') + "\n");
  ProfileStore store;
  EXPECT_EQ(store.GetString(path, L"S", L"long", L"", 1024), std::wstring(1023, L'x'));
  EXPECT_EQ(store.GetString(path, L"S", L"quoted", L"", 1024), std::wstring(1023, L'q'));
  EXPECT_EQ(store.GetString(path, L"S", L"long", L"", 2), L"x");

  // The buffer counts UTF-16 units: a character beyond U+FFFF takes two and
  // is never split.
  std::string clefs;
  for (int i = 0; i < 600; ++i) clefs += "\xF0\x9D\x84\x9E";  // U+1D11E
  WriteBytes(path, "[S]\nclef=" + clefs + "\n");
  store.Flush(path);
  EXPECT_EQ(store.GetString(path, L"S", L"clef", L"", 1024), std::wstring(511, L'\U0001D11E'));
  EXPECT_EQ(store.GetString(path, L"S", L"clef", L"", 4), L"\U0001D11E");
  EXPECT_EQ(store.GetString(path, L"S", L"clef", L"", 2), L"");
}

struct IntCase {
  const char* text;  // null: no key at all
  int32_t defaultValue;
  int32_t expected;
};

TEST_F(ProfileFileTest, ReadsIntegersLikeGetPrivateProfileInt) {
  const IntCase cases[] = {
      {"1", -1, 1},
      {"-1", 1, -1},
      {"+1", -1, 1},
      {"+5", 0, 5},
      {"007", 0, 7},
      {"2147483647", 0, 2147483647},
      {"2147483648", 0, INT32_MIN},
      {"4294967296", -1, 0},
      {"4294967297", -1, 1},
      {"-2147483649", 0, 2147483647},
      {"-4294967297", 1, -1},
      {"99999999999", 0, 1215752191},
      {" 12abc", 0, 12},
      {"42A94967297", -1, 42},
      {"1e5", 0, 1},
      {"abc", 5, 0},  // a value without digits is 0, not the default
      {"B4294967297", 1, 0},
      {"-", 5, 0},
      {"\"42\"", 0, 42},
      {"0x1A", 0, 26},
      {"0X1A", 0, 0},
      {"0o17", 0, 15},
      {"0b101", 0, 5},
      {"-0x10", 0, -16},
      {"", 33, 33},      // "Key=" gives the default
      {"\"\"", 33, 33},  // so does an empty quoted value
      {nullptr, 44, 44},
      // Read through a 30-character buffer: only 29 characters count.
      {"00000000000000000000000000000012", 9, 0},
      {"000000000000000000000000000012", 9, 1},
  };
  const std::string path = PathOf("int.ini");
  ProfileStore store;
  for (const IntCase& c : cases) {
    WriteBytes(path, c.text ? std::string("[S]\r\nKey=") + c.text + "\r\n" : "[S]\r\n");
    store.Flush(path);
    EXPECT_EQ(store.GetInt(path, L"s", L"KEY", c.defaultValue), c.expected)
        << (c.text ? c.text : "(no key)");
  }
}

struct EncodingCase {
  const char* name;
  std::string bom;
  bool wide;
  bool bigEndian;
};

TEST_F(ProfileFileTest, ReadsAndKeepsEachEncoding) {
  const std::u16string original16 =
      u"[GENERAL]\r\nName=Vantrel電源プラン \U0001D11E\r\n\r\n[Other]\r\nx=1\r\n";
  const std::u16string expected16 =
      u"[GENERAL]\r\nName=Vantrel電源プラン \U0001D11E\r\nGUID=é\U0001D11E\r\n\r\n"
      u"[Other]\r\nx=1\r\n";
  const std::string original8 =
      "[GENERAL]\r\nName=Vantrel電源プラン \xF0\x9D\x84\x9E\r\n\r\n[Other]\r\nx=1\r\n";
  const std::string expected8 =
      "[GENERAL]\r\nName=Vantrel電源プラン \xF0\x9D\x84\x9E\r\nGUID=é\xF0\x9D\x84\x9E\r\n\r\n"
      "[Other]\r\nx=1\r\n";
  const EncodingCase cases[] = {
      {"utf8", "", false, false},
      {"utf8-bom", "\xEF\xBB\xBF", false, false},
      {"utf16le", "\xFF\xFE", true, false},
      {"utf16be", "\xFE\xFF", true, true},
  };
  for (const EncodingCase& c : cases) {
    const std::string path = PathOf(std::string(c.name) + ".ini");
    WriteBytes(path, c.bom + (c.wide ? Utf16(original16, c.bigEndian) : original8));
    ProfileStore store;
    EXPECT_EQ(store.GetString(path, L"General", L"name", L"", 1024), L"Vantrel電源プラン \U0001D11E")
        << c.name;
    ASSERT_TRUE(store.WriteString(path, L"General", L"GUID", L"é\U0001D11E")) << c.name;
    EXPECT_EQ(ReadBytes(path), c.bom + (c.wide ? Utf16(expected16, c.bigEndian) : expected8))
        << c.name;
    EXPECT_EQ(store.GetString(path, L"General", L"GUID", L"", 1024), L"é\U0001D11E") << c.name;
  }
}

TEST_F(ProfileFileTest, BrokenTextReadsAsReplacementAndIsWrittenBackUnchanged) {
  const std::string path = PathOf("broken.ini");
  // Invalid UTF-8 (a lone continuation byte, an overlong form, a cut
  // sequence, an encoded surrogate) and a UTF-16 file with a lone surrogate
  // and an odd last byte.
  const std::string bytes = "\x80junk\r\n[S]\r\nbad=a\xC0\xAFz\xE2\x82\r\nsur=\xED\xA0\x80\r\n";
  WriteBytes(path, bytes);
  ProfileStore store;
  EXPECT_EQ(store.GetString(path, L"S", L"bad", L"", 1024), L"a\uFFFD\uFFFDz\uFFFD\uFFFD");
  EXPECT_EQ(store.GetString(path, L"S", L"sur", L"", 1024), L"\uFFFD\uFFFD\uFFFD");
  ASSERT_TRUE(store.WriteString(path, L"S", L"new", L"1"));
  EXPECT_EQ(ReadBytes(path), "\x80junk\r\n[S]\r\nbad=a\xC0\xAFz\xE2\x82\r\nsur=\xED\xA0\x80\r\nnew=1\r\n");

  const std::string widePath = PathOf("broken16.ini");
  const std::string wide = "\xFF\xFE" + Utf16(u"[S]\r\nk=", false) + std::string("\x00\xD8", 2) +
                           Utf16(u"x\r\n", false) + "\x41";
  WriteBytes(widePath, wide);
  EXPECT_EQ(store.GetString(widePath, L"S", L"k", L"", 1024), L"\uFFFDx");
  ASSERT_TRUE(store.WriteString(widePath, L"S", L"n", L"2"));
  EXPECT_EQ(ReadBytes(widePath), wide.substr(0, wide.size() - 1) + Utf16(u"n=2\r\n", false) + "\x41");
}

struct EditCase {
  const char* name;
  const char* before;
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* value;
  const char* after;
};

TEST_F(ProfileFileTest, WritesChangeOnlyTheirLine) {
  const EditCase cases[] = {
      {"replace in place",
       "; head\r\n\r\n[A]\r\n  Key  =  old ; c\r\nz=1\r\n\r\n; about B\r\n[B]\r\nKey=b\r\n",
       L"a", L"key", L"new",
       "; head\r\n\r\n[A]\r\n  Key  =new\r\nz=1\r\n\r\n; about B\r\n[B]\r\nKey=b\r\n"},
      {"new key after the last key of its section",
       "[A]\nx=1\n\n; about B\n[B]\ny=2\n", L"A", L"New", L"v",
       "[A]\nx=1\nNew=v\n\n; about B\n[B]\ny=2\n"},
      {"new key in a section without keys", "[A]\n[B]\n", L"A", L"k", L"v", "[A]\nk=v\n[B]\n"},
      {"new key in the last section without a final line end", "[A]\nx=1", L"A", L"k", L"v",
       "[A]\nx=1\nk=v\n"},
      {"new section at the end", "[A]\r\nx=1\r\n", L"New", L"k", L"v",
       "[A]\r\nx=1\r\n[New]\r\nk=v\r\n"},
      {"new section after text without a final line end", "[A]\rx=1", L"B", L"k", L"v",
       "[A]\rx=1\r[B]\rk=v\r"},
      {"duplicate section: the first one is written", "[A]\nk=1\n[a]\nk=2\n", L"A", L"k", L"9",
       "[A]\nk=9\n[a]\nk=2\n"},
      {"duplicate key: the first one is written", "[A]\nk=1\nK=2\n", L"A", L"k", L"9",
       "[A]\nk=9\nK=2\n"},
      {"a key without '=' is not the key", "[A]\nk\n", L"A", L"k", L"9", "[A]\nk\nk=9\n"},
      {"empty value", "[A]\nk=1\n", L"A", L"k", L"", "[A]\nk=\n"},
      {"names are written trimmed", "", L"  Current ", L" GUID\t", L"x", "[Current]\r\nGUID=x\r\n"},
  };
  for (const EditCase& c : cases) {
    const std::string path = PathOf("edit.ini");
    WriteBytes(path, c.before);
    ProfileStore store;
    ASSERT_TRUE(store.WriteString(path, c.section, c.key, c.value)) << c.name;
    EXPECT_EQ(ReadBytes(path), c.after) << c.name;
  }
}

TEST_F(ProfileFileTest, CreatesAMissingFile) {
  const std::string path = PathOf("Setting.ini");
  ProfileStore store;
  ASSERT_TRUE(store.WriteString(path, L"Current", L"ProfilePath", L"C:\\Data\\Night.ini"));
  ASSERT_TRUE(store.WriteString(path, L"Current", L"ProfileName", L"Vantrel電源プラン"));
  EXPECT_EQ(ReadBytes(path),
            "[Current]\r\nProfilePath=C:\\Data\\Night.ini\r\nProfileName=Vantrel電源プラン\r\n");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(Entries(dir_), std::vector<std::string>{"Setting.ini"});
}

TEST_F(ProfileFileTest, ValuesReadBackAsWritten) {
  const std::wstring values[] = {
      L"plain",        L"  leading",   L"trailing  ", L" both ",     L"\"quoted\"",
      L"'single'",     L"\"",          L"'",          L"\"\"",       L"\"a'",
      L"a\"b",         L"",            L" ",          L"a;b",        L"=x=",
      L"tab\tinside",  L"\tedge",      L"日本語",     L"\U0001D11E", L"C:\\Program Files\\x.ini",
      L"\"C:\\a b\"",  L"[S]",         L"\x1A",
  };
  const std::string path = PathOf("roundtrip.ini");
  ProfileStore store;
  for (const std::wstring& value : values) {
    ASSERT_TRUE(store.WriteString(path, L"S", L"k", value)) << testing::PrintToString(value);
    EXPECT_EQ(store.GetString(path, L"S", L"k", L"d", 1024), value) << testing::PrintToString(value);
    ProfileStore fresh;
    EXPECT_EQ(fresh.GetString(path, L"S", L"k", L"d", 1024), value) << testing::PrintToString(value);
  }
  ASSERT_TRUE(store.WriteString(path, L"S", L"k", L"  x  "));
  EXPECT_EQ(ReadBytes(path), "[S]\r\nk=\"  x  \"\r\n");
}

TEST_F(ProfileFileTest, RefusesTextThatWouldNotReadBack) {
  const std::string path = PathOf("refuse.ini");
  const std::string before = "[S]\r\nk=1\r\n";
  WriteBytes(path, before);
  const std::tuple<std::wstring, std::wstring, std::wstring> cases[] = {
      {L"S", L"k", L"two\nlines"},
      {L"S", L"k", L"cr\rinside"},
      {L"S", L"k", std::wstring(L"nul\0x", 5)},
      {L"S", L"a=b", L"v"},
      {L"S", L";k", L"v"},
      {L"S", L"[k]", L"v"},
      {L"S\nT", L"k", L"v"},
      {L"S", L"k", std::wstring(1, static_cast<wchar_t>(0xD800))},
      {L"S", L"k", std::wstring(1, static_cast<wchar_t>(0x110000))},
      // A surrogate pair is text only where wchar_t has 16 bits; with 32 it
      // would be written as one code point and read back otherwise.
      {L"S", sizeof(wchar_t) == 4 ? L"k\xD872\xDCA3" : L"k\xD800", L"v"},
  };
  ProfileStore store;
  for (const auto& [section, key, value] : cases) {
    EXPECT_FALSE(store.WriteString(path, section, key, value)) << testing::PrintToString(value);
    EXPECT_EQ(ReadBytes(path), before);
  }
  EXPECT_FALSE(store.WriteString("", L"S", L"k", L"v"));
}

TEST_F(ProfileFileTest, ReadOnlyFilesAndFoldersAreNotWritten) {
  ProfileStore store;
  const std::string before = "[S]\r\nk=1\r\n";

  const std::string readOnly = PathOf("readonly.ini");
  WriteBytes(readOnly, before);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  EXPECT_FALSE(store.WriteString(readOnly, L"S", L"k", L"2"));
  EXPECT_EQ(ReadBytes(readOnly), before);
  EXPECT_EQ(store.GetString(readOnly, L"S", L"k", L"", 1024), L"1");

  const std::string folder = PathOf("locked");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string inLocked = folder + "/Setting.ini";
  WriteBytes(inLocked, before);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_FALSE(store.WriteString(inLocked, L"S", L"k", L"2"));
  EXPECT_FALSE(store.WriteString(folder + "/New.ini", L"S", L"k", L"2"));
  EXPECT_EQ(ReadBytes(inLocked), before);
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"Setting.ini"});
  // An unchanged value needs no write, as on Windows.
  EXPECT_TRUE(store.WriteString(inLocked, L"S", L"k", L"1"));

  EXPECT_FALSE(store.WriteString(PathOf("missing/Setting.ini"), L"S", L"k", L"v"));
  EXPECT_FALSE(fs::exists(PathOf("missing")));
  EXPECT_FALSE(store.WriteString(folder, L"S", L"k", L"v"));  // a folder, not a file
}

TEST_F(ProfileFileTest, AnInterruptedWriteLeavesTheFileWhole) {
  const std::string path = PathOf("Setting.ini");
  const std::string before = "; keep\r\n[Current]\r\nGUID=old\r\n";
  WriteBytes(path, before);
  // Left behind by an earlier crash: must not disturb anything.
  const std::string stale = PathOf(".Setting.ini.tmp-1-0");
  WriteBytes(stale, "[Current]\r\nGUID=half");

  bool hookRan = false;
  ProfileStore crashing([&](const std::string& temporary) {
    hookRan = true;
    EXPECT_EQ(ReadBytes(temporary), "; keep\r\n[Current]\r\nGUID=new\r\n");
    EXPECT_EQ(ReadBytes(path), before);
    ProfileStore reader;
    EXPECT_EQ(reader.GetString(path, L"Current", L"GUID", L"", 1024), L"old");
    return false;  // the process "dies" before the rename
  });
  EXPECT_FALSE(crashing.WriteString(path, L"Current", L"GUID", L"new"));
  EXPECT_TRUE(hookRan);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(crashing.GetString(path, L"Current", L"GUID", L"", 1024), L"old");
  EXPECT_EQ(Entries(dir_), (std::vector<std::string>{".Setting.ini.tmp-1-0", "Setting.ini"}));

  ProfileStore store;
  ASSERT_TRUE(store.WriteString(path, L"Current", L"GUID", L"new"));
  EXPECT_EQ(store.GetString(path, L"Current", L"GUID", L"", 1024), L"new");
  EXPECT_EQ(ReadBytes(stale), "[Current]\r\nGUID=half");
}

TEST_F(ProfileFileTest, KeepsModeAndNeverWritesThroughALink) {
  const std::string path = PathOf("mode.ini");
  WriteBytes(path, "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ProfileStore store;
  ASSERT_TRUE(store.WriteString(path, L"S", L"k", L"2"));
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  const std::string link = PathOf("link.ini");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  EXPECT_FALSE(store.WriteString(link, L"S", L"k", L"3"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(path), "[S]\nk=2\n");
}

TEST_F(ProfileFileTest, ParsesOnceAndNoticesEveryChange) {
  const std::string path = PathOf("cache.ini");
  std::string text = "[GENERAL]\r\n";
  for (int i = 0; i < 25; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  WriteBytes(path, text);
  ProfileStore store;
  for (int i = 0; i < 25; ++i)
    EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key" + std::to_wstring(i), -1), i);
  EXPECT_EQ(store.ParseCount(), 1u);

  // Another program rewrites the file in place, with a new size.
  WriteBytes(path, "[GENERAL]\r\nKey0=100\r\n");
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), 100);
  EXPECT_EQ(store.ParseCount(), 2u);

  // The same size, only the time differs.
  WriteBytes(path, "[GENERAL]\r\nKey0=200\r\n");
  const struct timespec times[2] = {{1000, 5}, {1000, 5}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), 200);
  EXPECT_EQ(store.ParseCount(), 3u);

  // Replaced by another file of the same size and time: a new inode.
  const std::string other = PathOf("other.ini");
  WriteBytes(other, "[GENERAL]\r\nKey0=300\r\n");
  ASSERT_EQ(::utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
  ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), 300);
  EXPECT_EQ(store.ParseCount(), 4u);

  // Our own write is kept as written: reading it back reads no file.
  const size_t beforeWrite = store.ParseCount();
  ASSERT_TRUE(store.WriteString(path, L"GENERAL", L"Key0", L"400"));
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), 400);
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), 400);
  EXPECT_EQ(store.ParseCount(), beforeWrite);
  // Flush drops it.
  store.Flush(path);
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), 400);
  EXPECT_EQ(store.ParseCount(), beforeWrite + 1);
  // Another program's change right after our write is seen.
  ASSERT_TRUE(store.WriteString(path, L"GENERAL", L"Key1", L"1"));
  WriteBytes(path, "[GENERAL]\r\nKey0=450\r\n");
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), 450);
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key1", -1), -1);

  // A write checks the cached copy too: after another program's change, the
  // value the copy holds is written, not taken as already there.
  WriteBytes(path, "[GENERAL]\r\nKey0=500\r\n");
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  ASSERT_TRUE(store.WriteString(path, L"GENERAL", L"Key0", L"400"));
  EXPECT_EQ(ReadBytes(path), "[GENERAL]\r\nKey0=400\r\n");

  // A deleted file gives defaults again.
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(store.GetInt(path, L"GENERAL", L"Key0", -1), -1);
}

}  // namespace
}  // namespace tav::posix
