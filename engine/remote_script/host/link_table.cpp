#include "engine/remote_script/host/link_table.h"

#include "engine/remote_script/host/remote_session.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace remote_script {

AgentLink* LinkTable::Add(int socket) {
  const size_t waiting = std::count_if(m_links.begin(), m_links.end(), [](const auto& entry) {
    return entry.second->IsOpen() && !entry.second->Authenticated();
  });
  if (waiting >= AgentLink::kMaxUnauthenticated) {
    close(socket);
    return nullptr;
  }
  const uint64_t id = m_nextLink++;
  auto link = std::make_unique<AgentLink>(Session::Get(), id, socket);
  link->SetWaitLimit(m_waitMilliseconds);
  link->Watch();
  return m_links.emplace(id, std::move(link)).first->second.get();
}

AgentLink* LinkTable::Find(uint64_t id) {
  const auto found = m_links.find(id);
  return found == m_links.end() ? nullptr : found->second.get();
}

AgentLink* LinkTable::Newest() {
  std::vector<uint64_t> ids;
  for (const auto& [id, link] : m_links) ids.push_back(id);
  for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
    AgentLink* link = Find(*id);
    if (!link) continue;
    // What has arrived is served first, so an agent that has gone is known to be gone.
    pollfd readable{link->Socket(), POLLIN, 0};
    if (link->IsOpen() && (link->HasPendingInput() || poll(&readable, 1, 0) > 0)) {
      link->ServeAvailable();
    }
    if (link->IsOpen() && link->Authenticated()) return link;
  }
  return nullptr;
}

void LinkTable::Collect() {
  // A link whose call or serving is under way is still on the stack.
  for (auto it = m_links.begin(); it != m_links.end();) {
    const AgentLink& link = *it->second;
    if (link.IsOpen() || link.Busy()) {
      ++it;
      continue;
    }
    m_goneFramesSent += link.FramesSent();
    m_goneFramesReceived += link.FramesReceived();
    it = m_links.erase(it);
  }
}

void LinkTable::SetWaitLimits(int milliseconds) {
  m_waitMilliseconds = milliseconds;
  for (const auto& [id, link] : m_links) link->SetWaitLimit(milliseconds);
}

void LinkTable::SchedulePostFlush() {
  if (m_postFlush) return;
  // A source that is never ready: its prepare step runs once per iteration of the main
  // context, after everything the iteration dispatched and before it polls. It sends what
  // was posted when the interval since the last flush is over, or else makes the poll wake
  // up when it is.
  static GSourceFuncs functions = {
      [](GSource*, gint* timeout) {
        LinkTable& links = Session::Get().Links();
        *timeout = -1;
        if (!links.HasPosts()) return gboolean(FALSE);
        const gint64 now = g_get_monotonic_time();
        const gint64 due = links.m_lastPostFlush + kPostInterval;
        if (now < due) {
          *timeout = static_cast<gint>((due - now + 999) / 1000);
        } else {
          links.m_lastPostFlush = now;
          links.FlushPosts();
        }
        return gboolean(FALSE);
      },
      nullptr,
      [](GSource*, GSourceFunc, gpointer) { return gboolean(G_SOURCE_CONTINUE); },
      nullptr,
      nullptr,
      nullptr};
  m_postFlush = g_source_new(&functions, sizeof(GSource));
  // GLib prepares no source of a lower priority than one already ready, and WebKit's are
  // ready at every turn while a page loads: the flush comes first. It is never ready
  // itself, so it takes no turn from them.
  g_source_set_priority(m_postFlush, G_PRIORITY_HIGH);
  g_source_attach(m_postFlush, nullptr);
}

void LinkTable::FlushPosts() {
  for (const auto& [id, link] : m_links) link->FlushPosts();
}

bool LinkTable::HasPosts() const {
  return std::any_of(m_links.begin(), m_links.end(),
                     [](const auto& entry) { return entry.second->HasPosts(); });
}

void LinkTable::AddCounts(Statistics& counts) const {
  counts.framesSent += m_goneFramesSent;
  counts.framesReceived += m_goneFramesReceived;
  for (const auto& [id, link] : m_links) {
    counts.framesSent += link->FramesSent();
    counts.framesReceived += link->FramesReceived();
    counts.stalledPages += link->IsOpen() && link->Stalled() ? 1 : 0;
  }
}

}  // namespace remote_script
