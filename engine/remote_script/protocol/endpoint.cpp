#include "engine/remote_script/protocol/endpoint.h"

#include <algorithm>
#include <cstdio>

namespace remote_script {

bool FitsInFrame(size_t payloadBytes) {
  return payloadBytes <= kMaxFrameLength - (kFrameHeaderLength - 4);
}

Endpoint::Endpoint(int socket) : m_connection(socket) {}

Endpoint::~Endpoint() = default;

void Endpoint::Log(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

void Endpoint::Close() {
  if (!m_connection.IsOpen() && m_closedTold) return;
  m_connection.Close();
  if (!m_closedTold) {
    m_closedTold = true;
    Closed();
  }
}

void Endpoint::Drop(const std::string& why) {
  if (m_connection.IsOpen()) Log("trawler: script connection closed: " + why);
  Close();
}

bool Endpoint::Transmit(const Frame& frame) {
  ++m_framesSent;
  const bool sent =
      m_connection.Queue(frame) && (m_nonBlockingWrites || m_connection.Drain(m_waitMilliseconds));
  if (!sent) {
    Close();
    return false;
  }
  if (m_connection.HasQueuedOutput()) OutputPending();
  return true;
}

bool Endpoint::WriteQueued() {
  if (m_connection.WriteSome()) return true;
  Close();
  return false;
}

Endpoint::CallResult Endpoint::Call(Operation operation, const std::string& arguments,
                                    std::string& reply) {
  if (!FitsInFrame(arguments.size())) return CallResult::kTooLarge;
  const uint32_t sequence = m_nextSequence++;
  if (!Transmit({Kind::kRequest, sequence, operation, arguments})) return CallResult::kClosed;
  ++m_depth;
  m_waiting.push_back(sequence);
  CallResult result = CallResult::kClosed;
  for (;;) {
    const auto early = m_earlyReplies.find(sequence);
    if (early != m_earlyReplies.end()) {
      reply = std::move(early->second);
      m_earlyReplies.erase(early);
      result = CallResult::kReplied;
      break;
    }
    Frame frame;
    const Connection::Result received = m_connection.Receive(frame, m_waitMilliseconds);
    if (received == Connection::Result::kTimeout) {
      m_stalled = true;
      result = CallResult::kTimedOut;
      break;
    }
    if (received != Connection::Result::kFrame) {
      Refused(received);
      break;
    }
    m_stalled = false;
    ++m_framesReceived;
    if (frame.kind == Kind::kReply && frame.sequence == sequence) {
      reply = std::move(frame.payload);
      result = CallResult::kReplied;
      break;
    }
    if (!Handle(frame)) break;
  }
  m_waiting.pop_back();
  --m_depth;
  if (result == CallResult::kClosed) Close();
  if (m_depth == 0 && IsOpen() && HasPendingInput()) InputPending();
  return result;
}

bool Endpoint::Notify(Operation operation, const std::string& arguments) {
  return FitsInFrame(arguments.size()) && Transmit({Kind::kRelease, 0, operation, arguments});
}

bool Endpoint::ServeAvailable() {
  struct Serving {
    int& count;
    explicit Serving(int& serving) : count(++serving) {}
    ~Serving() { --count; }
  } serving(m_serving);
  if (!WriteQueued()) return false;
  if (m_depth == 0 && HasDeferredWork()) RunDeferredWork();
  for (;;) {
    Frame frame;
    const Connection::Result received = m_connection.Receive(frame, 0);
    switch (received) {
      case Connection::Result::kFrame:
        m_stalled = false;
        ++m_framesReceived;
        if (!Handle(frame)) return false;
        break;
      case Connection::Result::kTimeout:
        if (m_connection.HasQueuedOutput()) OutputPending();
        return IsOpen();
      default:
        Refused(received);
        return false;
    }
  }
}

void Endpoint::Refused(Connection::Result received) {
  if (received == Connection::Result::kMalformed) Drop("a frame that does not decode");
  if (received == Connection::Result::kOverLimit)
    Log("trawler: script connection closed: more input than the connection allows");
  Close();
}

bool Endpoint::Handle(const Frame& frame) {
  switch (frame.kind) {
    case Kind::kRequest: {
      std::string reply;
      const bool served = Serve(frame, reply);
      if (!served) Drop("a request that does not decode");
      // An answer too long for the other side goes as one that does not decode, which
      // fails the call there and keeps the connection.
      if (!FitsInFrame(reply.size())) reply.clear();
      const bool sent =
          served && IsOpen() && Transmit({Kind::kReply, frame.sequence, frame.operation, reply});
      Served();
      if (!sent) Close();
      return sent;
    }
    case Kind::kRelease:
      if (Notice(frame)) return true;
      Drop("a notice that does not decode");
      return false;
    case Kind::kReply:
      // An outer call's answer waits for it; that of a call that gave up is dropped.
      if (std::find(m_waiting.begin(), m_waiting.end(), frame.sequence) != m_waiting.end()) {
        m_earlyReplies[frame.sequence] = frame.payload;
      }
      return true;
  }
  return true;
}

}  // namespace remote_script
