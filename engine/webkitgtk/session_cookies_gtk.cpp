#include "engine/webkitgtk/session_cookies_gtk.h"

#include <memory>

namespace webkitgtk {
namespace {

using Heard = std::function<void(const std::string&)>;

std::string CookieHeader(GList* list) {
  GSList* cookies = nullptr;
  for (GList* item = list; item; item = item->next) cookies = g_slist_prepend(cookies, item->data);
  cookies = g_slist_reverse(cookies);
  char* header = cookies ? soup_cookies_to_cookie_header(cookies) : nullptr;
  g_slist_free(cookies);
  std::string text = header ? header : "";
  g_free(header);
  return text;
}

void CookiesRead(GObject* manager, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Heard> heard(static_cast<Heard*>(data));
  GError* failure = nullptr;
  GList* list =
      webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(manager), result, &failure);
  g_clear_error(&failure);
  const std::string header = CookieHeader(list);
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
  (*heard)(header);
}

}  // namespace

void ReadSessionCookies(WebKitCookieManager* cookies, const std::string& url,
                        GCancellable* cancellable, Heard heard) {
  webkit_cookie_manager_get_cookies(cookies, url.c_str(), cancellable, CookiesRead,
                                    new Heard(std::move(heard)));
}

}  // namespace webkitgtk
