#include "engine/remote_script/protocol/connection.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace remote_script {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Drops the consumed front of a buffer once it is half of it.
void Compact(std::string& buffer, size_t& offset) {
  if (offset == buffer.size()) {
    buffer.clear();
    offset = 0;
  } else if (offset > buffer.size() / 2) {
    buffer.erase(0, offset);
    offset = 0;
  }
}

}  // namespace

Connection::Connection(int socket) : m_socket(socket) {
  if (m_socket >= 0) fcntl(m_socket, F_SETFL, fcntl(m_socket, F_GETFL) | O_NONBLOCK);
}

Connection::~Connection() { Close(); }

void Connection::Close() {
  if (m_socket >= 0) close(m_socket);
  m_socket = -1;
  m_input.clear();
  m_output.clear();
  m_inputOffset = m_outputOffset = 0;
}

bool Connection::Fill() {
  char buffer[65536];
  for (;;) {
    const ssize_t count = recv(m_socket, buffer, sizeof buffer, 0);
    if (count > 0) {
      m_input.append(buffer, static_cast<size_t>(count));
      if (m_inputLimit && BufferedInputSize() > m_inputLimit) {
        m_overLimit = true;
        return false;
      }
      if (static_cast<size_t>(count) < sizeof buffer) return true;
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
}

Connection::Result Connection::Receive(Frame& frame, int timeoutMilliseconds) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  for (;;) {
    if (m_socket < 0) return Result::kClosed;
    size_t used = 0;
    const std::string_view unread = std::string_view(m_input).substr(m_inputOffset);
    switch (DecodeFrame(unread, frame, used)) {
      case DecodeResult::kFrame:
        m_inputOffset += used;
        Compact(m_input, m_inputOffset);
        return Result::kFrame;
      case DecodeResult::kMalformed:
        return Result::kMalformed;
      case DecodeResult::kIncomplete:
        break;
    }
    pollfd ready{m_socket, short(POLLIN | (HasQueuedOutput() ? POLLOUT : 0)), 0};
    const int count = poll(&ready, 1, MillisecondsLeft(deadline));
    if (count < 0 && errno == EINTR) continue;
    if (count == 0) return Result::kTimeout;
    const bool failed = count < 0 || ((ready.revents & POLLOUT) && !WriteSome()) ||
                        ((ready.revents & (POLLIN | POLLHUP | POLLERR)) && !Fill());
    if (failed) {
      const bool overLimit = m_overLimit;
      Close();
      return overLimit ? Result::kOverLimit : Result::kClosed;
    }
  }
}

bool Connection::Queue(const Frame& frame) {
  if (m_socket < 0) return false;
  AppendFrame(m_output, frame);
  return WriteSome();
}

bool Connection::WriteSome() {
  while (m_socket >= 0 && HasQueuedOutput()) {
    const ssize_t count = send(m_socket, m_output.data() + m_outputOffset,
                               m_output.size() - m_outputOffset, MSG_NOSIGNAL);
    if (count > 0) {
      m_outputOffset += static_cast<size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    Close();
    return false;
  }
  Compact(m_output, m_outputOffset);
  return m_socket >= 0;
}

bool Connection::Drain(int timeoutMilliseconds) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  while (WriteSome() && HasQueuedOutput()) {
    // A peer that takes nothing for the whole wait is as good as gone.
    pollfd writable{m_socket, POLLOUT, 0};
    const int count = poll(&writable, 1, MillisecondsLeft(deadline));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      Close();
      return false;
    }
  }
  return m_socket >= 0;
}

}  // namespace remote_script
