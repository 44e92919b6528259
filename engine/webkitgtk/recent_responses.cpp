#include "engine/webkitgtk/recent_responses.h"

namespace webkitgtk {

RecentResponses& RecentResponses::Get() {
  static RecentResponses* recent = new RecentResponses();
  return *recent;
}

void RecentResponses::Remember(const std::string& url, const Response& response) {
  if (url.size() > kMaxUrlBytes) return;
  const auto [entry, added] = m_responses.insert_or_assign(url, response);
  if (!added) return;
  m_order.push_back(url);
  m_urlBytes += url.size();
  while (m_responses.size() > kMaxEntries || m_urlBytes > kMaxUrlBytes) ForgetOldest();
}

void RecentResponses::ForgetOldest() {
  m_responses.erase(m_order.front());
  m_urlBytes -= m_order.front().size();
  m_order.pop_front();
}

const RecentResponses::Response* RecentResponses::Recall(const std::string& url) const {
  const auto found = m_responses.find(url);
  return found == m_responses.end() ? nullptr : &found->second;
}

}  // namespace webkitgtk
