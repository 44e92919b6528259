// The shell's verbs, message boxes, the save dialog and the debugger output, carried out by
// the back end.

#include "platform/backend.h"

#include <algorithm>

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int) {
  if (!file || !*file) return reinterpret_cast<HINSTANCE>(uintptr_t{ERROR_FILE_NOT_FOUND});
  return reinterpret_cast<HINSTANCE>(
      platform::GetBackend().ShellExecute(verb ? verb : u"open", file));
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  return platform::GetBackend().ShowMessageBox(owner, text ? text : u"",
                                               caption ? caption : u"Error", type);
}

BOOL GetSaveFileNameW(LPOPENFILENAMEW parameters) {
  if (!parameters || parameters->lStructSize != sizeof(OPENFILENAMEW) || !parameters->lpstrFile ||
      parameters->nMaxFile == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string path(parameters->lpstrFile);
  if (path.size() >= parameters->nMaxFile) path.clear();
  const std::u16string title = parameters->lpstrTitle ? parameters->lpstrTitle : u"Save As";
  if (!platform::GetBackend().ChooseSaveFile(parameters->hwndOwner, title, path)) return FALSE;
  if (path.size() >= parameters->nMaxFile) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::copy(path.begin(), path.end(), parameters->lpstrFile);
  parameters->lpstrFile[path.size()] = u'\0';
  return TRUE;
}

BOOL ReleaseCapture() { return TRUE; }

void OutputDebugStringW(LPCWSTR text) {
  if (text) platform::GetBackend().WriteDebugOutput(text);
}
