#include "engine/remote_script/connection.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace remote_script {

Connection::Connection(int socket) : m_socket(socket) {
  if (m_socket >= 0) fcntl(m_socket, F_SETFL, fcntl(m_socket, F_GETFL) | O_NONBLOCK);
}

Connection::~Connection() { Close(); }

void Connection::Close() {
  if (m_socket >= 0) close(m_socket);
  m_socket = -1;
  m_input.clear();
}

bool Connection::Fill() {
  char buffer[65536];
  for (;;) {
    const ssize_t count = recv(m_socket, buffer, sizeof buffer, 0);
    if (count > 0) {
      m_input.append(buffer, static_cast<size_t>(count));
      if (static_cast<size_t>(count) < sizeof buffer) return true;
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
}

Connection::Result Connection::Receive(Frame& frame, int timeoutMilliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  for (;;) {
    if (m_socket < 0) return Result::kClosed;
    size_t used = 0;
    switch (DecodeFrame(m_input, frame, used)) {
      case DecodeResult::kFrame:
        m_input.erase(0, used);
        return Result::kFrame;
      case DecodeResult::kMalformed:
        return Result::kMalformed;
      case DecodeResult::kIncomplete:
        break;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd readable{m_socket, POLLIN, 0};
    const int ready = poll(&readable, 1, left > 0 ? static_cast<int>(left) : 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return Result::kTimeout;
    if (ready < 0 || !Fill()) {
      Close();
      return Result::kClosed;
    }
  }
}

bool Connection::Send(const Frame& frame, int timeoutMilliseconds) {
  const std::string bytes = EncodeFrame(frame);
  for (size_t sent = 0; sent < bytes.size();) {
    if (m_socket < 0) return false;
    const ssize_t count = send(m_socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count > 0) {
      sent += static_cast<size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    // A peer that takes nothing for the whole wait is as good as gone.
    pollfd writable{m_socket, POLLOUT, 0};
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        poll(&writable, 1, timeoutMilliseconds) > 0) {
      continue;
    }
    Close();
    return false;
  }
  return true;
}

}  // namespace remote_script
