// The posted-message queue and the loop functions. When the queue is empty, GetMessageW
// lets the back end wait for events; if none can ever arrive the run ends. A modal
// dialog's loop dispatches posted messages as the main loop does.

#include "platform/layer_records.h"

#include <cstdio>
#include <cstdlib>
#include <deque>

namespace {

struct MessageQueue {
  std::deque<MSG> posted;
  bool quitPending = false;
  int quitCode = 0;
};

MessageQueue& Queue() {
  static MessageQueue queue;
  return queue;
}

// Takes the next message: posted messages first, then a pending quit.
bool TakeMessage(MSG& message) {
  MessageQueue& queue = Queue();
  if (!queue.posted.empty()) {
    message = queue.posted.front();
    queue.posted.pop_front();
    return true;
  }
  if (queue.quitPending) {
    queue.quitPending = false;
    message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, {0, 0}};
    return true;
  }
  return false;
}

}  // namespace

void platform::DiscardQueuedMessages() { Queue() = MessageQueue(); }

bool platform::RunModalLoop(const std::function<bool()>& finished) {
  MSG message{};
  while (!finished()) {
    if (!TakeMessage(message)) {
      if (!GetBackend().WaitForEvents()) return false;
    } else if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    } else {
      DispatchMessageW(&message);
    }
  }
  return true;
}

BOOL GetMessageW(LPMSG message, HWND, UINT, UINT) {
  if (!message) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  while (!TakeMessage(*message)) {
    if (!platform::GetBackend().WaitForEvents()) {
      // Waiting would never end: no message is queued and no event can come. The process
      // ends at once, without running the destructors of a run that is still going on.
      std::fflush(stdout);
      std::fputs("trawler: the message loop has nothing left to wait for; ending the run\n",
                 stderr);
      std::_Exit(70);
    }
  }
  return message->message == WM_QUIT ? FALSE : TRUE;
}

int TranslateAcceleratorW(HWND, HACCEL table, LPMSG) {
  if (!table) SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !platform::FindWindowRecord(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Queue().posted.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  Queue().quitPending = true;
  Queue().quitCode = exitCode;
}
