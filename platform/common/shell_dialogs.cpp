// The shell's verbs, message boxes, the save dialog and the debugger output, carried out by
// the back end.

#include "platform/backend.h"

#include <algorithm>
#include <cstdlib>

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

// An item list here is the folder's path, NUL-terminated, in memory from malloc.
PIDLIST_ABSOLUTE SHBrowseForFolderW(const BROWSEINFOW* parameters) {
  if (!parameters) return nullptr;
  const std::u16string title = parameters->lpszTitle ? parameters->lpszTitle : u"Choose a folder";
  std::u16string path;
  if (!platform::GetBackend().ChooseFolder(parameters->hwndOwner, title, path)) return nullptr;
  auto* item = static_cast<char16_t*>(std::malloc((path.size() + 1) * sizeof(char16_t)));
  if (!item) return nullptr;
  std::copy(path.begin(), path.end(), item);
  item[path.size()] = u'\0';
  return reinterpret_cast<PIDLIST_ABSOLUTE>(item);
}

BOOL SHGetPathFromIDListEx(PIDLIST_ABSOLUTE item, LPWSTR path, DWORD length, int) {
  if (!item || !path) return FALSE;
  const std::u16string folder(reinterpret_cast<const char16_t*>(item));
  if (folder.size() >= length) return FALSE;
  std::copy(folder.begin(), folder.end(), path);
  path[folder.size()] = u'\0';
  return TRUE;
}

void CoTaskMemFree(void* memory) { std::free(memory); }

BOOL ReleaseCapture() { return TRUE; }

void OutputDebugStringW(LPCWSTR text) {
  if (text) platform::GetBackend().WriteDebugOutput(text);
}
