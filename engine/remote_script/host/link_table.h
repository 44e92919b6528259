#pragma once

// The page agents' connections: at most a few that have not presented the token yet, each
// kept as an object until no call of it is under way (closed or not), and the flush that
// sends posted calls together: at the end of a main-loop iteration, and no sooner than
// kPostInterval after the last flush, so a stream of rows costs a message per interval, not
// per row (the UI page draws only a few times a second anyway). On the UI thread only.

#include "engine/remote_script/host/agent_link.h"
#include "engine/remote_script/host/remote_script.h"

#include <glib.h>

#include <map>
#include <memory>
#include <string>

namespace remote_script {

class LinkTable {
 public:
  inline static constexpr gint64 kPostInterval = 40 * G_TIME_SPAN_MILLISECOND;

  // A link for the connection; null (the connection closed) past the number of links
  // waiting for their token.
  AgentLink* Add(int socket);
  AgentLink* Find(uint64_t id);
  // The newest link whose agent presented its token and is still there.
  AgentLink* Newest();
  // Links that closed and have no call under way go.
  void Collect();

  void SetToken(std::string token) { m_token = std::move(token); }
  const std::string& Token() const { return m_token; }
  void SetWaitLimits(int milliseconds);

  void SchedulePostFlush();
  void FlushPosts();
  bool HasPosts() const;

  // Adds the frame counts and stalled pages of the links, those gone included.
  void AddCounts(Statistics& counts) const;

 private:
  std::map<uint64_t, std::unique_ptr<AgentLink>> m_links;
  uint64_t m_nextLink = 1;
  std::string m_token;
  int m_waitMilliseconds = Endpoint::kDefaultWaitMilliseconds;
  GSource* m_postFlush = nullptr;
  gint64 m_lastPostFlush = 0;
  uint64_t m_goneFramesSent = 0;
  uint64_t m_goneFramesReceived = 0;
};

}  // namespace remote_script
