#include "finder/saves/partial_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

mode_t KindOf(const std::string& path) {
  struct stat facts {};
  return stat(path.c_str(), &facts) == 0 ? (facts.st_mode & S_IFMT) : 0;
}

class PartialFileTest : public testing::Test {
 protected:
  void SetUp() override {
    m_folder = testing::TempDir() + "trawler-partial-" + std::to_string(getpid());
    std::filesystem::create_directories(m_folder);
  }
  void TearDown() override { std::filesystem::remove_all(m_folder); }
  size_t FilesIn() { return std::distance(std::filesystem::directory_iterator(m_folder), {}); }

  std::string m_folder;
};

// An output named on a command line may be a device or a pipe (/dev/null, /dev/stdout, a
// shell's process substitution): it is written into, never replaced by a plain file.
TEST_F(PartialFileTest, AnOutputThatIsADeviceOrAPipeIsWrittenIntoAndStays) {
  PartialFile null;
  ASSERT_TRUE(null.OpenOutput("/dev/null"));
  EXPECT_TRUE(null.Write("rows\n"));
  EXPECT_TRUE(null.MoveTo("/dev/null"));
  EXPECT_EQ(KindOf("/dev/null"), static_cast<mode_t>(S_IFCHR));

  const std::string pipe = m_folder + "/rows.pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::string heard;
  std::thread reader([&pipe, &heard] {
    std::ifstream in(pipe, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    heard = text.str();
  });
  PartialFile output;
  ASSERT_TRUE(output.OpenOutput(pipe));
  EXPECT_TRUE(output.Write("{\"a\":1}\n"));
  EXPECT_TRUE(output.MoveTo(pipe));
  reader.join();
  EXPECT_EQ(heard, "{\"a\":1}\n");
  EXPECT_EQ(KindOf(pipe), static_cast<mode_t>(S_IFIFO));

  // A whole file made beside a pipe does not take its place; nothing of it is left.
  PartialFile beside;
  ASSERT_TRUE(beside.Open(pipe));
  EXPECT_TRUE(beside.Write("whole"));
  errno = 0;
  EXPECT_FALSE(beside.MoveTo(pipe));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(KindOf(pipe), static_cast<mode_t>(S_IFIFO));
  EXPECT_EQ(FilesIn(), 1u);

  // A plain path gets its file only when whole.
  const std::string plain = m_folder + "/rows.jsonl";
  PartialFile file;
  ASSERT_TRUE(file.OpenOutput(plain));
  EXPECT_TRUE(file.Write("x"));
  EXPECT_FALSE(std::filesystem::exists(plain));
  EXPECT_TRUE(file.MoveTo(plain));
  EXPECT_EQ(KindOf(plain), static_cast<mode_t>(S_IFREG));
}

}  // namespace
