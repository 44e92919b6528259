#pragma once

// One page agent's connection, seen from Trawler: it serves what the agent asks (its
// token, window objects, calls of native functions) and carries posted calls to it in
// batches. On the UI thread only.

#include "engine/remote_script/protocol/endpoint.h"

#include <cstdint>
#include <string>

namespace remote_script {

class Session;

// One page agent's connection. Its first request must present the token, within
// kHelloMilliseconds and kHelloBytes; until then the link is one of at most
// kMaxUnauthenticated.
class AgentLink : public Endpoint {
 public:
  inline static constexpr int kHelloMilliseconds = 5000;
  inline static constexpr size_t kHelloBytes = 4096;
  inline static constexpr size_t kMaxUnauthenticated = 8;

  AgentLink(Session& session, uint64_t id, int socket);
  ~AgentLink() override;
  uint64_t Id() const { return m_id; }
  bool Authenticated() const { return m_authenticated; }
  void Watch();
  // Adds one encoded call to the posts that go with the next flush; false when the link is
  // gone or the call is too long to send.
  bool PostCall(const std::string& call);
  // Sends the posted calls, all in one frame (or more, when they are very long).
  void FlushPosts();
  bool HasPosts() const { return m_postCount > 0; }

 protected:
  bool Serve(const Frame& request, std::string& reply) override;
  bool Notice(const Frame& notice) override;
  void InputPending() override;
  void OutputPending() override;
  void Served() override;
  void Closed() override;
  void Log(const std::string& line) override;

 private:
  bool Hello(Reader& reader, std::string& reply);
  bool WindowObjectCleared(Reader& reader);
  bool Forwarded(Operation operation, Reader& reader, std::string& reply);
  bool PostedCallFailed(Reader& reader);

  Session& m_session;
  uint64_t m_id;
  bool m_authenticated = false;
  unsigned m_watch = 0;
  unsigned m_outputWatch = 0;
  unsigned m_helloDeadline = 0;
  std::string m_posts;
  uint32_t m_postCount = 0;
};

}  // namespace remote_script
