#include "engine/remote_script/host/socket_names.h"
#include "engine/remote_script/protocol/sockets.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// The pid of a process that has ended (and been reaped).
pid_t EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// A socket file at the path, left as a killed run leaves it.
void LeaveSocket(const fs::path& path) { close(remote_script::ListenAt(path.string())); }

std::string SocketName(pid_t pid) { return "trawler-" + std::to_string(pid) + "-0a1b2c.sock"; }

class SocketNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "socket-names-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(pattern.data()));
    m_root = pattern;
  }
  void TearDown() override { fs::remove_all(m_root); }

  fs::path m_root;
};

TEST_F(SocketNamesTest, APathNamesThisProcess) {
  EXPECT_EQ(remote_script::SocketPath("/run/user/7", "0a1b2c"),
            "/run/user/7/" + SocketName(getpid()));
}

TEST_F(SocketNamesTest, OnlySocketsOfEndedProcessesGoFromASharedFolder) {
  const pid_t ended = EndedProcess();
  LeaveSocket(m_root / SocketName(ended));
  LeaveSocket(m_root / SocketName(getpid()));
  LeaveSocket(m_root / ("other-" + std::to_string(ended) + ".sock"));
  std::ofstream(m_root / ("trawler-" + std::to_string(ended) + "-ff.sock")) << "a plain file";
  remote_script::RemoveLeftSockets(m_root.string(), true);
  EXPECT_FALSE(fs::exists(m_root / SocketName(ended)));
  EXPECT_TRUE(fs::exists(m_root / SocketName(getpid())));
  EXPECT_TRUE(fs::exists(m_root / ("other-" + std::to_string(ended) + ".sock")));
  EXPECT_TRUE(fs::exists(m_root / ("trawler-" + std::to_string(ended) + "-ff.sock")));
}

TEST_F(SocketNamesTest, PrivateFoldersBesideGoWithTheirLeftSocket) {
  const pid_t ended = EndedProcess();
  for (const char* name :
       {"trawler-Left00", "trawler-Start0", "trawler-Alive0", "trawler-Mine00"}) {
    fs::create_directory(m_root / name);
  }
  LeaveSocket(m_root / "trawler-Left00" / SocketName(ended));
  LeaveSocket(m_root / "trawler-Alive0" / SocketName(getpid()));
  LeaveSocket(m_root / "trawler-Mine00" / SocketName(ended));
  remote_script::RemoveLeftSockets((m_root / "trawler-Mine00").string(), false);
  EXPECT_FALSE(fs::exists(m_root / "trawler-Left00"));
  // A run that is starting has no socket yet; a running one keeps its own; this run's own
  // folder is not looked into.
  EXPECT_TRUE(fs::exists(m_root / "trawler-Start0"));
  EXPECT_TRUE(fs::exists(m_root / "trawler-Alive0" / SocketName(getpid())));
  EXPECT_TRUE(fs::exists(m_root / "trawler-Mine00" / SocketName(ended)));
}

}  // namespace
