#pragma once

// Unix stream sockets for the script connections, and the random token that an agent
// presents first.

#include <string>

namespace remote_script {

// A folder only this user can read: $XDG_RUNTIME_DIR, else a new private folder under the
// temporary folder (made with mode 0700). Empty when neither can be had.
std::string PrivateSocketFolder();
// 32 hexadecimal digits from the system's random source; empty when it cannot be read.
std::string RandomToken();
// A listening socket at the path (-1 on failure).
int ListenAt(const std::string& path);
// A new connection from the listening socket, or -1 when none is waiting.
int AcceptFrom(int listener);
// A connection to the listening socket at the path (-1 on failure).
int ConnectTo(const std::string& path);

}  // namespace remote_script
