#pragma once

// A side of the protocol over one connection: synchronous calls that serve, while they
// wait, the requests and notices the other side sends meanwhile (so calls nest both ways),
// one-way notices, and serving at idle. A wait ends when no frame came for the wait limit;
// the other side is then stalled until a frame of it arrives. A malformed frame closes the
// connection, logged once; a frame too long for the other side is never sent, and the
// operation that would have sent it fails instead. Used on one thread only.
//
// Writes are queued. A side that may wait for its peer (the page agent, whose page waits
// anyway) finishes each write within the wait limit; a side that must never wait
// (Trawler) writes what the socket takes and is told when the rest waits (OutputPending).

#include "engine/remote_script/protocol/connection.h"

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

  enum class CallResult { kReplied, kTimedOut, kClosed, kTooLarge };
  // Sends the request and waits for its reply, whose payload lands in reply.
  CallResult Call(Operation operation, const std::string& arguments, std::string& reply);
  // Sends a one-way notice; false when the connection is gone or the notice is too long.
  bool Notify(Operation operation, const std::string& arguments);
  // Serves the frames that have arrived (and work put off until now), without waiting;
  // false once the connection is gone.
  bool ServeAvailable();
  // Writes queued output the socket takes now; false once the connection is gone.
  bool WriteQueued();
  void Close();

  bool IsOpen() const { return m_connection.IsOpen(); }
  // Frames that arrived behind a reply wait in the buffer, where the socket's readiness no
  // longer shows them, and work may have been put off: the host serves them when this says
  // so.
  bool HasPendingInput() const { return m_connection.HasBufferedInput() || HasDeferredWork(); }
  bool HasQueuedOutput() const { return m_connection.HasQueuedOutput(); }
  int Socket() const { return m_connection.Socket(); }
  void SetWaitLimit(int milliseconds) { m_waitMilliseconds = milliseconds; }
  // See Connection::SetInputLimit.
  void SetInputLimit(size_t bytes) { m_connection.SetInputLimit(bytes); }
  // Writes never wait for the peer; the rest of a write waits for OutputPending's host.
  void SetNonBlockingWrites() { m_nonBlockingWrites = true; }
  // The peer let a call wait past the limit and has sent nothing since.
  bool Stalled() const { return m_stalled; }
  // Whether a call or serving is under way, so the endpoint must not go.
  bool Busy() const { return m_depth > 0 || m_serving > 0; }
  // Frames sent and received so far.
  uint64_t FramesSent() const { return m_framesSent; }
  uint64_t FramesReceived() const { return m_framesReceived; }

 protected:
  // Answers a request: true with the reply's payload, false when the request does not
  // decode (the connection is then closed).
  virtual bool Serve(const Frame& request, std::string& reply) = 0;
  // Takes a notice; false when it does not decode.
  virtual bool Notice(const Frame& notice) = 0;
  // Work a side put off while a call waited: whether there is some, and doing it (called
  // when no call waits).
  virtual bool HasDeferredWork() const { return false; }
  virtual void RunDeferredWork() {}
  // Told when a call returns with frames left in the buffer or work put off (see
  // HasPendingInput).
  virtual void InputPending() {}
  // Told when queued output waits for the socket to take more (non-blocking writes only).
  virtual void OutputPending() {}
  // Told after each request has been served and its reply sent (or the connection lost).
  virtual void Served() {}
  // Told once, when the connection has gone (closed by either side or found malformed).
  virtual void Closed() {}
  // Writes a line of diagnostics; standard error unless a side says otherwise.
  virtual void Log(const std::string& line);
  // Closes the connection for the reason, logged once.
  void Drop(const std::string& why);
  // Calls waiting for their reply now.
  int Depth() const { return m_depth; }

 private:
  // Handles a frame that is not the awaited reply; false when the connection went.
  bool Handle(const Frame& frame);
  // Queues a frame and writes it as this side writes; false when the connection went.
  bool Transmit(const Frame& frame);
  // Closes the connection after a receive that gave no frame, saying why when it was the
  // other side's fault.
  void Refused(Connection::Result received);

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
  bool m_nonBlockingWrites = false;
  bool m_stalled = false;
  uint64_t m_framesSent = 0;
  uint64_t m_framesReceived = 0;
};

// Whether a frame with a payload of this many bytes is short enough for the other side.
bool FitsInFrame(size_t payloadBytes);

}  // namespace remote_script
