#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "standins/schtasks/task_registry.h"

namespace tav::standin {
namespace {

TEST(SchtasksStandinRegistry, FieldsRoundTripThroughTheFormat) {
  const char raw[] = "\xFF\xFE<\0T\0a\0s\0k\0>\0\r\0\n\0\t\\x41\x7F";
  std::string xml(raw, sizeof raw - 1);
  std::vector<RegisteredTask> tasks{{"\\Folder\\省電力\tname", xml}, {"B", ""}};
  std::string text = FormatRegistry(tasks);
  // One line per task, no raw control bytes inside a line.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 2);
  EXPECT_EQ(text.find('\0'), std::string::npos);

  std::vector<RegisteredTask> back = ParseRegistry(text + "malformed line\nx\t\\q\n");
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].Name, tasks[0].Name);
  EXPECT_EQ(back[0].Xml, xml);
  EXPECT_EQ(back[1].Name, "B");
  EXPECT_EQ(back[1].Xml, "");
}

TEST(SchtasksStandinRegistry, SameNameReplacesInPlace) {
  std::vector<RegisteredTask> tasks;
  PutTask(tasks, {"Alpha", "1"});
  PutTask(tasks, {"Beta", "2"});
  PutTask(tasks, {"ALPHA", "3"});
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0].Name, "ALPHA");
  EXPECT_EQ(tasks[0].Xml, "3");
  EXPECT_EQ(tasks[1].Xml, "2");
}

class SchtasksStandinRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "schtasks-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    xml_ = dir_ + "/task.xml";
    ASSERT_TRUE(WriteWholeFile(xml_, "<Task/>"));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Registry() {
    std::string text;
    return ReadWholeFile(RegistryPath(dir_), text) ? text : "<none>";
  }
  std::wstring XmlArg() { return FromUtf8(xml_); }

  std::string dir_;
  std::string xml_;
};

TEST_F(SchtasksStandinRun, AcceptsTheCreateCommandOnly) {
  EXPECT_EQ(RunSchtasks({L"/create", L"/tn", L"My Task", L"/xml", XmlArg(), L"/f"}, dir_), 0);
  const std::string registered = "My Task\t<Task/>\n";
  EXPECT_EQ(Registry(), registered);

  const std::vector<std::vector<std::wstring>> rejected = {
      {},
      {L"/Create", L"/TN", L"X", L"/XML", XmlArg()},
      {L"/Create", L"/TN", L"X", L"/XML", XmlArg(), L"/F", L"/RU"},
      {L"/Delete", L"/TN", L"X", L"/XML", XmlArg(), L"/F"},
      {L"/Create", L"/XML", XmlArg(), L"/TN", L"X", L"/F"},
      {L"/Create", L"/TN", L"", L"/XML", XmlArg(), L"/F"},
      {L"/Create", L"/TN", L"X", L"/XML", FromUtf8(dir_ + "/missing.xml"), L"/F"},
      {L"/Create", L"/TN", L"X", L"/XML", FromUtf8(dir_), L"/F"},
  };
  for (const auto& args : rejected) {
    EXPECT_EQ(RunSchtasks(args, dir_), 1) << args.size();
    EXPECT_EQ(Registry(), registered);
  }

  ASSERT_TRUE(WriteWholeFile(xml_, "<Other/>"));
  EXPECT_EQ(RunSchtasks({L"/Create", L"/TN", L"MY TASK", L"/XML", XmlArg(), L"/F"}, dir_), 0);
  EXPECT_EQ(Registry(), "MY TASK\t<Other/>\n");
}

TEST_F(SchtasksStandinRun, WindowsFormPathIsRead) {
  std::wstring windowsForm = XmlArg();
  for (auto& c : windowsForm)
    if (c == L'/') c = L'\\';
  EXPECT_EQ(RunSchtasks({L"/Create", L"/TN", L"T", L"/XML", windowsForm, L"/F"}, dir_), 0);
  EXPECT_EQ(Registry(), "T\t<Task/>\n");
}

}  // namespace
}  // namespace tav::standin
