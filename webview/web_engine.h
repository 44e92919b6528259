#pragma once

// The web engine's COM-style interface: the objects the system calls (with the operations
// it calls, in the engine's order) and the five callback interfaces the system implements
// (with every operation, in the engine's order, so that an empty delegate can answer
// E_NOTIMPL to each). The engine library linked into an executable provides the objects
// and the two free functions at the end.

#include "bridge/script_engine.h"
#include "platform/win32.h"

#include <cstring>

// COM basics.
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

// Identifiers are equal when all 16 bytes are.
inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);

// A window or menu handle as the engine passes it: the handle's value.
using OLE_HANDLE = uintptr_t;
using DATE = double;
struct HDC__;
using HDC = HDC__*;
using LPPOINT = POINT*;

enum WebURLRequestCachePolicy {
  WebURLRequestUseProtocolCachePolicy = 0,
  WebURLRequestReloadIgnoringCacheData = 1,
  WebURLRequestReturnCacheDataElseLoad = 2,
  WebURLRequestReturnCacheDataDontLoad = 3,
};
using WebDragDestinationAction = unsigned long;
constexpr WebDragDestinationAction WebDragDestinationActionNone = 0;
using WebDragSourceAction = unsigned long;
enum WebScrollBarControlSize { WebRegularScrollbar, WebSmallScrollbar, WebMiniScrollbar };
using WebScrollbarControlState = unsigned long;
using WebScrollbarControlPart = int;
using WebScrollbarControlPartMask = unsigned long;

// The engine's context-menu item tags the system knows.
enum WebMenuItemTag : UINT {
  WebMenuItemTagCopy = 8,
  WebMenuItemTagGoBack = 9,
  WebMenuItemTagGoForward = 10,
  WebMenuItemTagStop = 11,
  WebMenuItemTagReload = 12,
  WebMenuItemTagCut = 13,
  WebMenuItemTagPaste = 14,
};

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
};

// Objects the system only passes along.
struct IPropertyBag : IUnknown {};
struct IDataObject : IUnknown {};
struct IWebDataSource : IUnknown {};
struct IWebURLAuthenticationChallenge : IUnknown {};
struct IWebPolicyDecisionListener : IUnknown {};
struct IWebOpenPanelResultListener : IUnknown {};
struct IWebUndoTarget : IUnknown {};

// The error code of a load that was cancelled (by a newer load, or by stopping).
constexpr int WebURLErrorCancelled = -999;

// A certificate's problems, as mainFrameCertificateErrors tells them.
enum WebCertificateErrors : UINT {
  WebCertificateUnknownCA = 1 << 0,
  WebCertificateBadIdentity = 1 << 1,
  WebCertificateNotActivated = 1 << 2,
  WebCertificateExpired = 1 << 3,
  WebCertificateRevoked = 1 << 4,
  WebCertificateInsecure = 1 << 5,
  WebCertificateGenericError = 1 << 6,
};

// Why a load failed.
struct IWebError : IUnknown {
  // WebURLErrorCancelled, or another code of the engine's.
  virtual HRESULT code(int* result) = 0;
  // The engine's text for a person ("Could not connect to 127.0.0.1: Connection refused").
  virtual HRESULT localizedDescription(BSTR* result) = 0;
  virtual HRESULT failingURL(BSTR* result) = 0;
};
struct IWebView;
struct IWebFrame;
struct IWebFrameLoadDelegate;
struct IWebUIDelegate;
struct IWebPolicyDelegate;
struct IWebResourceLoadDelegate;
struct IWebNotificationObserver;

struct IWebURLRequest : IUnknown {
  virtual HRESULT initWithURL(BSTR url, WebURLRequestCachePolicy cachePolicy,
                              double timeoutInterval) = 0;
  virtual HRESULT URL(BSTR* result) = 0;
  virtual HRESULT HTTPMethod(BSTR* result) = 0;
  // The header fields as HTTP writes them: "Name: value" lines, each ended by CR LF.
  virtual HRESULT allHTTPHeaderFields(BSTR* result) = 0;
};

