#pragma once

// The back end users run: windows are GTK windows, the loop is GLib's default main
// context, and dialogs, the clipboard and the shell's "open" go to GTK and GIO. Everything
// runs on the UI thread.

#include "platform/backend.h"

#include <glib.h>

#include <map>
#include <utility>

namespace platform::gtk {

// Keeps X errors about windows the server destroyed by itself from ending the process.
void IgnoreErrorsOfGoneWindows();

class GtkBackend : public Backend {
 public:
  std::unique_ptr<WindowPeer> CreatePeer(HWND window, HWND parent,
                                         const std::u16string& title) override;
  bool WaitForEvents() override;
  int ShowMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                     UINT type) override;
  bool ChooseSaveFile(HWND owner, const std::u16string& title, std::u16string& path) override;
  bool ChooseFolder(HWND owner, const std::u16string& title, std::u16string& path) override;
  uintptr_t ShellExecute(const std::u16string& verb, const std::u16string& target) override;
  bool SetClipboardText(const std::u16string& text) override;
  bool StartTimer(HWND window, UINT_PTR id, UINT elapse) override;
  bool StopTimer(HWND window, UINT_PTR id) override;
  bool GetWorkArea(RECT& area) override;
  void WriteDebugOutput(const std::u16string& text) override;

 private:
  bool ChooseFile(HWND owner, const std::u16string& title, std::u16string& path, bool folder);
  // The GLib source of each running timer.
  std::map<std::pair<HWND, UINT_PTR>, guint> m_timers;
  int m_dialogsShown = 0;  // dialogs running now: their events can still come
};

}  // namespace platform::gtk
