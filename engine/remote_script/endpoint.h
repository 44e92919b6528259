#pragma once

// A side of the protocol over one connection: synchronous calls that serve, while they
// wait, the requests and notices the other side sends meanwhile (so calls nest both ways),
// and serving at idle. A wait ends when no frame came for the wait limit. A malformed
// frame closes the connection, logged once. Used on one thread only.

#include "engine/remote_script/connection.h"

#include <map>
#include <string>
#include <vector>

namespace remote_script {

class Endpoint {
 public:
  inline static constexpr int kDefaultWaitMilliseconds = 5000;

  explicit Endpoint(int socket);
  virtual ~Endpoint();
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  enum class CallResult { kReplied, kTimedOut, kClosed };
  // Sends the request and waits for its reply, whose payload lands in reply.
  CallResult Call(Operation operation, const std::string& arguments, std::string& reply);
  // Sends a one-way notice; false when the connection is gone.
  bool Notify(Operation operation, const std::string& arguments);
  // Serves the frames that have arrived, without waiting; false once the connection is gone.
  bool ServeAvailable();
  void Close();

  bool IsOpen() const { return m_connection.IsOpen(); }
  // Frames that arrived behind a reply wait in the buffer, where the socket's readiness no
  // longer shows them: the host serves them when this says so.
  bool HasPendingInput() const { return m_connection.HasBufferedInput(); }
  int Socket() const { return m_connection.Socket(); }
  void SetWaitLimit(int milliseconds) { m_waitMilliseconds = milliseconds; }
  // Calls waiting for their reply now.
  int Depth() const { return m_depth; }
  // Whether a call or serving is under way, so the endpoint must not go.
  bool Busy() const { return m_depth > 0 || m_serving > 0; }

 protected:
  // Answers a request: true with the reply's payload, false when the request does not
  // decode (the connection is then closed).
  virtual bool Serve(const Frame& request, std::string& reply) = 0;
  // Takes a notice; false when it does not decode.
  virtual bool Notice(const Frame& notice) = 0;
  // Told when a call returns with frames left in the buffer (see HasPendingInput).
  virtual void InputPending() {}
  // Told after each request has been served and its reply sent (or the connection lost).
  virtual void Served() {}
  // Told once, when the connection has gone (closed by either side or found malformed).
  virtual void Closed() {}
  // Writes a line of diagnostics; standard error unless a side says otherwise.
  virtual void Log(const std::string& line);
  // Closes the connection for the reason, logged once.
  void Drop(const std::string& why);

 private:
  // Handles a frame that is not the awaited reply; false when the connection went.
  bool Handle(const Frame& frame);

  Connection m_connection;
  uint32_t m_nextSequence = 1;
  // Calls waiting, innermost last. When both sides call at once, the answer to an outer
  // call may come while an inner one waits; it is kept for the outer call.
  std::vector<uint32_t> m_waiting;
  std::map<uint32_t, std::string> m_earlyReplies;
  int m_waitMilliseconds = kDefaultWaitMilliseconds;
  int m_depth = 0;
  int m_serving = 0;
  bool m_closedTold = false;
};

}  // namespace remote_script