struct IWebMutableURLRequest : IWebURLRequest {
  virtual HRESULT setHTTPMethod(BSTR method) = 0;
  virtual HRESULT setAllowsAnyHTTPSCertificate() = 0;
  // Sets a header field, replacing one of the same name (case-insensitive).
  virtual HRESULT setValue(BSTR value, BSTR field) = 0;
  // The address of the page the request is made for: its site decides which SameSite
  // cookies the request carries.
  virtual HRESULT setMainDocumentURL(BSTR url) = 0;
  virtual HRESULT mainDocumentURL(BSTR* result) = 0;
  // Whether the session's cookies go with the request (they do unless told otherwise).
  virtual HRESULT setHTTPShouldHandleCookies(BOOL handles) = 0;
};

struct IWebURLResponse : IUnknown {
  virtual HRESULT expectedContentLength(long long* result) = 0;
  virtual HRESULT MIMEType(BSTR* result) = 0;
  virtual HRESULT URL(BSTR* result) = 0;
};
// Where a response came from, as far as the engine can tell.
enum WebCacheSource {
  // The network layer: the network, or a cache of it that the engine cannot see into.
  WebCacheSourceNetworkLayer = 0,
  // The page's own memory cache: no request left the page.
  WebCacheSourceMemory = 1,
};

// The HTTP facet of a response, which a response of an http: or https: address answers.
struct IWebHTTPURLResponse : IWebURLResponse {
  // The header fields, in the form allHTTPHeaderFields gives them.
  virtual HRESULT allHeaderFields(BSTR* result) = 0;
  // The status's reason phrase ("Not Found"); empty for a status HTTP does not name.
  virtual HRESULT localizedStringForStatusCode(int statusCode, BSTR* result) = 0;
  virtual HRESULT statusCode(int* result) = 0;
  // A WebCacheSource.
  virtual HRESULT cacheSource(int* result) = 0;
};

struct IWebFrame : IUnknown {
  virtual HRESULT loadRequest(IWebURLRequest* request) = 0;
  // Not a COM result: the frame's script context, or null.
  virtual js::JSGlobalContextRef globalContext() = 0;
};

struct IWebView : IUnknown {
  virtual HRESULT initWithFrame(RECT frame, BSTR frameName, BSTR groupName) = 0;
  virtual HRESULT setUIDelegate(IWebUIDelegate* d) = 0;
  virtual HRESULT setResourceLoadDelegate(IWebResourceLoadDelegate* d) = 0;
  virtual HRESULT setFrameLoadDelegate(IWebFrameLoadDelegate* d) = 0;
  virtual HRESULT setPolicyDelegate(IWebPolicyDelegate* d) = 0;
  virtual HRESULT mainFrame(IWebFrame** frame) = 0;
  virtual HRESULT setHostWindow(OLE_HANDLE window) = 0;
  virtual HRESULT hostWindow(OLE_HANDLE* window) = 0;
  virtual HRESULT estimatedProgress(double* estimatedProgress) = 0;
  virtual HRESULT mainFrameURL(BSTR* urlString) = 0;
  virtual HRESULT close() = 0;
};

// Hears the cookies a request of a view's session would carry, once.
struct IWebCookiesListener : IUnknown {
  // The value of the Cookie header ("a=1; b=2"; empty for none, or when the session could
  // not tell), and the same cookies one per line as Set-Cookie writes them ("a=1;
  // Domain=h.test; Path=/; Expires=Wed, 09 Dec 2026 10:00:00 GMT; Secure; HttpOnly;
  // SameSite=Lax"), each ended by CR LF.
  virtual HRESULT didReceiveCookies(BSTR url, BSTR cookieHeader, BSTR cookieLines) = 0;
};
// Hears the body of a resource the view loaded, once.
struct IWebResourceBodyListener : IUnknown {
  // The bytes as the view kept them; null (and 0) when it kept none, the load failed, or
  // the body held more than was asked for. WebKitGTK keeps a document's body, never a
  // fetch()'s, and an XMLHttpRequest's only while its web process still holds it.
  virtual HRESULT didReceiveBody(unsigned long identifier, const char* bytes, UINT length) = 0;
};

