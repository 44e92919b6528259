#include "engine/testing/sim_download.h"

#include "engine/testing/engine_state.h"
#include "engine/testing/scheduler.h"
#include "engine/testing/sim_objects.h"
#include "platform/text.h"

#include <cstdlib>

namespace sim {
namespace {

// The response of that address, or of the redirect hop with that address (its index in
// `hop`).
const Response* FindResponse(const std::u16string& url, size_t& hop) {
  for (const auto& [address, page] : State().pages) {
    for (const Response& response : page.responses) {
      hop = response.redirects.size();
      if (response.url == url) return &response;
      for (hop = 0; hop < response.redirects.size(); ++hop) {
        if (response.redirects[hop].url == url) return &response;
      }
    }
  }
  return nullptr;
}

// The value of a header line, or empty.
std::u16string Field(const std::u16string& lines, const std::u16string& name) {
  const size_t at = lines.find(name + u": ");
  if (at == std::u16string::npos) return std::u16string();
  const size_t start = at + name.size() + 2;
  return lines.substr(start, lines.find(u"\r\n", start) - start);
}

// The part "Range: bytes=first-last" asks for; false without one.
bool RangeOf(const std::u16string& headers, size_t size, size_t& first, size_t& last) {
  const std::string range = platform::Utf8(Field(headers, u"Range"));
  if (range.rfind("bytes=", 0) != 0) return false;
  char* end = nullptr;
  first = std::strtoull(range.c_str() + 6, &end, 10);
  last = *end == '-' && end[1] ? std::strtoull(end + 1, nullptr, 10) : size - 1;
  return first < size;
}

}  // namespace

void TellBody(unsigned long identifier, const std::string* body,
              IWebResourceBodyListener* listener) {
  Scheduler::Get().After(1, [identifier, kept = body ? *body : std::string(), none = !body,
                             heard = ComPtr<IWebResourceBodyListener>::Share(listener)] {
    heard->didReceiveBody(identifier, none ? nullptr : kept.data(), static_cast<UINT>(kept.size()));
  });
}

void SimDownload::Respond(int status, long long length, const std::u16string& headers) {
  Scheduler::Get().After(1, [self = ComPtr<SimDownload>::Share(this), status, length, headers] {
    ScopedBstr lines(headers);
    if (auto delegate = self->Delegate()) {
      delegate->didReceiveResponse(self.Get(), status, length, lines.Get());
    }
  });
}

void SimDownload::Fail(const std::u16string& url, int after) {
  Scheduler::Get().After(after, [self = ComPtr<SimDownload>::Share(this), url] {
    auto error = ComPtr<SimError>::Adopt(new SimError(u"Not found", url));
    if (auto delegate = self->Delegate()) delegate->didFailWithError(self.Get(), error.Get());
  });
}

void SimDownload::Start(const SimURLRequest& request) {
  State().records.downloads.push_back(
      {request.m_url, request.m_headers, request.m_mainDocument, request.m_handlesCookies});
  size_t hop = 0;
  const Response* response = FindResponse(request.m_url, hop);
  auto self = ComPtr<SimDownload>::Share(this);
  if (!response || !response->error.empty()) return Fail(request.m_url);
  if (hop < response->redirects.size()) {
    const std::u16string next =
        hop + 1 < response->redirects.size() ? response->redirects[hop + 1].url : response->url;
    Respond(response->redirects[hop].status, 0, u"Location: " + next + u"\r\n");
  } else {
    std::string body = response->body;
    int status = response->status;
    std::u16string headers = response->headers;
    size_t first = 0;
    size_t last = 0;
    if (!response->ignoresRange && RangeOf(request.m_headers, body.size(), first, last)) {
      last = std::min(last, body.size() - 1);
      headers += u"Content-Range: bytes " +
                 platform::Utf16(std::to_string(first) + "-" + std::to_string(last) + "/" +
                                 std::to_string(body.size())) +
                 u"\r\n";
      body = body.substr(first, last - first + 1);
      status = 206;
    }
    const bool decoded = !Field(headers, u"Content-Encoding").empty();
    Respond(status, decoded ? -1 : static_cast<long long>(body.size()), headers);
    if (State().downloadsDropped[request.m_url]++ < response->downloadsDropped) {
      const std::string part = body.substr(0, body.size() / 2);
      Scheduler::Get().After(2, [self, part] {
        if (auto delegate = self->Delegate()) {
          delegate->didReceiveData(self.Get(), part.data(), static_cast<UINT>(part.size()));
        }
      });
      return Fail(request.m_url, 3);
    }
    if (response->endsAfter >= 0) body = body.substr(0, response->endsAfter);
    const size_t half = body.size() / 2;
    for (const std::string& part : {body.substr(0, half), body.substr(half)}) {
      Scheduler::Get().After(2, [self, part] {
        if (auto delegate = self->Delegate()) {
          delegate->didReceiveData(self.Get(), part.data(), static_cast<UINT>(part.size()));
        }
      });
    }
  }
  Scheduler::Get().After(3, [self] {
    if (auto delegate = self->Delegate()) delegate->didFinish(self.Get());
  });
}

HRESULT SimDownload::cancel() {
  m_delegate.Reset();
  return S_OK;
}

}  // namespace sim
