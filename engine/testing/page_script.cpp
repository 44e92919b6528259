#include "engine/testing/page_script.h"

#include "engine/testing/engine_state.h"
#include "engine/testing/scheduler.h"
#include "engine/testing/sim_objects.h"
#include "engine/testing/sim_web_view.h"
#include "platform/drops.h"

#include <map>
#include <vector>

namespace sim {
namespace {

// The live pages, by global object: the view they belong to and a serial number that
// tells a page from a later one at the same address.
struct PageEntry {
  int viewId;
  uint64_t serial;
};

std::map<js::JSObjectRef, PageEntry>& Pages() {
  static std::map<js::JSObjectRef, PageEntry> pages;
  return pages;
}

uint64_t g_nextSerial = 1;

const PageEntry* EntryOf(js::JSContextRef context) {
  const auto found = Pages().find(js::JSContextGetGlobalObject(context));
  return found == Pages().end() ? nullptr : &found->second;
}

SimWebView* ViewOf(js::JSContextRef context) {
  const PageEntry* entry = EntryOf(context);
  return entry ? FindView(entry->viewId) : nullptr;
}

std::u16string TextOf(js::JSContextRef context, js::JSValueRef value) {
  js::JSStringRef string = js::JSValueToStringCopy(context, value, nullptr);
  if (!string) return std::u16string();
  std::u16string text(js::JSStringGetCharactersPtr(string), js::JSStringGetLength(string));
  js::JSStringRelease(string);
  return text;
}

std::u16string Argument(js::JSContextRef context, size_t count, const js::JSValueRef arguments[],
                        size_t index) {
  return index < count ? TextOf(context, arguments[index]) : std::u16string();
}

js::JSValueRef Property(js::JSContextRef context, js::JSObjectRef object, const char* name) {
  js::JSStringRef string = js::JSStringCreateWithUTF8CString(name);
  js::JSValueRef value = js::JSObjectGetProperty(context, object, string, nullptr);
  js::JSStringRelease(string);
  return value;
}

void SetProperty(js::JSContextRef context, js::JSObjectRef object, const char* name,
                 js::JSValueRef value) {
  js::JSStringRef string = js::JSStringCreateWithUTF8CString(name);
  js::JSObjectSetProperty(context, object, string, value, js::kJSPropertyAttributeNone, nullptr);
  js::JSStringRelease(string);
}

// The elements of an array argument (at most 10000).
std::vector<js::JSValueRef> ArrayArgument(js::JSContextRef context, size_t count,
                                          const js::JSValueRef arguments[]) {
  std::vector<js::JSValueRef> items;
  if (count == 0 || !js::JSValueIsObject(context, arguments[0])) return items;
  js::JSObjectRef array = js::JSValueToObject(context, arguments[0], nullptr);
  const double length = js::JSValueToNumber(context, Property(context, array, "length"), nullptr);
  for (int i = 0; i < length && i < 10000; ++i) {
    items.push_back(Property(context, array, std::to_string(i).c_str()));
  }
  return items;
}

ComPtr<SimURLRequest> RequestFor(const std::u16string& url) {
  auto request = ComPtr<SimURLRequest>::Adopt(new SimURLRequest());
  request->m_url = url;
  return request;
}

js::JSValueRef Undefined(js::JSContextRef context) { return js::JSValueMakeUndefined(context); }

js::JSValueRef SetTimeout(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                          const js::JSValueRef arguments[], js::JSValueRef*) {
  const PageEntry* entry = EntryOf(context);
  if (!entry || count == 0 || !js::JSValueIsObject(context, arguments[0])) {
    return Undefined(context);
  }
  js::JSObjectRef callback = js::JSValueToObject(context, arguments[0], nullptr);
  const double delay = count > 1 ? js::JSValueToNumber(context, arguments[1], nullptr) : 0;
  js::JSValueProtect(context, callback);
  const js::JSObjectRef global = js::JSContextGetGlobalObject(context);
  const uint64_t serial = entry->serial;
  Scheduler::Get().After(delay > 0 ? static_cast<uint64_t>(delay) : 0, [=] {
    const auto page = Pages().find(global);
    if (page == Pages().end() || page->second.serial != serial) return;
    js::JSValueRef exception = nullptr;
    js::JSObjectCallAsFunction(context, callback, nullptr, 0, nullptr, &exception);
    if (exception) State().records.pageErrors.push_back(TextOf(context, exception));
    js::JSValueUnprotect(context, callback);
  });
  return js::JSValueMakeNumber(context, static_cast<double>(serial));
}

js::JSValueRef Log(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                   const js::JSValueRef arguments[], js::JSValueRef*) {
  State().Notify().Log(Argument(context, count, arguments, 0));
  return Undefined(context);
}

js::JSValueRef OpenLink(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                        const js::JSValueRef arguments[], js::JSValueRef*) {
  SimWebView* view = ViewOf(context);
  if (!view || !view->PolicyDelegate()) return Undefined(context);
  ComPtr<SimURLRequest> request = RequestFor(Argument(context, count, arguments, 0));
  ScopedBstr frameName(u"_blank");
  view->PolicyDelegate()->decidePolicyForNewWindowAction(view, nullptr, request.Get(),
                                                         frameName.Get(), nullptr);
  return Undefined(context);
}

js::JSValueRef OpenWindow(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                          const js::JSValueRef arguments[], js::JSValueRef*) {
  SimWebView* view = ViewOf(context);
  if (!view || !view->UIDelegate()) return Undefined(context);
  ComPtr<SimURLRequest> request = RequestFor(Argument(context, count, arguments, 0));
  ComPtr<IWebView> created;
  const HRESULT result =
      view->UIDelegate()->createWebViewWithRequest(view, request.Get(), created.Receive());
  ComPtr<IWebFrame> frame;
  if (SUCCEEDED(result) && created && SUCCEEDED(created->mainFrame(frame.Receive())) && frame) {
    frame->loadRequest(request.Get());
  }
  return Undefined(context);
}

js::JSValueRef Alert(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                     const js::JSValueRef arguments[], js::JSValueRef*) {
  SimWebView* view = ViewOf(context);
  if (view && view->UIDelegate()) {
    ScopedBstr message(Argument(context, count, arguments, 0));
    view->UIDelegate()->runJavaScriptAlertPanelWithMessage(view, message.Get());
  }
  return Undefined(context);
}

js::JSValueRef Confirm(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                       const js::JSValueRef arguments[], js::JSValueRef*) {
  SimWebView* view = ViewOf(context);
  BOOL answer = FALSE;
  if (view && view->UIDelegate()) {
    ScopedBstr message(Argument(context, count, arguments, 0));
    if (FAILED(view->UIDelegate()->runJavaScriptConfirmPanelWithMessage(view, message.Get(),
                                                                        &answer))) {
      answer = FALSE;
    }
  }
  return js::JSValueMakeBoolean(context, answer != FALSE);
}

// The identifiers of a menu's items, in order, as a script array.
js::JSValueRef MenuIdentifiers(js::JSContextRef context, HMENU menu) {
  std::string list = "[";
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    list += (i ? "," : "") + std::to_string(info.wID);
  }
  js::JSStringRef source = js::JSStringCreateWithUTF8CString((list + "]").c_str());
  js::JSValueRef array = js::JSEvaluateScript(context, source, nullptr, nullptr, 1, nullptr);
  js::JSStringRelease(source);
  return array;
}

js::JSValueRef ContextMenu(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                           const js::JSValueRef arguments[], js::JSValueRef*) {
  SimWebView* view = ViewOf(context);
  HMENU menu = CreatePopupMenu();
  for (js::JSValueRef tag : ArrayArgument(context, count, arguments)) {
    const double number = js::JSValueToNumber(context, tag, nullptr);
    const UINT id = number > 0 && number < 65536 ? static_cast<UINT>(number) : 0;
    AppendMenuW(menu, id == 0 ? MF_SEPARATOR : MF_STRING, id, u"item");
  }
  OLE_HANDLE result = 0;
  const bool answered = view && view->UIDelegate() &&
                        SUCCEEDED(view->UIDelegate()->contextMenuItemsForElement(
                            view, nullptr, reinterpret_cast<OLE_HANDLE>(menu), &result)) &&
                        result;
  HMENU shown = answered ? reinterpret_cast<HMENU>(result) : menu;
  js::JSValueRef identifiers = MenuIdentifiers(context, shown);
  if (shown != menu) DestroyMenu(shown);
  DestroyMenu(menu);
  return identifiers;
}

js::JSValueRef Reload(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t,
                      const js::JSValueRef[], js::JSValueRef*) {
  if (SimWebView* view = ViewOf(context)) {
    BSTR url = nullptr;
    view->mainFrameURL(&url);
    view->Load({view, std::u16string(url, SysStringLen(url)), u"GET",
                WebURLRequestUseProtocolCachePolicy, 60.0, false});
    SysFreeString(url);
  }
  return Undefined(context);
}

js::JSValueRef Close(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t,
                     const js::JSValueRef[], js::JSValueRef*) {
  if (SimWebView* view = ViewOf(context)) PostMessageW(view->Host(), WM_CLOSE, 0, 0);
  return Undefined(context);
}

js::JSValueRef DropFiles(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                         const js::JSValueRef arguments[], js::JSValueRef*) {
  SimWebView* view = ViewOf(context);
  // The view takes no drops; they reach its top-level window if that accepts files.
  if (view && platform::AcceptsFiles(view->Host())) {
    std::vector<std::u16string> paths;
    for (js::JSValueRef path : ArrayArgument(context, count, arguments)) {
      paths.push_back(TextOf(context, path));
    }
    HDROP drop = platform::CreateDrop(paths);
    if (!PostMessageW(view->Host(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) {
      DragFinish(drop);
    }
  }
  return Undefined(context);
}

void InstallFunction(js::JSContextRef context, js::JSObjectRef object, const char* name,
                     js::JSObjectCallAsFunctionCallback callback) {
  js::JSStringRef string = js::JSStringCreateWithUTF8CString(name);
  js::JSObjectRef function = js::JSObjectMakeFunctionWithCallback(context, string, callback);
  js::JSStringRelease(string);
  SetProperty(context, object, name, function);
}

}  // namespace

void InstallPageGlobals(js::JSGlobalContextRef context, int viewId) {
  const js::JSObjectRef global = js::JSContextGetGlobalObject(context);
  Pages()[global] = {viewId, g_nextSerial++};
  InstallFunction(context, global, "setTimeout", SetTimeout);
  js::JSObjectRef simObject = js::JSObjectMake(context, nullptr, nullptr);
  SetProperty(context, global, "sim", simObject);
  const std::pair<const char*, js::JSObjectCallAsFunctionCallback> functions[] = {
      {"log", Log},       {"openLink", OpenLink}, {"openWindow", OpenWindow},
      {"alert", Alert},   {"confirm", Confirm},   {"contextMenu", ContextMenu},
      {"reload", Reload}, {"close", Close},       {"dropFiles", DropFiles},
  };
  for (const auto& [name, callback] : functions) {
    InstallFunction(context, simObject, name, callback);
  }
}

void RunPageScript(js::JSGlobalContextRef context, const std::string& script) {
  js::JSStringRef source = js::JSStringCreateWithUTF8CString(script.c_str());
  js::JSValueRef exception = nullptr;
  js::JSEvaluateScript(context, source, nullptr, nullptr, 1, &exception);
  js::JSStringRelease(source);
  if (exception) State().records.pageErrors.push_back(TextOf(context, exception));
}

void ForgetPageContext(js::JSGlobalContextRef context) {
  Pages().erase(js::JSContextGetGlobalObject(context));
}

}  // namespace sim