// A fetch of the view's session that the system started.
struct IWebDownload : IUnknown {
  // Stops it; its delegate hears nothing more.
  virtual HRESULT cancel() = 0;
};
// Hears a download: its response, its bytes in order, then its end or its failure. A
// failure may come before any response.
struct IWebDownloadDelegate : IUnknown {
  // The response's status (0 for an address without one), the length of the body the
  // delegate will hear (-1 when it is not known: none was announced, or the body comes
  // decoded from a content coding), and its header fields as allHeaderFields gives them.
  // A redirect's response (3xx with a Location) ends the download after it: the delegate
  // decides whether to follow it.
  virtual HRESULT didReceiveResponse(IWebDownload* download, int statusCode,
                                     long long expectedContentLength, BSTR headerLines) = 0;
  virtual HRESULT didReceiveData(IWebDownload* download, const char* bytes, UINT length) = 0;
  virtual HRESULT didFinish(IWebDownload* download) = 0;
  virtual HRESULT didFailWithError(IWebDownload* download, IWebError* error) = 0;
};

struct IWebViewPrivate : IUnknown {
  virtual HRESULT viewWindow(OLE_HANDLE* window) = 0;
  // Asks the view's session which cookies the request would carry: those it holds for the
  // request's URL, less the Secure ones over http and the SameSite ones when the URL's site
  // is not that of the request's main document URL. The listener hears them later, never
  // during this call.
  virtual HRESULT cookiesForRequest(IWebURLRequest* request, IWebCookiesListener* listener) = 0;
  // Asks for the body of the resource the resource-load delegate knows by this identifier,
  // up to mostBytes, once it has finished loading. Asked before it finished; the listener
  // hears it later, never during this call.
  virtual HRESULT resourceBodyForIdentifier(unsigned long identifier, UINT mostBytes,
                                            IWebResourceBodyListener* listener) = 0;
  // Fetches the request (a GET of an http or https address) through the view's session:
  // with exactly its header fields (a Referer only when it has one), the view's user agent,
  // the cookies cookiesForRequest tells (unless the request handles none), and the
  // session's policy for certificates nobody vouches for. Redirects are not followed. The delegate
  // hears it later, never during this call. E_INVALIDARG for another method or scheme.
  virtual HRESULT downloadRequest(IWebURLRequest* request, IWebDownloadDelegate* delegate,
                                  IWebDownload** download) = 0;
  // The problems of the certificate of the page the main frame shows, as a mask (0: none,
  // or no TLS): WebCertificateUnknownCA, WebCertificateBadIdentity, ...
  virtual HRESULT mainFrameCertificateErrors(UINT* errors) = 0;
};

struct IWebNotification : IUnknown {
  virtual HRESULT name(BSTR* result) = 0;
  virtual HRESULT getObject(IUnknown** result) = 0;
};

struct IWebNotificationCenter : IUnknown {
  virtual HRESULT defaultCenter(IWebNotificationCenter** center) = 0;
  virtual HRESULT addObserver(IWebNotificationObserver* observer, BSTR notificationName,
                              IUnknown* anObject) = 0;
  virtual HRESULT removeObserver(IWebNotificationObserver* observer, BSTR notificationName,
                                 IUnknown* anObject) = 0;
};

struct IWebPreferences : IUnknown {
  virtual HRESULT standardPreferences(IWebPreferences** standardPreferences) = 0;
};

struct IWebPreferencesPrivate : IUnknown {
  virtual HRESULT localStorageDatabasePath(BSTR* location) = 0;
  virtual HRESULT setLocalStorageDatabasePath(BSTR location) = 0;
  virtual HRESULT setLocalStorageEnabled(BOOL enabled) = 0;
  virtual HRESULT localStorageEnabled(BOOL* enabled) = 0;
  virtual HRESULT isWebSecurityEnabled(BOOL* enabled) = 0;
  virtual HRESULT setWebSecurityEnabled(BOOL enabled) = 0;
};

