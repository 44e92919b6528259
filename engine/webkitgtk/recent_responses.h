#pragma once

// The MIME type and announced length of recent complete HTTP responses, by URL. A web
// process revalidates what its memory cache holds itself and reports the server's 304 as
// the response, which says neither; the page got the cached response the 304 confirmed,
// and this is where its type and length are found again. Bounded: the oldest entries go
// first once there are kMaxEntries or their URLs take kMaxUrlBytes.

#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>

namespace webkitgtk {

class RecentResponses {
 public:
  struct Response {
    std::u16string mimeType;
    long long length = -1;
  };

  static constexpr size_t kMaxEntries = 4096;
  static constexpr size_t kMaxUrlBytes = 8 << 20;

  static RecentResponses& Get();

  void Remember(const std::string& url, const Response& response);
  // The response remembered for the URL, or null.
  const Response* Recall(const std::string& url) const;

 private:
  void ForgetOldest();

  std::unordered_map<std::string, Response> m_responses;
  std::deque<std::string> m_order;  // each remembered URL once, oldest first
  size_t m_urlBytes = 0;
};

}  // namespace webkitgtk
