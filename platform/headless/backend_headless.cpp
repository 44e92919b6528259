// The headless back end: peers only record, dialogs are answered by a script, and the
// event source stands in for the native event loop.

#include "platform/backend.h"
#include "platform/headless/observation.h"
#include "platform/layer_records.h"

namespace headless {
namespace {

// ShellExecuteW's results: greater than 32 on success.
constexpr uintptr_t kShellSuccess = 42;
constexpr uintptr_t kShellNoAssociation = 31;

int DefaultAnswer(UINT type) { return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK; }

struct Recorder {
  EventSource* events = nullptr;
  Observer* observer = nullptr;
  Observer silent;
  std::u16string debugOutput;
  std::vector<ShellOpen> shellOpens;
  std::vector<std::u16string> clipboardTexts;
  std::vector<MessageBoxRecord> messageBoxes;
  std::function<int(UINT)> answerer;
  std::function<bool(std::u16string&)> saveAnswerer;
  bool shellSucceeds = true;
  RECT workArea = {0, 0, 1920, 1080};

  Observer& Notify() { return observer ? *observer : silent; }
};

Recorder& Records() {
  static Recorder recorder;
  return recorder;
}

class HeadlessPeer : public platform::WindowPeer {
 public:
  HeadlessPeer(HWND window, HWND parent, const std::u16string& title)
      : m_window(window), m_parent(parent), m_title(title) {
    Records().Notify().Window(WindowEvent::kCreated, m_window, m_parent, m_title);
  }
  ~HeadlessPeer() override {
    Records().Notify().Window(WindowEvent::kDestroyed, m_window, m_parent, m_title);
  }

  void SetTitle(const std::u16string& title) override { m_title = title; }
  void SetVisible(bool visible) override {
    if (!visible || m_shown) return;
    m_shown = true;
    Records().Notify().Window(WindowEvent::kShown, m_window, m_parent, m_title);
  }
  void SetBounds(const RECT&) override {}
  void SetIcon(WPARAM, HICON) override {}

 private:
  HWND m_window;
  HWND m_parent;
  std::u16string m_title;
  bool m_shown = false;
};

class HeadlessBackend : public platform::Backend {
 public:
  std::unique_ptr<platform::WindowPeer> CreatePeer(HWND window, HWND parent,
                                                   const std::u16string& title) override {
    return std::make_unique<HeadlessPeer>(window, parent, title);
  }

  bool WaitForEvents() override { return Records().events && Records().events->RunNextEvent(); }

  int ShowMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                     UINT type) override {
    Recorder& records = Records();
    records.Notify().MessageBoxShown(caption, text);
    const int answer = records.answerer ? records.answerer(type) : DefaultAnswer(type);
    records.messageBoxes.push_back({owner, caption, text, type, answer});
    return answer;
  }

  bool ChooseSaveFile(HWND, const std::u16string& title, std::u16string& path) override {
    Recorder& records = Records();
    records.Notify().SaveDialogShown(title, path);
    if (!records.saveAnswerer) return false;
    return records.saveAnswerer(path);
  }

  // The save dialog's answerer answers the folder dialog too.
  bool ChooseFolder(HWND owner, const std::u16string& title, std::u16string& path) override {
    return ChooseSaveFile(owner, title, path);
  }

  uintptr_t ShellExecute(const std::u16string& verb, const std::u16string& target) override {
    Records().shellOpens.push_back({verb, target});
    Records().Notify().ShellExecuted(verb, target);
    return Records().shellSucceeds ? kShellSuccess : kShellNoAssociation;
  }

  bool SetClipboardText(const std::u16string& text) override {
    Records().clipboardTexts.push_back(text);
    Records().Notify().ClipboardText(text);
    return true;
  }

  bool StartTimer(HWND, UINT_PTR, UINT) override { return false; }
  bool StopTimer(HWND, UINT_PTR) override { return false; }

  bool GetWorkArea(RECT& area) override {
    area = Records().workArea;
    return true;
  }

  void WriteDebugOutput(const std::u16string& text) override {
    Records().debugOutput += text;
    Records().Notify().DebugOutput(text);
  }
};

}  // namespace

void SetEventSource(EventSource* source) { Records().events = source; }
void SetObserver(Observer* observer) { Records().observer = observer; }

const std::u16string& DebugOutput() { return Records().debugOutput; }
const std::vector<ShellOpen>& ShellOpens() { return Records().shellOpens; }
const std::vector<std::u16string>& ClipboardTexts() { return Records().clipboardTexts; }
const std::vector<MessageBoxRecord>& MessageBoxes() { return Records().messageBoxes; }

void ResetRecords() {
  Recorder& records = Records();
  records.debugOutput.clear();
  records.shellOpens.clear();
  records.clipboardTexts.clear();
  records.messageBoxes.clear();
}

void SetMessageBoxAnswerer(std::function<int(UINT type)> answerer) {
  Records().answerer = std::move(answerer);
}

void SetSaveFileAnswerer(std::function<bool(std::u16string& path)> answerer) {
  Records().saveAnswerer = std::move(answerer);
}

void SetShellSucceeds(bool succeeds) { Records().shellSucceeds = succeeds; }
void SetWorkArea(const RECT& area) { Records().workArea = area; }

std::vector<WindowInfo> Windows() {
  std::vector<WindowInfo> windows;
  for (HWND handle : platform::LiveWindows()) {
    const platform::WindowRecord* record = platform::FindWindowRecord(handle);
    windows.push_back({handle, record->parent, record->title, record->visible, record->bounds,
                       platform::IconImageOf(record->bigIcon).path,
                       platform::IconImageOf(record->smallIcon).path});
  }
  return windows;
}

int OleInitializations() { return platform::OleInitializationCount(); }

void DiscardMessages() { platform::DiscardQueuedMessages(); }

}  // namespace headless

platform::Backend& platform::GetBackend() {
  static headless::HeadlessBackend backend;
  return backend;
}
