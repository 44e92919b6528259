#include "engine/remote_script/host/socket_names.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string_view>

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

// Whether every character of the text is one of the set, and there is at least one.
bool AllOf(std::string_view text, std::string_view set) {
  return !text.empty() && text.find_first_not_of(set) == std::string_view::npos;
}

constexpr std::string_view kPrefix = "trawler-";
constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kLetters =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The process of a socket named trawler-<pid>-<hex>.sock, or 0 for any other name.
pid_t ProcessOfSocket(std::string_view name) {
  constexpr std::string_view kSuffix = ".sock";
  if (name.substr(0, kPrefix.size()) != kPrefix || name.size() < kSuffix.size() ||
      name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return 0;
  }
  name = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash > 9 || !AllOf(name.substr(0, dash), kDigits) ||
      !AllOf(name.substr(dash + 1), "0123456789abcdef")) {
    return 0;
  }
  return static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
}

// Removes the folder's sockets whose process no longer runs; true when it removed any.
bool RemoveDeadSockets(const std::string& folder) {
  bool removed = false;
  EachEntry(folder, [&](const std::string& name) {
    const std::string path = folder + "/" + name;
    const pid_t process = ProcessOfSocket(name);
    if (process <= 0 || !Ours(path, S_IFSOCK) || Running(process)) return;
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
  const std::string parent = folder.substr(0, folder.rfind('/'));
  EachEntry(parent, [&](const std::string& name) {
    const std::string path = parent + "/" + name;
    const bool privateFolder = name.size() == kPrefix.size() + 6 &&
                               name.compare(0, kPrefix.size(), kPrefix) == 0 &&
                               AllOf(std::string_view(name).substr(kPrefix.size()), kLetters);
    if (path == folder || !privateFolder || !Ours(path, S_IFDIR)) return;
    // A folder whose socket is not yet made belongs to a run that is starting.
    if (RemoveDeadSockets(path)) rmdir(path.c_str());
  });
}

}  // namespace remote_script