// The callback interfaces, each as a list of (operation, parameter types) in the engine's
// order. The lists declare the interfaces here and the empty delegates elsewhere.
#define WEB_FRAME_LOAD_DELEGATE_OPERATIONS(X)                                    \
  X(didStartProvisionalLoadForFrame, (IWebView*, IWebFrame*))                    \
  X(didReceiveServerRedirectForProvisionalLoadForFrame, (IWebView*, IWebFrame*)) \
  X(didFailProvisionalLoadWithError, (IWebView*, IWebError*, IWebFrame*))        \
  X(didCommitLoadForFrame, (IWebView*, IWebFrame*))                              \
  X(didReceiveTitle, (IWebView*, BSTR, IWebFrame*))                              \
  X(didReceiveIcon, (IWebView*, OLE_HANDLE, IWebFrame*))                         \
  X(didFinishLoadForFrame, (IWebView*, IWebFrame*))                              \
  X(didFailLoadWithError, (IWebView*, IWebError*, IWebFrame*))                   \
  X(didChangeLocationWithinPageForFrame, (IWebView*, IWebFrame*))                \
  X(willPerformClientRedirectToURL, (IWebView*, BSTR, double, DATE, IWebFrame*)) \
  X(didCancelClientRedirectForFrame, (IWebView*, IWebFrame*))                    \
  X(willCloseFrame, (IWebView*, IWebFrame*))                                     \
  X(windowScriptObjectAvailable, (IWebView*, js::JSContextRef, js::JSObjectRef)) \
  X(didClearWindowObject, (IWebView*, js::JSContextRef, js::JSObjectRef, IWebFrame*))

