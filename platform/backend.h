#pragma once

// What a back end of the Win32 subset provides to the shared part of the layer. The shared
// part keeps the records (windows, menus, memory, the message queue); a back end gives top
// level and child windows their native peers, waits for events when the queue is empty,
// and carries out dialogs, shell opens, clipboard text and debug output. Exactly one back
// end library is linked into an executable, and it defines GetBackend().

#include "platform/win32.h"

#include <memory>
#include <string>

namespace platform {

// The native side of one window. The layer calls it as the window's record changes.
class WindowPeer {
 public:
  virtual ~WindowPeer() = default;
  virtual void SetTitle(const std::u16string& title) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetBounds(const RECT& bounds) = 0;
  virtual void SetIcon(WPARAM which, HICON icon) = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;
  // A peer for a new window; the peer lives until the window is destroyed. Null when the
  // back end cannot make one (no display): the window is then not made.
  virtual std::unique_ptr<WindowPeer> CreatePeer(HWND window, HWND parent,
                                                 const std::u16string& title) = 0;
  // Runs until at least one event has been handled; false when none can ever arrive.
  virtual bool WaitForEvents() = 0;
  virtual int ShowMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                             UINT type) = 0;
  // Asks for the path of a file to save; false when the user cancelled. path holds the
  // suggested name on entry.
  virtual bool ChooseSaveFile(HWND owner, const std::u16string& title, std::u16string& path) = 0;
  // Asks for a folder; false when the user cancelled.
  virtual bool ChooseFolder(HWND owner, const std::u16string& title, std::u16string& path) = 0;
  // The shell verb on a URL or path (never empty). ShellExecuteW's result: greater than 32
  // on success, else the Win32 value for the cause.
  virtual uintptr_t ShellExecute(const std::u16string& verb, const std::u16string& target) = 0;
  virtual bool SetClipboardText(const std::u16string& text) = 0;
  // Posts the window WM_TIMER with the identifier every `elapse` milliseconds, replacing a
  // timer of the same window and identifier; false when the back end has no clock.
  virtual bool StartTimer(HWND window, UINT_PTR id, UINT elapse) = 0;
  // False when there is no such timer.
  virtual bool StopTimer(HWND window, UINT_PTR id) = 0;
  // The work area of the screen the windows are on; false when there is no screen.
  virtual bool GetWorkArea(RECT& area) = 0;
  virtual void WriteDebugOutput(const std::u16string& text) = 0;
};

Backend& GetBackend();

}  // namespace platform
