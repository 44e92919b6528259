#include "finder/preview.h"

#include "app/my_app.h"
#include "finder/records/data_url.h"
#include "finder/result_reporting.h"
#include "finder/saves/fetch_context.h"
#include "finder/text/base64.h"
#include "finder/text/web_address.h"

#include <string_view>

namespace {

// Tells the page the preview of a row, unless another row's was asked for meanwhile.
void Tell(uint32_t row, const std::string& mimeType, std::string_view bytes, bool whole,
          const std::string& error) {
  if (!g_pApp || g_pApp->m_localWindow.m_preview.row != row) return;
  g_pApp->m_localWindow.m_preview.fetch.Reset();
  Json::Value ready(Json::objectValue);
  ready["id"] = row;
  ready["ok"] = error.empty();
  ready["error"] = error;
  ready["mimeType"] = mimeType;
  ready["whole"] = whole;
  ready["bytes"] = static_cast<Json::UInt64>(bytes.size());
  ready["data"] = error.empty() ? Base64Encoded(bytes) : std::string();
  TellPage("previewReady", ready);
}

// Why the row's address cannot be fetched again; empty when it can.
std::string AddressRefusal(const RequestRecord& row) {
  if (row.url.rfind("blob:", 0) == 0) return "A blob: address exists only inside its page";
  if (!IsHttpAddress(row.url)) return "Only web (http, https) and data: addresses can be fetched";
  return std::string();
}

// The first kPreviewBytes of the row's body, fetched through the main browsing window's
// session.
void FetchPreview(const RequestRecord& row, FinderState& state, Preview& preview) {
  if (row.method != "GET") {
    return Tell(row.id, row.mimeType, {}, true,
                "The engine kept no copy of the answer to this " + row.method +
                    ", and fetching it again would send a GET");
  }
  const uint32_t id = row.id;
  const std::string mimeType = row.mimeType;
  IWebView* view = g_pApp ? g_pApp->m_myWindow.m_webView : nullptr;
  preview.fetch =
      FetchStart(view, RowFetch(state, row), kPreviewBytes,
                 [id, mimeType](const std::string& bytes, bool whole, const std::string& error) {
                   Tell(id, mimeType, bytes, whole, error);
                 });
}

// The view of the browsing window with this number (0: the main one), or null.
IWebView* ViewOfWindow(int number) {
  if (!g_pApp) return nullptr;
  if (number == 0) return g_pApp->m_myWindow.m_webView;
  for (CMyWindow* window : g_pApp->m_popupWindows) {
    if (window && window->m_resourceLoadDelegate.m_window == number) return window->m_webView;
  }
  return nullptr;
}

// Hears the body the engine kept, or that it kept none: then the body is fetched.
class CPreviewBody : public CCountedListener<IWebResourceBodyListener> {
 public:
  explicit CPreviewBody(uint32_t row) : m_row(row) {}

  HRESULT didReceiveBody(unsigned long, const char* bytes, UINT length) override {
    if (!g_pApp) return S_OK;
    CLocalWindow& window = g_pApp->m_localWindow;
    const RequestRecord* row = FindRecord(window, m_row);
    if (!row || window.m_preview.row != m_row) return S_OK;
    if (bytes) {
      Tell(m_row, row->mimeType, std::string_view(bytes, length), true, std::string());
    } else {
      FetchPreview(*row, window, window.m_preview);
    }
    return S_OK;
  }

 private:
  uint32_t m_row;
};

// Asks the row's view for the body it kept; false when there is no view to ask.
bool AskKeptBody(const RequestRecord& row) {
  IWebView* view = ViewOfWindow(row.window);
  ComPtr<IWebViewPrivate> engine;
  if (!view || !row.identifier ||
      FAILED(view->QueryInterface(IID_IWebViewPrivate, engine.ReceiveVoid())) || !engine) {
    return false;
  }
  auto listener = ComPtr<CPreviewBody>::Adopt(new CPreviewBody(row.id));
  return SUCCEEDED(engine->resourceBodyForIdentifier(
      row.identifier, static_cast<UINT>(kPreviewBytes), listener.Get()));
}

}  // namespace

Preview::~Preview() {
  if (fetch) fetch->Cancel();
}

int RequestPreview(const Json::Value& params, FinderState& state, Preview& preview,
                   Json::Value& answer) {
  const RequestRecord* row =
      params["id"].isUInt() ? FindRecord(state, params["id"].asUInt()) : nullptr;
  if (!row || row->blocked) return 0;
  if (preview.fetch) std::exchange(preview.fetch, {})->Cancel();
  preview.row = row->id;
  std::string mimeType;
  std::string bytes;
  if (DecodeDataUrl(row->url, mimeType, bytes)) {
    const bool whole = bytes.size() <= kPreviewBytes;
    Tell(row->id, mimeType, std::string_view(bytes).substr(0, kPreviewBytes), whole, {});
    return 1;
  }
  const std::string refusal = AddressRefusal(*row);
  if (!refusal.empty()) {
    answer["message"] = refusal;
    return 0;
  }
  if (!AskKeptBody(*row)) FetchPreview(*row, state, preview);
  return 1;
}
