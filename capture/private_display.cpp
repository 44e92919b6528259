#include "capture/private_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

namespace {

constexpr int kStartMs = 20'000;
constexpr const char* kAuthority = "Xauthority";

// In the child: the server, its output to the log, told to end when its parent does.
// The server's authority file: one MIT-MAGIC-COOKIE-1 entry of 16 random bytes for any
// address and display (family FamilyWild), so only the run's own clients, which are handed
// the file, may connect. False when it cannot be made.
bool WriteAuthority(const std::string& path) {
  unsigned char cookie[16];
  if (getrandom(cookie, sizeof cookie, 0) != static_cast<ssize_t>(sizeof cookie)) return false;
  std::string entry;
  const auto field = [&entry](std::string_view bytes) {
    entry += static_cast<char>(bytes.size() >> 8);
    entry += static_cast<char>(bytes.size() & 0xFF);
    entry += bytes;
  };
  entry += "\xFF\xFF";  // FamilyWild
  field("");            // any address
  field("");            // any display
  field("MIT-MAGIC-COOKIE-1");
  field(std::string_view(reinterpret_cast<const char*>(cookie), sizeof cookie));
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (file < 0) return false;
  const bool written =
      write(file, entry.data(), entry.size()) == static_cast<ssize_t>(entry.size());
  return close(file) == 0 && written;
}

[[noreturn]] void RunServer(const std::string& folder, int readyFd) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  const std::string log = folder + "/xvfb.log";
  const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (output >= 0) {
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
  }
  if (chdir(folder.c_str()) != 0) _exit(127);
  const std::string fd = std::to_string(readyFd);
  execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-auth",
         (folder + "/" + kAuthority).c_str(), "-screen", "0", "1280x1024x24",
         static_cast<char*>(nullptr));
  std::fprintf(stderr, "Xvfb cannot be run: %s\n", std::strerror(errno));
  _exit(127);
}

// The display number the server writes when it is ready; empty when it ended first or took
// too long.
std::string ReadDisplayNumber(int fd) {
  std::string number;
  char c = 0;
  pollfd ready{fd, POLLIN, 0};
  while (poll(&ready, 1, kStartMs) == 1 && read(fd, &c, 1) == 1 && c != '\n') number += c;
  return c == '\n' ? number : std::string();
}

}  // namespace

bool PrivateDisplay::Start(std::string& error) {
  const char* temporary = std::getenv("TMPDIR");
  std::string pattern =
      std::string(temporary && *temporary ? temporary : "/tmp") + "/trawler-capture-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    error = "no private folder for the display: " + std::string(std::strerror(errno));
    return false;
  }
  m_folder = pattern;
  const std::string authority = m_folder + "/" + kAuthority;
  if (!WriteAuthority(authority)) {
    error = "no authority file for the display: " + std::string(std::strerror(errno));
    return false;
  }
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    error = "no pipe for the display: " + std::string(std::strerror(errno));
    return false;
  }
  m_server = fork();
  if (m_server == 0) {
    // The write end stays open in the server: it says its number through it.
    fcntl(pipeFds[1], F_SETFD, 0);
    RunServer(m_folder, pipeFds[1]);
  }
  close(pipeFds[1]);
  const std::string number = m_server > 0 ? ReadDisplayNumber(pipeFds[0]) : std::string();
  close(pipeFds[0]);
  if (number.empty()) {
    const std::string logged = LastLogLine();
    error = "no display, and a private Xvfb could not be started" +
            (logged.empty() ? std::string() : ": " + logged);
    return false;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  setenv("XAUTHORITY", authority.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  setenv("GDK_BACKEND", "x11", 1);
  return true;
}

std::string PrivateDisplay::LastLogLine() const {
  std::ifstream log(m_folder + "/xvfb.log");
  std::string line;
  std::string last;
  while (std::getline(log, line)) {
    if (!line.empty()) last = line;
  }
  return last;
}

PrivateDisplay::~PrivateDisplay() {
  if (m_server > 0) {
    kill(m_server, SIGTERM);
    waitpid(m_server, nullptr, 0);
  }
  if (m_folder.empty()) return;
  std::remove((m_folder + "/xvfb.log").c_str());
  std::remove((m_folder + "/" + kAuthority).c_str());
  rmdir(m_folder.c_str());
}
