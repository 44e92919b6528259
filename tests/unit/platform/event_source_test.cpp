#include "platform/headless/observation.h"
#include "tests/unit/platform/recording_window.h"

namespace {

// Feeds one posted message per event, then reports that nothing more can come.
class CountdownSource : public headless::EventSource {
 public:
  CountdownSource(HWND window, int count) : m_window(window), m_count(count) {}
  bool RunNextEvent() override {
    if (m_count == 0) return false;
    PostMessageW(m_window, WM_USER, static_cast<WPARAM>(m_count--), 0);
    return true;
  }

 private:
  HWND m_window;
  int m_count;
};

class EventSourceTest : public recording::RecordingWindowTest {};

TEST_F(EventSourceTest, EmptyQueueRunsTheEventSource) {
  CountdownSource source(Create(), 2);
  headless::SetEventSource(&source);
  MSG message{};
  ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
  EXPECT_EQ(message.wParam, 2u);
  ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
  EXPECT_EQ(message.wParam, 1u);
  headless::SetEventSource(nullptr);
}

}  // namespace
