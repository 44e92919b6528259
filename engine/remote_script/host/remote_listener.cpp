// Where page agents connect: one listening socket per run in a private folder, served from
// the default main context, removed when the run ends (also when it is interrupted).

#include "engine/remote_script/host/remote_session.h"
#include "engine/remote_script/host/socket_names.h"
#include "engine/remote_script/protocol/sockets.h"

#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace remote_script {
namespace {

// How long listening pauses when the process has no descriptor left for a connection.
constexpr guint kFullPauseMilliseconds = 1000;

struct Listener {
  int socket = -1;
  unsigned watch = 0;
  AgentAddress address;
  std::string madeFolder;  // a folder made for the socket, removed with it
};

Listener& TheListener() {
  static Listener listener;
  return listener;
}

// The paths to remove, kept where a signal handler can reach them without allocating.
char g_socketPath[4096];
char g_folderPath[4096];

void RemoveFiles() {
  if (g_socketPath[0]) unlink(g_socketPath);
  if (g_folderPath[0]) rmdir(g_folderPath);
  g_socketPath[0] = g_folderPath[0] = '\0';
}

void RemoveFilesAndDie(int signal) {
  RemoveFiles();
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void RemoveFilesOnExit() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(RemoveFiles);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    sigaction(signal, nullptr, &action);
    if (action.sa_handler != SIG_DFL) continue;
    action.sa_handler = RemoveFilesAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signal, &action, nullptr);
  }
}

void Remember(char (&target)[4096], const std::string& path) {
  std::strncpy(target, path.c_str(), sizeof target - 1);
}

void WatchListener();

void AcceptWaiting() {
  int socket;
  while ((socket = AcceptFrom(TheListener().socket)) >= 0) Session::Get().Links().Add(socket);
  if (errno != EMFILE && errno != ENFILE && errno != ENOBUFS && errno != ENOMEM) return;
  // Out of descriptors: the connection stays in the backlog, and the listener would be
  // ready at once again. Listening pauses for a moment instead of spinning: the watch,
  // whose callback this is, ends when it returns.
  TheListener().watch = 0;
  DebugLine("trawler: out of file descriptors; page agents wait a moment");
  g_timeout_add(
      kFullPauseMilliseconds,
      [](gpointer) {
        if (TheListener().socket >= 0) WatchListener();
        return gboolean(G_SOURCE_REMOVE);
      },
      nullptr);
}

void WatchListener() {
  TheListener().watch = g_unix_fd_add(
      TheListener().socket, G_IO_IN,
      [](gint, GIOCondition, gpointer) {
        AcceptWaiting();
        return gboolean(TheListener().watch ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE);
      },
      nullptr);
}

}  // namespace

bool StartListening(AgentAddress& address) {
  Listener& listener = TheListener();
  if (listener.socket >= 0) {
    address = listener.address;
    return true;
  }
  const std::string folder = PrivateSocketFolder();
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string token = RandomToken();
  const std::string name = RandomToken();
  if (folder.empty() || token.empty() || name.empty()) return false;
  const bool shared = runtime && folder == runtime;
  if (!shared) listener.madeFolder = folder;
  RemoveLeftSockets(folder, shared);
  listener.address = {SocketPath(folder, name.substr(0, 12)), token};
  RemoveFilesOnExit();
  Remember(g_socketPath, listener.address.socketPath);
  Remember(g_folderPath, listener.madeFolder);
  listener.socket = ListenAt(listener.address.socketPath);
  if (listener.socket < 0) {
    RemoveFiles();
    return false;
  }
  Session::Get().Links().SetToken(token);
  WatchListener();
  address = listener.address;
  return true;
}

void StopListening() {
  Listener& listener = TheListener();
  if (listener.watch) g_source_remove(listener.watch);
  if (listener.socket >= 0) close(listener.socket);
  listener = Listener();
  RemoveFiles();
}

bool AcceptAgent(int timeoutMilliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  const auto left = [&] {
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(milliseconds, 0));
  };
  const int socket = TheListener().socket;
  pollfd incoming{socket, POLLIN, 0};
  if (socket < 0 || poll(&incoming, 1, left()) <= 0) return false;
  const int connection = AcceptFrom(socket);
  if (connection < 0) return false;
  const AgentLink* added = Session::Get().Links().Add(connection);
  if (!added) return false;
  const uint64_t id = added->Id();
  for (;;) {
    AgentLink* link = Session::Get().Links().Find(id);
    if (!link || !link->IsOpen()) return false;
    if (link->Authenticated()) return true;
    pollfd readable{link->Socket(), POLLIN, 0};
    if (poll(&readable, 1, left()) <= 0) return false;
    link->ServeAvailable();
  }
}

void SetWindowObjectHandler(WindowObjectHandler handler) {
  Session::Get().SetWindowObjectHandler(std::move(handler));
}

js::JSGlobalContextRef MainFrameContext(uint64_t page) {
  return Session::Get().Handles().MainFrame(page);
}

void SetWaitLimit(int milliseconds) { Session::Get().Links().SetWaitLimits(milliseconds); }

ScopedCall::ScopedCall() { Session::Get().EnterScope(); }
ScopedCall::~ScopedCall() { Session::Get().LeaveScope(); }

void FlushReleases() { Session::Get().Flush(true); }

Statistics GetStatistics() { return Session::Get().Counts(); }

}  // namespace remote_script
