#include "webview/notification_observer.h"

#include "webview/com_ptr.h"
#include "webview/webkit_window.h"

namespace {

const std::u16string kStarted = u"WebProgressStartedNotification";
const std::u16string kEstimateChanged = u"WebProgressEstimateChangedNotification";
const std::u16string kFinished = u"WebProgressFinishedNotification";

}  // namespace

HRESULT CDefNotificationObserver::onNotification(IWebNotification* notification) {
  if (!notification) return E_POINTER;
  ScopedBstr nameText;
  HRESULT result = notification->name(nameText.Receive());
  const std::u16string name = nameText.Text();
  if (name != kStarted && name != kEstimateChanged && name != kFinished) return result;

  ComPtr<IUnknown> object;
  result = notification->getObject(object.Receive());
  if (FAILED(result) || !object) return result;
  ComPtr<IWebView> webView;
  if (FAILED(object->QueryInterface(IID_IWebView, webView.ReceiveVoid()))) return result;
  CWebKitWindow* window = LookupWindowOfView(webView.Get());
  if (!window) return result;

  if (name == kStarted) {
    window->OnProgressStarted();
  } else if (name == kEstimateChanged) {
    double progress = 0.0;
    result = webView->estimatedProgress(&progress);
    if (FAILED(result)) return result;
    const int percent = static_cast<int>(progress * 100.0);
    if (percent != window->m_lastProgress) {
      window->m_lastProgress = percent;
      window->OnProgressChanged(percent);
    }
  } else {
    window->OnProgressFinished();
  }
  return result;
}
