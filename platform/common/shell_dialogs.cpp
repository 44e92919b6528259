// The shell's verbs, message boxes and the debugger output, carried out by the back end.

#include "platform/backend.h"

namespace {

// ShellExecuteW's results: greater than 32 on success.
constexpr uintptr_t kShellSuccess = 42;
constexpr uintptr_t kShellNoAssociation = 31;

}  // namespace

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int) {
  if (!file || !*file) return reinterpret_cast<HINSTANCE>(uintptr_t{ERROR_FILE_NOT_FOUND});
  const bool done = platform::GetBackend().ShellExecute(verb ? verb : u"open", file);
  return reinterpret_cast<HINSTANCE>(done ? kShellSuccess : kShellNoAssociation);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  return platform::GetBackend().ShowMessageBox(owner, text ? text : u"",
                                               caption ? caption : u"Error", type);
}

BOOL ReleaseCapture() { return TRUE; }

void OutputDebugStringW(LPCWSTR text) {
  if (text) platform::GetBackend().WriteDebugOutput(text);
}
