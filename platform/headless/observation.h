#pragma once

// What the headless back end lets tests and the scenario runner observe and script: debug
// output, shell opens, clipboard text, message boxes and their answers, windows, and the
// event source that GetMessageW runs when its queue is empty. Not part of the Win32
// subset: nothing in the system's code includes this.

#include "platform/win32.h"

#include <functional>
#include <string>
#include <vector>

namespace headless {

// Supplies the events of a run (the simulated engine's tasks in virtual time).
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Runs the next event; false when there is none and none can come.
  virtual bool RunNextEvent() = 0;
};

// Null: no events at all, so an empty queue ends the run.
void SetEventSource(EventSource* source);

enum class WindowEvent { kCreated, kShown, kDestroyed };

// Told of every effect as it happens. Each operation does nothing by default.
class Observer {
 public:
  virtual ~Observer() = default;
  virtual void DebugOutput(const std::u16string&) {}
  virtual void ShellExecuted(const std::u16string& /*verb*/, const std::u16string& /*target*/) {}
  virtual void ClipboardText(const std::u16string&) {}
  virtual void MessageBoxShown(const std::u16string& /*caption*/, const std::u16string& /*text*/) {}
  virtual void SaveDialogShown(const std::u16string& /*title*/, const std::u16string& /*name*/) {}
  virtual void Window(WindowEvent, HWND /*window*/, HWND /*parent*/,
                      const std::u16string& /*title*/) {}
};

void SetObserver(Observer* observer);

// The records since the last ResetRecords().
struct ShellOpen {
  std::u16string verb;
  std::u16string target;
};
struct MessageBoxRecord {
  HWND owner;
  std::u16string caption;
  std::u16string text;
  UINT type;
  int answer;
};
const std::u16string& DebugOutput();
const std::vector<ShellOpen>& ShellOpens();
const std::vector<std::u16string>& ClipboardTexts();
const std::vector<MessageBoxRecord>& MessageBoxes();
void ResetRecords();

// Answers message boxes by their style; the default answers IDNO to MB_YESNO and IDOK to
// everything else. Null restores the default.
void SetMessageBoxAnswerer(std::function<int(UINT type)> answerer);
// Answers save dialogs: given the suggested name, true with the chosen path in it, or false
// for a cancel. Without one (the default, or null) every save dialog is cancelled.
void SetSaveFileAnswerer(std::function<bool(std::u16string& path)> answerer);
// Whether shell verbs succeed (they do by default).
void SetShellSucceeds(bool succeeds);
// The screen's work area (1920x1080 at the origin by default).
void SetWorkArea(const RECT& area);

struct WindowInfo {
  HWND handle;
  HWND parent;
  std::u16string title;
  bool visible;
  RECT bounds;
  std::u16string bigIcon;  // the icon's file, empty when none is set
  std::u16string smallIcon;
};
// Every live window, in creation order.
std::vector<WindowInfo> Windows();
// Unbalanced OleInitialize calls.
int OleInitializations();
// Forgets the messages still queued (and a pending quit), for the next test.
void DiscardMessages();

}  // namespace headless
