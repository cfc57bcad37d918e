#include "os/posix/profile_document.h"

#include <gtest/gtest.h>

#include <random>

namespace tav::posix {
namespace {

// Parsing and writing back unchanged gives the same bytes, whatever they are.
TEST(ProfileDocumentTest, SerialisesAnyBytesBackUnchanged) {
  std::mt19937 random(20240607);
  const char pieces[] = {'[', ']', '=', ';', ' ', '\t', '\r', '\n', 'a', 'K', '"', '\'',
                         '\0', '\x80', '\xC3', '\xA9', '\xFF', '\xFE', '\xEF', '\xBB', '\xBF'};
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) bytes += pieces[random() % sizeof pieces];
    if (round % 4 == 1) bytes = "\xFF\xFE" + bytes;
    if (round % 4 == 2) bytes = "\xFE\xFF" + bytes;
    ProfileDocument doc = ProfileDocument::Parse(bytes);
    ASSERT_EQ(doc.Serialize(), bytes);
    // A write keeps every other byte and reads back.
    if (doc.Set(L"S", L"k", L"v") == ProfileChange::kChanged) {
      const ProfileDocument again = ProfileDocument::Parse(doc.Serialize());
      ASSERT_NE(again.Find(L"S", L"k"), nullptr);
      EXPECT_EQ(*again.Find(L"S", L"k"), L"v");
    }
  }
}

// WouldChange tells what Set will do, and leaves the document as it is.
TEST(ProfileDocumentTest, WouldChangeForetellsSet) {
  struct Case {
    const char* bytes;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    ProfileChange expected;
  } cases[] = {
      {"[S]\r\nk=v\r\n", L"S", L"k", L"v", ProfileChange::kUnchanged},
      {"[S]\r\nk = v \r\n", L" s ", L"K", L"v", ProfileChange::kUnchanged},
      {"[S]\r\nk=\" v\"\r\n", L"S", L"k", L" v", ProfileChange::kUnchanged},
      {"[S]\r\nk=v\r\n", L"S", L"k", L"w", ProfileChange::kChanged},
      {"[S]\r\nk=v\r\n", L"S", L"k", L" v", ProfileChange::kChanged},
      {"[S]\r\nk=v\r\n", L"S", L"other", L"v", ProfileChange::kChanged},
      {"[S]\r\nk=v\r\n", L"T", L"k", L"v", ProfileChange::kChanged},
      {"[T]\r\n[S]\r\nk=v\r\n[S]\r\nk=w\r\n", L"S", L"k", L"v", ProfileChange::kUnchanged},
      {"", L"S", L"k", L"v", ProfileChange::kChanged},
      {"[S]\r\nk=v\r\n", L"S", L"k", L"v\nw", ProfileChange::kRefused},
      {"[S]\r\nk=v\r\n", L"S", L"k=j", L"v", ProfileChange::kRefused},
      {"[S]\r\nk=v\r\n", L"S", L";k", L"v", ProfileChange::kRefused},
  };
  for (const Case& c : cases) {
    ProfileDocument doc = ProfileDocument::Parse(c.bytes);
    EXPECT_EQ(doc.WouldChange(c.section, c.key, c.value), c.expected) << c.bytes;
    EXPECT_EQ(doc.Serialize(), c.bytes);
    EXPECT_EQ(doc.Set(c.section, c.key, c.value), c.expected) << c.bytes;
  }
}

}  // namespace
}  // namespace tav::posix
