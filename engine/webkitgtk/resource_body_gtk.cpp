#include "engine/webkitgtk/resource_body_gtk.h"

#include "webview/com_ptr.h"

#include <memory>

namespace webkitgtk {
namespace {

struct BodyRequest {
  ComPtr<IWebResourceBodyListener> listener;
  unsigned long identifier;
  UINT mostBytes;
};

void BodyRead(GObject* resource, GAsyncResult* result, gpointer data) {
  std::unique_ptr<BodyRequest> request(static_cast<BodyRequest*>(data));
  gsize length = 0;
  guchar* bytes =
      webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(resource), result, &length, nullptr);
  // What WebKit answers for a body it did not keep is a single NUL.
  const bool kept = bytes && length > 0 && !(length == 1 && bytes[0] == 0);
  if (kept && length <= request->mostBytes) {
    request->listener->didReceiveBody(request->identifier, reinterpret_cast<const char*>(bytes),
                                      static_cast<UINT>(length));
  } else {
    request->listener->didReceiveBody(request->identifier, nullptr, 0);
  }
  g_free(bytes);
}

}  // namespace

void ReadResourceBody(WebKitWebResource* resource, unsigned long identifier, UINT mostBytes,
                      IWebResourceBodyListener* listener) {
  webkit_web_resource_get_data(
      resource, nullptr, BodyRead,
      new BodyRequest{ComPtr<IWebResourceBodyListener>::Share(listener), identifier, mostBytes});
}

void TellNoBody(unsigned long identifier, IWebResourceBodyListener* listener) {
  g_idle_add_once(
      [](gpointer data) {
        std::unique_ptr<BodyRequest> request(static_cast<BodyRequest*>(data));
        request->listener->didReceiveBody(request->identifier, nullptr, 0);
      },
      new BodyRequest{ComPtr<IWebResourceBodyListener>::Share(listener), identifier, 0});
}

}  // namespace webkitgtk
