#pragma once

// A private X server for a run: Xvfb on the first free display number (it says which
// through -displayfd), started in a private folder (0700) that holds its log and its
// authority file, whose random cookie only the run's own clients are handed (XAUTHORITY),
// and ended with the run (also when the run is killed: it gets SIGTERM when its parent
// dies).

#include <sys/types.h>

#include <string>

class PrivateDisplay {
 public:
  PrivateDisplay() = default;
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;
  // Ends the server and removes its folder.
  ~PrivateDisplay();

  // Starts the server and points DISPLAY at it (WAYLAND_DISPLAY goes). False with the
  // reason.
  bool Start(std::string& error);

 private:
  // The last line the server logged, for a failure's reason.
  std::string LastLogLine() const;

  pid_t m_server = -1;
  std::string m_folder;
};
