#pragma once

// One end of a stream socket that carries frames. Reading is buffered, so a frame may arrive
// in pieces or several at once. Writing is queued: a frame goes into the output queue and
// as much of the queue as the socket takes is written at once; the rest waits for the next
// write or for a wait, which writes whenever the socket takes more. The socket is
// non-blocking; waits use poll() with a limit. Used on one thread only.

#include "engine/remote_script/protocol/protocol.h"

#include <string>

namespace remote_script {

class Connection {
 public:
  // Takes over the connected socket.
  explicit Connection(int socket);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  enum class Result { kFrame, kTimeout, kClosed, kMalformed, kOverLimit };
  // The next frame, waiting at most the milliseconds given (0: only what has arrived).
  // Queued output is written meanwhile.
  Result Receive(Frame& frame, int timeoutMilliseconds);
  // Queues the frame and writes what the socket takes now; false (and closed) when the peer
  // is gone.
  bool Queue(const Frame& frame);
  // Writes what the socket takes now; false (and closed) when the peer is gone.
  bool WriteSome();
  // Writes the whole queue; false (and closed) when the peer is gone or takes nothing for
  // the milliseconds given.
  bool Drain(int timeoutMilliseconds);
  void Close();
  bool IsOpen() const { return m_socket >= 0; }
  // Whether bytes have been read that no frame has taken yet.
  bool HasBufferedInput() const { return m_inputOffset < m_input.size(); }
  // Whether queued bytes wait for the socket.
  bool HasQueuedOutput() const { return m_outputOffset < m_output.size(); }
  size_t BufferedInputSize() const { return m_input.size() - m_inputOffset; }
  int Socket() const { return m_socket; }
  // A peer that makes this side buffer more unread input than the limit is dropped
  // (0: no limit).
  void SetInputLimit(size_t bytes) { m_inputLimit = bytes; }

 private:
  // Reads what the socket has; false when it closed or failed, or the input went over the
  // limit (m_overLimit).
  bool Fill();

  int m_socket;
  // Both buffers are consumed from the front up to their offset, and compacted once that
  // is half of them, so many small frames cost no quadratic copying.
  std::string m_input;
  size_t m_inputOffset = 0;
  std::string m_output;
  size_t m_outputOffset = 0;
  size_t m_inputLimit = 0;
  bool m_overLimit = false;
};

}  // namespace remote_script
