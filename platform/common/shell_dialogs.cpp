// The shell's verbs, message boxes and the debugger output, carried out by the back end.

#include "platform/backend.h"

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int) {
  if (!file || !*file) return reinterpret_cast<HINSTANCE>(uintptr_t{ERROR_FILE_NOT_FOUND});
  return reinterpret_cast<HINSTANCE>(
      platform::GetBackend().ShellExecute(verb ? verb : u"open", file));
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  return platform::GetBackend().ShowMessageBox(owner, text ? text : u"",
                                               caption ? caption : u"Error", type);
}

BOOL ReleaseCapture() { return TRUE; }

void OutputDebugStringW(LPCWSTR text) {
  if (text) platform::GetBackend().WriteDebugOutput(text);
}