#define WEB_UI_DELEGATE_OPERATIONS(X)                                                       \
  X(createWebViewWithRequest, (IWebView*, IWebURLRequest*, IWebView**))                     \
  X(webViewShow, (IWebView*))                                                               \
  X(webViewClose, (IWebView*))                                                              \
  X(webViewFocus, (IWebView*))                                                              \
  X(webViewUnfocus, (IWebView*))                                                            \
  X(webViewFirstResponder, (IWebView*, OLE_HANDLE*))                                        \
  X(makeFirstResponder, (IWebView*, OLE_HANDLE))                                            \
  X(setStatusText, (IWebView*, BSTR))                                                       \
  X(webViewStatusText, (IWebView*, BSTR*))                                                  \
  X(webViewAreToolbarsVisible, (IWebView*, BOOL*))                                          \
  X(setToolbarsVisible, (IWebView*, BOOL))                                                  \
  X(webViewIsStatusBarVisible, (IWebView*, BOOL*))                                          \
  X(setStatusBarVisible, (IWebView*, BOOL))                                                 \
  X(webViewIsResizable, (IWebView*, BOOL*))                                                 \
  X(setResizable, (IWebView*, BOOL))                                                        \
  X(setFrame, (IWebView*, RECT*))                                                           \
  X(webViewFrame, (IWebView*, RECT*))                                                       \
  X(setContentRect, (IWebView*, RECT*))                                                     \
  X(webViewContentRect, (IWebView*, RECT*))                                                 \
  X(runJavaScriptAlertPanelWithMessage, (IWebView*, BSTR))                                  \
  X(runJavaScriptConfirmPanelWithMessage, (IWebView*, BSTR, BOOL*))                         \
  X(runJavaScriptTextInputPanelWithPrompt, (IWebView*, BSTR, BSTR, BSTR*))                  \
  X(runBeforeUnloadConfirmPanelWithMessage, (IWebView*, BSTR, IWebFrame*, BOOL*))           \
  X(runOpenPanelForFileButtonWithResultListener, (IWebView*, IWebOpenPanelResultListener*)) \
  X(mouseDidMoveOverElement, (IWebView*, IPropertyBag*, UINT))                              \
  X(contextMenuItemsForElement, (IWebView*, IPropertyBag*, OLE_HANDLE, OLE_HANDLE*))        \
  X(validateUserInterfaceItem, (IWebView*, UINT, BOOL, BOOL*))                              \
  X(shouldPerformAction, (IWebView*, UINT, UINT))                                           \
  X(dragDestinationActionMaskForDraggingInfo,                                               \
    (IWebView*, IDataObject*, WebDragDestinationAction*))                                   \
  X(willPerformDragDestinationAction, (IWebView*, WebDragDestinationAction, IDataObject*))  \
  X(dragSourceActionMaskForPoint, (IWebView*, LPPOINT, WebDragSourceAction*))               \
  X(willPerformDragSourceAction, (IWebView*, WebDragSourceAction, LPPOINT, IDataObject*))   \
  X(contextMenuItemSelected, (IWebView*, void*, IPropertyBag*))                             \
  X(hasCustomMenuImplementation, (BOOL*))                                                   \
  X(trackCustomPopupMenu, (IWebView*, OLE_HANDLE, LPPOINT))                                 \
  X(measureCustomMenuItem, (IWebView*, void*))                                              \
  X(drawCustomMenuItem, (IWebView*, void*))                                                 \
  X(addCustomMenuDrawingData, (IWebView*, OLE_HANDLE))                                      \
  X(cleanUpCustomMenuDrawingData, (IWebView*, OLE_HANDLE))                                  \
  X(canTakeFocus, (IWebView*, BOOL, BOOL*))                                                 \
  X(takeFocus, (IWebView*, BOOL))                                                           \
  X(registerUndoWithTarget, (IWebUndoTarget*, BSTR, IUnknown*))                             \
  X(removeAllActionsWithTarget, (IWebUndoTarget*))                                          \
  X(setActionTitle, (BSTR))                                                                 \
  X(undo, ())                                                                               \
  X(redo, ())                                                                               \
  X(canUndo, (BOOL*))                                                                       \
  X(canRedo, (BOOL*))                                                                       \
  X(printFrame, (IWebView*, IWebFrame*))                                                    \
  X(ftpDirectoryTemplatePath, (IWebView*, BSTR*))                                           \
  X(webViewHeaderHeight, (IWebView*, float*))                                               \
  X(webViewFooterHeight, (IWebView*, float*))                                               \
  X(drawHeaderInRect, (IWebView*, RECT*, OLE_HANDLE))                                       \
  X(drawFooterInRect, (IWebView*, RECT*, OLE_HANDLE, UINT, UINT))                           \
  X(webViewPrintingMarginRect, (IWebView*, RECT*))                                          \
  X(canRunModal, (IWebView*, BOOL*))                                                        \
  X(createModalDialog, (IWebView*, IWebURLRequest*, IWebView**))                            \
  X(runModal, (IWebView*))                                                                  \
  X(isMenuBarVisible, (IWebView*, BOOL*))                                                   \
  X(setMenuBarVisible, (IWebView*, BOOL))                                                   \
  X(runDatabaseSizeLimitPrompt, (IWebView*, BSTR, IWebFrame*, BOOL*))                       \
  X(paintCustomScrollbar,                                                                   \
    (IWebView*, HDC, RECT, WebScrollBarControlSize, WebScrollbarControlState,               \
     WebScrollbarControlPart, BOOL, float, float, WebScrollbarControlPartMask))             \
  X(paintCustomScrollCorner, (IWebView*, HDC, RECT))

#define WEB_POLICY_DELEGATE_OPERATIONS(X)                                                 \
  X(decidePolicyForNavigationAction,                                                      \
    (IWebView*, IPropertyBag*, IWebURLRequest*, IWebFrame*, IWebPolicyDecisionListener*)) \
  X(decidePolicyForNewWindowAction,                                                       \
    (IWebView*, IPropertyBag*, IWebURLRequest*, BSTR, IWebPolicyDecisionListener*))       \
  X(decidePolicyForMIMEType,                                                              \
    (IWebView*, BSTR, IWebURLRequest*, IWebFrame*, IWebPolicyDecisionListener*))          \
  X(unableToImplementPolicyWithError, (IWebView*, IWebError*, IWebFrame*))

#define WEB_NOTIFICATION_OBSERVER_OPERATIONS(X) X(onNotification, (IWebNotification*))

