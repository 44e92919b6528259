// trawler-sim SCENARIO.json: runs Trawler from its entry point to its return on the
// headless back end and the simulated engine, and prints a line for each effect a person
// could observe, then "exit <code>".

#include "app/engine_environment.h"
#include "app/my_app.h"
#include "finder/text/text_conversion.h"
#include "platform/headless/observation.h"
#include "tools/scenario.h"

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::u16string& text) {
  std::string narrow;
  Utf16ToUtf8(text, narrow);
  return narrow;
}

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

// Prints what the run does, in order.
class Printer : public headless::Observer, public sim::Observer {
 public:
  ~Printer() override { FlushDebug(); }

  void DebugOutput(const std::u16string& text) override {
    for (char16_t c : text) {
      if (c == u'\n') {
        PrintLine("debug " + Utf8(m_debugLine));
        m_debugLine.clear();
      } else {
        m_debugLine.push_back(c);
      }
    }
  }
  void ShellExecuted(const std::u16string& verb, const std::u16string& target) override {
    if (verb == u"open") PrintLine("open " + Utf8(target));
  }
  void ClipboardText(const std::u16string& text) override { PrintLine("clipboard " + Utf8(text)); }
  void MessageBoxShown(const std::u16string& caption, const std::u16string& text) override {
    PrintLine("message-box " + Utf8(caption) + ": " + Utf8(text));
  }
  void Window(headless::WindowEvent event, HWND, HWND parent,
              const std::u16string& title) override {
    if (parent) return;  // only top-level windows are seen as windows
    static const char* const kEvents[] = {"created", "shown", "destroyed"};
    PrintLine("window " + Utf8(title) + " " + kEvents[static_cast<int>(event)]);
  }
  void Log(const std::u16string& text) override { PrintLine("log " + Utf8(text)); }
  void Load(const std::u16string& url) override { PrintLine("load " + Utf8(url)); }

  // Text after the last line feed still forms a line of its own.
  void FlushDebug() {
    if (m_debugLine.empty()) return;
    PrintLine("debug " + Utf8(m_debugLine));
    m_debugLine.clear();
  }

 private:
  std::u16string m_debugLine;
};

// The UI page answers with the scenario's scripts at the URL the application loads.
bool ServeUiPage(const Scenario& scenario, std::string& error) {
  std::u16string url;
  if (!GetUiPageUrl(url)) {
    error = "the UI page's URL cannot be built";
    return false;
  }
  sim::SetPage(url, sim::Page{{{url, u"text/html", -1}}, scenario.uiScripts});
  return sim::SetPagesFromJson(scenario.pages, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: trawler-sim SCENARIO.json\n", stderr);
    return 2;
  }
  Scenario scenario;
  std::string error;
  if (!ReadScenario(argv[1], scenario, error) || !ServeUiPage(scenario, error)) {
    std::fprintf(stderr, "trawler-sim: %s\n", error.c_str());
    return 2;
  }
  headless::SetMessageBoxAnswerer([confirm = scenario.confirm](UINT type) {
    if ((type & MB_TYPEMASK) != MB_YESNO) return IDOK;
    return confirm ? IDYES : IDNO;
  });
  Printer printer;
  headless::SetObserver(&printer);
  sim::SetObserver(&printer);

  static char module;
  const int code = wWinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, nullptr, SW_SHOWDEFAULT);

  printer.FlushDebug();
  headless::SetObserver(nullptr);
  sim::SetObserver(nullptr);
  PrintLine("exit " + std::to_string(code));
  return 0;
}
