#pragma once

// The subset of Win32 that Trawler's code is written against, with the real Win32 values.
// Each function behaves as its Win32 namesake does for the arguments the system passes;
// failures are reported the Win32 way (zero, null or a failure HRESULT, with GetLastError).
// Paths use "/" as their separator.

#include <cstddef>
#include <cstdint>

// Basic types.
using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using LONG = int32_t;
using ULONG = uint32_t;
using HRESULT = int32_t;
using ATOM = WORD;
using WCHAR = char16_t;
using CHAR = char;
using OLECHAR = WCHAR;
using UINT_PTR = uintptr_t;
using SIZE_T = size_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LPVOID = void*;
using LPBOOL = BOOL*;
using LPSTR = CHAR*;
using LPCSTR = const CHAR*;
using LPCCH = const CHAR*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCWCH = const WCHAR*;
using LPDWORD = DWORD*;
using BSTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// GLib defines these too, with the same values.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define CALLBACK
#define WINAPI

// Handles.
using HANDLE = void*;
using HGLOBAL = HANDLE;
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HMENU__;
using HMENU = HMENU__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HDROP__;
using HDROP = HDROP__*;
struct HACCEL__;
using HACCEL = HACCEL__*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;

constexpr WORD LOWORD(uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) {
  return static_cast<LPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
inline LPWSTR MAKEINTRESOURCEW(WORD id) {
  return reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(id));
}
inline bool IS_INTRESOURCE(const void* name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// Result codes.
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;
constexpr DWORD ERROR_MENU_ITEM_NOT_FOUND = 1456;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

DWORD GetLastError();
void SetLastError(DWORD error);

// Structures.
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPRECT = RECT*;

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
using LPMSG = MSG*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};
using LPCREATESTRUCTW = CREATESTRUCTW*;

struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
};

struct MENUITEMINFOW {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  HBITMAP hbmpChecked;
  HBITMAP hbmpUnchecked;
  uintptr_t dwItemData;
  LPWSTR dwTypeData;
  UINT cch;
  HBITMAP hbmpItem;
};
using LPMENUITEMINFOW = MENUITEMINFOW*;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// An item identifier list: here, an opaque block that names a folder.
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;

constexpr int MAX_PATH = 260;

struct SHFILEINFOW {
  HICON hIcon;
  int iIcon;
  DWORD dwAttributes;
  WCHAR szDisplayName[MAX_PATH];
  WCHAR szTypeName[80];
};

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

// Window classes, styles and show commands.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
constexpr int COLOR_WINDOW = 5;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;

// Resources.
constexpr WORD IDC_ARROW_ID = 32512;
#define IDC_ARROW MAKEINTRESOURCEW(IDC_ARROW_ID)
constexpr UINT IMAGE_ICON = 1;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;

// Message boxes.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Menus.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MFT_STRING = 0x0000;
constexpr UINT MFT_SEPARATOR = 0x0800;
constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_TYPE = 0x0010;
constexpr UINT MIIM_STRING = 0x0040;
constexpr UINT MIIM_FTYPE = 0x0100;

// Clipboard and global memory.
constexpr UINT CF_UNICODETEXT = 13;
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;

// Shell folders.
constexpr int CSIDL_APPDATA = 0x001A;
constexpr UINT SHGFI_PIDL = 0x000000008;
constexpr UINT SHGFI_DISPLAYNAME = 0x000000200;

// Code pages.
constexpr UINT CP_UTF8 = 65001;

// Classes and windows.
ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL GetWindowRect(HWND window, LPRECT rect);
int GetWindowTextW(HWND window, LPWSTR text, int maxCount);
// SPI_GETWORKAREA: the screen's area that windows may take (the desktop's panels left out),
// in a RECT that param points to.
constexpr UINT SPI_GETWORKAREA = 0x0030;
BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID param, UINT winIni);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// Icons load from res/icon-<id>-<width>.png beside the executable.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags);

// The message loop.
BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG message);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageW(const MSG* message);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Timers: the window is posted WM_TIMER with the identifier every `elapse` milliseconds
// until KillTimer (or its end). No timer procedure is taken. The identifier, or 0 when the
// back end keeps no clock (the headless one runs in its events' virtual time).
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Drag and drop.
void DragAcceptFiles(HWND window, BOOL accept);
UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR file, UINT count);
void DragFinish(HDROP drop);

// Menus.
HMENU CreatePopupMenu();
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem);
int GetMenuItemCount(HMENU menu);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DestroyMenu(HMENU menu);

// Dialogs.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// The save dialog's parameters, the members Trawler uses: the owner, the buffer that holds
// the suggested name and receives the chosen path (nMaxFile characters with the NUL), the
// title, and the flags (OFN_OVERWRITEPROMPT: a chosen file that exists must be confirmed).
struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  LPWSTR lpstrFile;
  DWORD nMaxFile;
  LPCWSTR lpstrTitle;
  DWORD Flags;
};
using LPOPENFILENAMEW = OPENFILENAMEW*;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
// TRUE with the path in lpstrFile when the user chose a file; FALSE when they cancelled,
// the parameters are bad, or the path does not fit (SetLastError says which).
BOOL GetSaveFileNameW(LPOPENFILENAMEW parameters);
// The folder dialog's parameters, the members Trawler uses: the owner and the title.
struct BROWSEINFOW {
  HWND hwndOwner;
  LPCWSTR lpszTitle;
  UINT ulFlags;
};
constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
// The folder the user chose, to be freed with CoTaskMemFree; null when they cancelled.
PIDLIST_ABSOLUTE SHBrowseForFolderW(const BROWSEINFOW* parameters);
// The folder's path in the buffer of `length` characters; FALSE when it does not fit.
BOOL SHGetPathFromIDListEx(PIDLIST_ABSOLUTE item, LPWSTR path, DWORD length, int options);
void CoTaskMemFree(void* memory);
BOOL ReleaseCapture();

// Clipboard and global memory.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
HGLOBAL GlobalFree(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);
BOOL OpenClipboard(HWND owner);
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE memory);
BOOL CloseClipboard();

// Shell.
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int showCommand);

// Folders and paths.
HRESULT SHGetFolderLocation(HWND owner, int folder, HANDLE token, DWORD reserved,
                            PIDLIST_ABSOLUTE* list);
uintptr_t SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* info, UINT infoSize,
                         UINT flags);
HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
void ILFree(PIDLIST_ABSOLUTE list);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
BOOL PathRemoveFileSpecW(LPWSTR path);
LPWSTR PathCombineW(LPWSTR destination, LPCWSTR directory, LPCWSTR file);
BOOL PathFileExistsW(LPCWSTR path);
BOOL PathIsUNCW(LPCWSTR path);
HRESULT UrlCreateFromPathW(LPCWSTR path, LPWSTR url, LPDWORD urlLength, DWORD flags);

// COM runtime.
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
BSTR SysAllocString(LPCOLESTR text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

// Text. Code page 65001 only. Malformed UTF-8 becomes U+FFFD, one for each maximal
// ill-formed subsequence; unpaired surrogates become U+FFFD on the way to UTF-8.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteCount,
                        LPWSTR wideChar, int wideCharCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideChar, int wideCharCount,
                        LPSTR multiByte, int multiByteCount, LPCCH defaultChar,
                        LPBOOL usedDefaultChar);

// Diagnostics: the text goes to the debugger output (standard error as UTF-8, unbuffered).
void OutputDebugStringW(LPCWSTR text);
