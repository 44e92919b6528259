#include "engine/remote_script/host/socket_names.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <regex>

namespace remote_script {
namespace {

// Calls visit with the name of each entry of the folder.
template <typename Visit>
void EachEntry(const std::string& folder, Visit visit) {
  const std::unique_ptr<DIR, int (*)(DIR*)> entries(opendir(folder.c_str()), closedir);
  if (!entries) return;
  while (const dirent* entry = readdir(entries.get())) visit(std::string(entry->d_name));
}

bool Ours(const std::string& path, mode_t type) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type &&
         info.st_uid == getuid();
}

bool Running(pid_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

// Removes the folder's sockets whose process no longer runs; true when it removed any.
bool RemoveDeadSockets(const std::string& folder) {
  static const std::regex kName("trawler-([0-9]{1,9})-[0-9a-f]+\\.sock");
  bool removed = false;
  EachEntry(folder, [&](const std::string& name) {
    std::smatch match;
    const std::string path = folder + "/" + name;
    if (!std::regex_match(name, match, kName) || !Ours(path, S_IFSOCK) ||
        Running(static_cast<pid_t>(std::stol(match[1].str())))) {
      return;
    }
    removed = unlink(path.c_str()) == 0 || removed;
  });
  return removed;
}

}  // namespace

std::string SocketPath(const std::string& folder, const std::string& random) {
  return folder + "/trawler-" + std::to_string(getpid()) + "-" + random + ".sock";
}

void RemoveLeftSockets(const std::string& folder, bool shared) {
  if (shared) {
    RemoveDeadSockets(folder);
    return;
  }
  static const std::regex kPrivateFolder("trawler-[A-Za-z0-9]{6}");
  const std::string parent = folder.substr(0, folder.rfind('/'));
  EachEntry(parent, [&](const std::string& name) {
    const std::string path = parent + "/" + name;
    if (path == folder || !std::regex_match(name, kPrivateFolder) || !Ours(path, S_IFDIR)) return;
    // A folder whose socket is not yet made belongs to a run that is starting.
    if (RemoveDeadSockets(path)) rmdir(path.c_str());
  });
}

}  // namespace remote_script
