#pragma once

// One end of a stream socket that carries frames. Reading is buffered, so a frame may arrive
// in pieces or several at once. The socket is non-blocking; waits use poll() with a limit.
// Used on one thread only.

#include "engine/remote_script/protocol.h"

#include <string>

namespace remote_script {

class Connection {
 public:
  // Takes over the connected socket.
  explicit Connection(int socket);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  enum class Result { kFrame, kTimeout, kClosed, kMalformed };
  // The next frame, waiting at most the milliseconds given (0: only what has arrived).
  Result Receive(Frame& frame, int timeoutMilliseconds);
  // Writes the whole frame; false (and closed) when the peer is gone or takes nothing for
  // the milliseconds given.
  bool Send(const Frame& frame, int timeoutMilliseconds);
  void Close();
  bool IsOpen() const { return m_socket >= 0; }
  // Whether bytes have been read that no frame has taken yet.
  bool HasBufferedInput() const { return !m_input.empty(); }
  int Socket() const { return m_socket; }

 private:
  // Reads what the socket has; false when it closed or failed.
  bool Fill();

  int m_socket;
  std::string m_input;
};

}  // namespace remote_script