#define WEB_RESOURCE_LOAD_DELEGATE_OPERATIONS(X)                                               \
  X(identifierForInitialRequest, (IWebView*, IWebURLRequest*, IWebDataSource*, unsigned long)) \
  X(willSendRequest, (IWebView*, unsigned long, IWebURLRequest*, IWebURLResponse*,             \
                      IWebDataSource*, IWebURLRequest**))                                      \
  X(didReceiveAuthenticationChallenge,                                                         \
    (IWebView*, unsigned long, IWebURLAuthenticationChallenge*, IWebDataSource*))              \
  X(didCancelAuthenticationChallenge,                                                          \
    (IWebView*, unsigned long, IWebURLAuthenticationChallenge*, IWebDataSource*))              \
  X(didReceiveResponse, (IWebView*, unsigned long, IWebURLResponse*, IWebDataSource*))         \
  X(didReceiveContentLength, (IWebView*, unsigned long, UINT, IWebDataSource*))                \
  X(didFinishLoadingFromDataSource, (IWebView*, unsigned long, IWebDataSource*))               \
  X(didFailLoadingWithError, (IWebView*, unsigned long, IWebError*, IWebDataSource*))          \
  X(plugInFailedWithError, (IWebView*, IWebError*, IWebDataSource*))

#define WEB_ENGINE_PURE_OPERATION(name, parameters) virtual HRESULT name parameters = 0;
// Adds up as "0 +1 +1 ...", so it takes no parentheses.
#define WEB_ENGINE_COUNT_OPERATION(name, parameters) +1  // NOLINT(bugprone-macro-parentheses)

struct IWebFrameLoadDelegate : IUnknown {
  WEB_FRAME_LOAD_DELEGATE_OPERATIONS(WEB_ENGINE_PURE_OPERATION)
};
struct IWebUIDelegate : IUnknown {
  WEB_UI_DELEGATE_OPERATIONS(WEB_ENGINE_PURE_OPERATION)
};
struct IWebPolicyDelegate : IUnknown {
  WEB_POLICY_DELEGATE_OPERATIONS(WEB_ENGINE_PURE_OPERATION)
};
struct IWebNotificationObserver : IUnknown {
  WEB_NOTIFICATION_OBSERVER_OPERATIONS(WEB_ENGINE_PURE_OPERATION)
};
struct IWebResourceLoadDelegate : IUnknown {
  WEB_RESOURCE_LOAD_DELEGATE_OPERATIONS(WEB_ENGINE_PURE_OPERATION)
};

static_assert(0 WEB_FRAME_LOAD_DELEGATE_OPERATIONS(WEB_ENGINE_COUNT_OPERATION) == 14);
static_assert(0 WEB_UI_DELEGATE_OPERATIONS(WEB_ENGINE_COUNT_OPERATION) == 63);
static_assert(0 WEB_POLICY_DELEGATE_OPERATIONS(WEB_ENGINE_COUNT_OPERATION) == 4);
static_assert(0 WEB_NOTIFICATION_OBSERVER_OPERATIONS(WEB_ENGINE_COUNT_OPERATION) == 1);
static_assert(0 WEB_RESOURCE_LOAD_DELEGATE_OPERATIONS(WEB_ENGINE_COUNT_OPERATION) == 9);

// Interface and class identifiers.
inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IWebFrameLoadDelegate = {
    0x3354665B, 0x84BA, 0x4FDF, {0xB3, 0x5E, 0xBF, 0x5C, 0xF9, 0xD9, 0x60, 0x26}};
inline constexpr IID IID_IWebUIDelegate = {
    0x042B7EE3, 0xA5A4, 0x4A8F, {0x8C, 0x33, 0x77, 0x5C, 0xD9, 0xE8, 0x9C, 0x7C}};
inline constexpr IID IID_IWebPolicyDelegate = {
    0x9B0BAE6C, 0xA496, 0x4000, {0x9E, 0x22, 0x2E, 0x89, 0xF0, 0x74, 0x74, 0x01}};
