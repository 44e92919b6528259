#include "engine/remote_script/protocol/sockets.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace remote_script {
namespace {

bool AddressOf(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

std::string PrivateSocketFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  if (runtime && runtime[0] == '/' && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) &&
      info.st_uid == getuid() && (info.st_mode & 077) == 0) {
    return runtime;
  }
  const char* temporary = std::getenv("TMPDIR");
  std::string pattern =
      std::string(temporary && temporary[0] == '/' ? temporary : "/tmp") + "/trawler-XXXXXX";
  return mkdtemp(pattern.data()) ? pattern : std::string();
}

std::string RandomToken() {
  unsigned char bytes[16];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return {};
  static const char kDigits[] = "0123456789abcdef";
  std::string token;
  for (unsigned char byte : bytes) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 15];
  }
  return token;
}

int ListenAt(const std::string& path) {
  sockaddr_un address;
  if (!AddressOf(path, address)) return -1;
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener < 0) return -1;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      chmod(path.c_str(), 0600) != 0 || listen(listener, 8) != 0) {
    close(listener);
    return -1;
  }
  return listener;
}

int AcceptFrom(int listener) { return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

int ConnectTo(const std::string& path) {
  sockaddr_un address;
  if (!AddressOf(path, address)) return -1;
  const int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connection < 0) return -1;
  if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(connection);
    return -1;
  }
  return connection;
}

}  // namespace remote_script
