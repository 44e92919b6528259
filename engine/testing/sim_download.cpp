#include "engine/testing/sim_download.h"

#include "engine/testing/engine_state.h"
#include "engine/testing/scheduler.h"
#include "engine/testing/sim_objects.h"

namespace sim {
namespace {

const Response* FindResponse(const std::u16string& url) {
  for (const auto& [address, page] : State().pages) {
    for (const Response& response : page.responses) {
      if (response.url == url) return &response;
    }
  }
  return nullptr;
}

}  // namespace

void TellBody(unsigned long identifier, const std::string* body,
              IWebResourceBodyListener* listener) {
  Scheduler::Get().After(1, [identifier, kept = body ? *body : std::string(), none = !body,
                             heard = ComPtr<IWebResourceBodyListener>::Share(listener)] {
    heard->didReceiveBody(identifier, none ? nullptr : kept.data(), static_cast<UINT>(kept.size()));
  });
}

void SimDownload::Start(const std::u16string& url) {
  const Response* response = FindResponse(url);
  auto self = ComPtr<SimDownload>::Share(this);
  if (!response || !response->error.empty()) {
    Scheduler::Get().After(1, [self, url] {
      auto error = ComPtr<SimError>::Adopt(new SimError(u"Not found", url));
      if (auto delegate = self->Delegate()) delegate->didFailWithError(self.Get(), error.Get());
    });
    return;
  }
  const std::string body = response->body;
  const size_t half = body.size() / 2;
  const int status = response->status;
  Scheduler::Get().After(1, [self, status, size = body.size()] {
    if (auto delegate = self->Delegate()) {
      delegate->didReceiveResponse(self.Get(), status, static_cast<long long>(size));
    }
  });
  for (const std::string& part : {body.substr(0, half), body.substr(half)}) {
    Scheduler::Get().After(2, [self, part] {
      if (auto delegate = self->Delegate()) {
        delegate->didReceiveData(self.Get(), part.data(), static_cast<UINT>(part.size()));
      }
    });
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
