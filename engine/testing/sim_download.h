#pragma once

// Downloads and kept bodies in the simulated engine: both come from the scenario's responses
// (the first response of any page with that address), a step of virtual time apart.

#include "engine/com_object.h"
#include "webview/com_ptr.h"

#include <string>

namespace sim {

class SimURLRequest;

// Tells the listener the body (null for none) a step later.
void TellBody(unsigned long identifier, const std::string* body,
              IWebResourceBodyListener* listener);

class SimDownload : public engine::ComObject<IWebDownload> {
 public:
  explicit SimDownload(IWebDownloadDelegate* delegate)
      : m_delegate(ComPtr<IWebDownloadDelegate>::Share(delegate)) {}
  // Records the request and plays its answer: a redirect hop's 3xx and the end, or the
  // response (206 and the part a Range asks for), the body in two parts and the end. An
  // address no scenario names fails.
  void Start(const SimURLRequest& request);
  HRESULT cancel() override;

 private:
  // The delegate, held for a call (which may cancel): null once cancelled.
  ComPtr<IWebDownloadDelegate> Delegate() const {
    return ComPtr<IWebDownloadDelegate>::Share(m_delegate.Get());
  }
  void Respond(int status, long long length, const std::u16string& headers);
  void Fail(const std::u16string& url, int after = 1);

  ComPtr<IWebDownloadDelegate> m_delegate;
};

}  // namespace sim
