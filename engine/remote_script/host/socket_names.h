#pragma once

// The names of the sockets page agents connect to, trawler-<pid>-<random>.sock, and the
// removal of those that runs which were killed left behind. A socket lies in
// $XDG_RUNTIME_DIR or in a private folder trawler-XXXXXX of its own under the temporary
// folder.

#include <string>

namespace remote_script {

// The path of this process's socket in the folder.
std::string SocketPath(const std::string& folder, const std::string& random);
// Removes the sockets of processes that no longer run: in the folder when it is shared
// (the runtime folder), else in the private folders beside it, each of which goes with its
// socket.
void RemoveLeftSockets(const std::string& folder, bool shared);

}  // namespace remote_script