inline constexpr IID IID_IWebNotificationObserver = {
    0x1BA491C4, 0x58A7, 0x4091, {0x9F, 0x56, 0x9A, 0xED, 0x11, 0x8D, 0xB4, 0xC1}};
inline constexpr IID IID_IWebResourceLoadDelegate = {
    0xAF3289AA, 0x90DB, 0x4CA4, {0xA1, 0x12, 0xA1, 0xE5, 0xF0, 0x51, 0x79, 0x53}};
inline constexpr IID IID_IWebView = {
    0x174BBEFD, 0x058E, 0x49C7, {0x91, 0xDF, 0x6F, 0x11, 0x0A, 0xA4, 0xAC, 0x28}};
inline constexpr IID IID_IWebViewPrivate = {
    0x44914369, 0xDEB5, 0x4FCF, {0xA6, 0xA3, 0x30, 0xC0, 0x2E, 0x73, 0x15, 0x4F}};
inline constexpr IID IID_IWebFrame = {
    0xB4B22EF7, 0xDD43, 0x4D01, {0xA9, 0x92, 0x99, 0xC4, 0xA8, 0xB1, 0xF8, 0x45}};
inline constexpr IID IID_IWebURLRequest = {
    0xF4B85F1D, 0xF3B2, 0x493D, {0xB7, 0x86, 0x09, 0x30, 0xE8, 0x04, 0xA3, 0xBA}};
inline constexpr IID IID_IWebMutableURLRequest = {
    0xC4042773, 0x371F, 0x427E, {0xAF, 0xA9, 0x9D, 0x4B, 0x35, 0x8A, 0x0D, 0x93}};
inline constexpr IID IID_IWebURLResponse = {
    0x9814930B, 0xE037, 0x4477, {0x8D, 0xF1, 0x4D, 0x89, 0x8B, 0x64, 0x89, 0x95}};
inline constexpr IID IID_IWebHTTPURLResponse = {
    0x5E1AE3D2, 0x6C0B, 0x4C4F, {0x9A, 0x1E, 0x27, 0x63, 0xB0, 0x4D, 0x8F, 0x15}};
inline constexpr IID IID_IWebCookiesListener = {
    0x2B8C1F4E, 0x7D3A, 0x4E62, {0xA4, 0x0D, 0x51, 0x9E, 0x6C, 0x2F, 0x80, 0x3B}};
inline constexpr IID IID_IWebResourceBodyListener = {
    0x7C3E2A91, 0x4B5D, 0x4E08, {0x9F, 0x12, 0x6A, 0x3B, 0xC4, 0x5D, 0x21, 0x7E}};
inline constexpr IID IID_IWebDownload = {
    0x3F9A6B24, 0x1C7E, 0x4D53, {0x8B, 0x6E, 0x0D, 0x72, 0x94, 0xE1, 0x5A, 0xC8}};
inline constexpr IID IID_IWebDownloadDelegate = {
    0xA15D8C63, 0x2E4F, 0x4A91, {0xB3, 0x07, 0x5C, 0xE8, 0x1F, 0x96, 0x4D, 0x2A}};
inline constexpr IID IID_IWebNotificationCenter = {
    0x1E411ABE, 0xDAA0, 0x4A83, {0xBC, 0xCA, 0xD9, 0x4E, 0x07, 0x04, 0xF1, 0x93}};
inline constexpr IID IID_IWebNotification = {
    0x93598207, 0x3E34, 0x49EC, {0x97, 0xEC, 0xEF, 0xA9, 0xA1, 0xE1, 0x63, 0x35}};
inline constexpr IID IID_IWebPreferences = {
    0x0930D594, 0xA5A3, 0x46E1, {0x85, 0x8E, 0xAB, 0x17, 0xA1, 0x3C, 0xD2, 0x8E}};
inline constexpr IID IID_IWebPreferencesPrivate = {
    0x1380DE41, 0x42CF, 0x4170, {0x9D, 0x5D, 0x78, 0x40, 0xED, 0xE5, 0xB3, 0x6C}};
