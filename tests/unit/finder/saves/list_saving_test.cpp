#include "finder/saves/list_saving.h"

#include "finder/result_reporting.h"
#include "tests/unit/finder/finder_test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class SavingTest : public FinderTest {
 protected:
  void SetUp() override {
    StartApplication(std::string(kUiScript) + "function savedFile(s) { sim.log('saved ' + s); }");
    m_folder = testing::TempDir() + "trawler-saving-" + std::to_string(getpid());
    std::filesystem::create_directories(m_folder);
  }
  void TearDown() override {
    headless::SetSaveFileAnswerer(nullptr);
    std::filesystem::remove_all(m_folder);
    FinderTest::TearDown();
  }
  // Saves through the dialog, which answers with the path (or cancels for an empty one).
  void Save(const std::string& params, const std::string& path) {
    headless::SetSaveFileAnswerer([path](std::u16string& chosen) {
      chosen = std::u16string(path.begin(), path.end());
      return !path.empty();
    });
    ASSERT_EQ(Call(u"save", params), 1);
    Run(1);
  }
  std::string m_folder;
};

TEST_F(SavingTest, TheFileIsWrittenAfterTheCallAndThePageHearsOfIt) {
  const std::string path = m_folder + "/list.csv";
  Save(R"({"format": "csv", "text": "a,b\n"})", path);
  EXPECT_EQ(Contents(path), "a,b\n");
  ASSERT_EQ(m_logs.size(), 1u);
  EXPECT_EQ(m_logs[0],
            "saved {\"cancelled\":false,\"error\":\"\",\"ok\":true,\"path\":\"" + path + "\"}\n");
  // Over an existing file, which the dialog confirmed.
  Save(R"({"format": "json", "text": "[]"})", path);
  EXPECT_EQ(Contents(path), "[]");
}

TEST_F(SavingTest, ACancelWritesNothingAndAFailedWriteLeavesNoPartOfAFile) {
  Save(R"({"format": "json", "text": "[]"})", "");
  EXPECT_NE(m_logs.back().find("\"cancelled\":true"), std::string::npos);
  const std::string missing = m_folder + "/no such folder/list.json";
  Save(R"({"format": "json", "text": "[]"})", missing);
  EXPECT_NE(m_logs.back().find("\"ok\":false"), std::string::npos);
  EXPECT_NE(m_logs.back().find("No such file or directory"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(m_folder));
}

TEST_F(SavingTest, AHarFileHoldsTheRowsAskedFor) {
  State().m_running = 1;
  State().m_filterEnabled = 0;
  RequestRecord record;
  record.url = "http://h.test/a.png";
  const uint32_t id = KeepRequest(State(), record);
  const std::string path = m_folder + "/list.har";
  Save(R"({"format": "har", "ids": [)" + std::to_string(id) + ", 99]}", path);
  Json::Value har;
  ASSERT_TRUE(ReadJsonText(Contents(path), har));
  ASSERT_EQ(har["log"]["entries"].size(), 1u);
  EXPECT_EQ(har["log"]["entries"][0]["request"]["url"].asString(), "http://h.test/a.png");
}

TEST_F(SavingTest, BadRequestsAnswerZeroAndOneSaveWaitsAtATime) {
  for (const char* params :
       {"null", "{}", R"({"format": "pdf", "text": ""})", R"({"format": "csv"})",
        R"({"format": "har", "ids": [-1]})", R"({"format": "har", "ids": "1"})"}) {
    EXPECT_EQ(Call(u"save", params), 0) << params;
  }
  EXPECT_EQ(Call(u"save", R"({"format": "csv", "text": ""})"), 1);
  EXPECT_EQ(Call(u"save", R"({"format": "csv", "text": ""})"), 0);
  Run(1);  // the dialog, cancelled
  EXPECT_EQ(Call(u"save", R"({"format": "csv", "text": ""})"), 1);
  Run(1);
  // While a dialog is up, a page that asks again is refused.
  int askedDuring = -1;
  headless::SetSaveFileAnswerer([&](std::u16string&) {
    askedDuring = Call(u"save", R"({"format": "csv", "text": ""})");
    return false;
  });
  EXPECT_EQ(Call(u"save", R"({"format": "csv", "text": ""})"), 1);
  Run(1);
  EXPECT_EQ(askedDuring, 0);
}

TEST(WriteFileWholeTest, APathThatCannotBeWrittenSaysWhy) {
  std::string error;
  EXPECT_FALSE(WriteFileWhole("/proc/trawler-cannot-write-here", "x", error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
