#include "engine/webkitgtk/session_cookies_gtk.h"

#include <memory>

namespace webkitgtk {
namespace {

using Heard = std::function<void(const RequestCookies&)>;

// What a read needs when the session answers.
struct Reading {
  Heard heard;
  bool secure;     // the address is https
  bool crossSite;  // the address is on another site than the page
};

// The registrable domain of the address's host (the host itself for an address, localhost
// and the like), lower case; empty when it has none.
std::string SiteOf(const std::string& url) {
  g_autoptr(GUri) uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  const char* host = uri ? g_uri_get_host(uri) : nullptr;
  if (!host || !*host) return std::string();
  g_autofree gchar* lower = g_ascii_strdown(host, -1);
  const char* base = soup_tld_get_base_domain(lower, nullptr);
  return base ? base : lower;
}

bool Sent(SoupCookie* cookie, const Reading& reading) {
  if (soup_cookie_get_secure(cookie) && !reading.secure) return false;
  return !reading.crossSite ||
         soup_cookie_get_same_site_policy(cookie) == SOUP_SAME_SITE_POLICY_NONE;
}

void CookiesRead(GObject* manager, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Reading> reading(static_cast<Reading*>(data));
  GError* failure = nullptr;
  GList* list =
      webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(manager), result, &failure);
  g_clear_error(&failure);
  RequestCookies cookies;
  GSList* sent = nullptr;
  for (GList* item = list; item; item = item->next) {
    auto* cookie = static_cast<SoupCookie*>(item->data);
    if (!Sent(cookie, *reading)) continue;
    sent = g_slist_prepend(sent, cookie);
    g_autofree char* line = soup_cookie_to_set_cookie_header(cookie);
    cookies.lines += std::string(line ? line : "") + "\r\n";
  }
  sent = g_slist_reverse(sent);
  g_autofree char* header = sent ? soup_cookies_to_cookie_header(sent) : nullptr;
  cookies.header = header ? header : "";
  g_slist_free(sent);
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
  reading->heard(cookies);
}

}  // namespace

bool SameSite(const std::string& a, const std::string& b) {
  const std::string site = SiteOf(a);
  return !site.empty() && site == SiteOf(b);
}

void ReadRequestCookies(WebKitCookieManager* cookies, const std::string& url,
                        const std::string& page, GCancellable* cancellable, Heard heard) {
  auto* reading = new Reading{std::move(heard), url.rfind("https:", 0) == 0,
                              !page.empty() && !SameSite(url, page)};
  webkit_cookie_manager_get_cookies(cookies, url.c_str(), cancellable, CookiesRead, reading);
}

}  // namespace webkitgtk