inline constexpr CLSID CLSID_WebView = {
    0xD6BCA079, 0xF61C, 0x4E1E, {0xB4, 0x53, 0x32, 0xA0, 0x47, 0x7D, 0x02, 0xE3}};
inline constexpr CLSID CLSID_WebPreferences = {
    0x67B89F90, 0xF778, 0x438B, {0xAB, 0xBF, 0x34, 0xD1, 0xAC, 0xBF, 0x86, 0x51}};
inline constexpr CLSID CLSID_WebNotificationCenter = {
    0xBA590766, 0x0A6F, 0x46C7, {0xB9, 0x6E, 0x74, 0x34, 0x90, 0xD9, 0x4C, 0xB7}};
inline constexpr CLSID CLSID_WebMutableURLRequest = {
    0xA062ECC3, 0xBB1B, 0x4694, {0xA5, 0x69, 0xF5, 0x9E, 0x0A, 0xD6, 0xBE, 0x0C}};

// The identifier of each interface, for code generic over interfaces.
template <typename Interface>
constexpr const IID& IidOf();
template <>
constexpr const IID& IidOf<IUnknown>() {
  return IID_IUnknown;
}
template <>
constexpr const IID& IidOf<IWebFrameLoadDelegate>() {
  return IID_IWebFrameLoadDelegate;
}
template <>
constexpr const IID& IidOf<IWebUIDelegate>() {
  return IID_IWebUIDelegate;
}
template <>
constexpr const IID& IidOf<IWebPolicyDelegate>() {
  return IID_IWebPolicyDelegate;
}
template <>
constexpr const IID& IidOf<IWebNotificationObserver>() {
  return IID_IWebNotificationObserver;
}
template <>
constexpr const IID& IidOf<IWebResourceLoadDelegate>() {
  return IID_IWebResourceLoadDelegate;
}
template <>
constexpr const IID& IidOf<IWebView>() {
  return IID_IWebView;
}
template <>
constexpr const IID& IidOf<IWebViewPrivate>() {
  return IID_IWebViewPrivate;
}
template <>
constexpr const IID& IidOf<IWebFrame>() {
  return IID_IWebFrame;
}
template <>
constexpr const IID& IidOf<IWebURLRequest>() {
  return IID_IWebURLRequest;
}
template <>
constexpr const IID& IidOf<IWebMutableURLRequest>() {
  return IID_IWebMutableURLRequest;
}
template <>
constexpr const IID& IidOf<IWebURLResponse>() {
  return IID_IWebURLResponse;
}
template <>
constexpr const IID& IidOf<IWebCookiesListener>() {
  return IID_IWebCookiesListener;
}
template <>
constexpr const IID& IidOf<IWebHTTPURLResponse>() {
  return IID_IWebHTTPURLResponse;
}
template <>
constexpr const IID& IidOf<IWebResourceBodyListener>() {
  return IID_IWebResourceBodyListener;
}
template <>
constexpr const IID& IidOf<IWebDownload>() {
  return IID_IWebDownload;
}
template <>
constexpr const IID& IidOf<IWebDownloadDelegate>() {
  return IID_IWebDownloadDelegate;
}
template <>
constexpr const IID& IidOf<IWebNotificationCenter>() {
  return IID_IWebNotificationCenter;
}
template <>
constexpr const IID& IidOf<IWebNotification>() {
  return IID_IWebNotification;
}
template <>
constexpr const IID& IidOf<IWebPreferences>() {
  return IID_IWebPreferences;
}
template <>
constexpr const IID& IidOf<IWebPreferencesPrivate>() {
  return IID_IWebPreferencesPrivate;
}

// The engine library's entry points.
HRESULT WebKitCreateInstance(REFCLSID clsid, IUnknown* outer, REFIID iid, void** object);
void shutDownWebKit();
// Every view made from now on is a browsing view, the run's first too (which is otherwise
// the UI page's, with the page agent in its process): for a run that shows no UI page.
void useBrowsingViewsOnly();
// What this machine's engine cannot play that most pages' video needs (an H.264 or AAC
// decoder), said for a person with the package that brings it; null when it plays them or
// the engine cannot tell.
const char* missingMediaDecoders();
