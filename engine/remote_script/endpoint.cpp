#include "engine/remote_script/endpoint.h"

#include <algorithm>
#include <cstdio>

namespace remote_script {

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

Endpoint::CallResult Endpoint::Call(Operation operation, const std::string& arguments,
                                    std::string& reply) {
  const uint32_t sequence = m_nextSequence++;
  if (!m_connection.Send({Kind::kRequest, sequence, operation, arguments}, m_waitMilliseconds)) {
    Close();
    return CallResult::kClosed;
  }
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
      result = CallResult::kTimedOut;
      break;
    }
    if (received == Connection::Result::kMalformed) Drop("a frame that does not decode");
    if (received != Connection::Result::kFrame) break;
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
  if (m_depth == 0 && HasPendingInput()) InputPending();
  return result;
}

bool Endpoint::Notify(Operation operation, const std::string& arguments) {
  if (m_connection.Send({Kind::kRelease, 0, operation, arguments}, m_waitMilliseconds)) return true;
  Close();
  return false;
}

bool Endpoint::ServeAvailable() {
  struct Serving {
    int& count;
    explicit Serving(int& serving) : count(++serving) {}
    ~Serving() { --count; }
  } serving(m_serving);
  for (;;) {
    Frame frame;
    switch (m_connection.Receive(frame, 0)) {
      case Connection::Result::kFrame:
        if (!Handle(frame)) return false;
        break;
      case Connection::Result::kTimeout:
        return true;
      case Connection::Result::kMalformed:
        Drop("a frame that does not decode");
        return false;
      case Connection::Result::kClosed:
        Close();
        return false;
    }
  }
}

bool Endpoint::Handle(const Frame& frame) {
  switch (frame.kind) {
    case Kind::kRequest: {
      std::string reply;
      const bool served = Serve(frame, reply);
      if (!served) Drop("a request that does not decode");
      const bool sent = served && m_connection.IsOpen() &&
                        m_connection.Send({Kind::kReply, frame.sequence, frame.operation, reply},
                                          m_waitMilliseconds);
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
