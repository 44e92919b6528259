#include "platform/gtk/peer_widget.h"
#include "platform/layer_records.h"
#include "tests/unit/platform/gtk/gtk_test_support.h"
#include "tests/unit/platform/recording_window.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

namespace {

using recording::g_seen;
using recording::Seen;

class GtkWindowsTest : public recording::RecordingWindowTest {
 protected:
  void SetUp() override {
    RecordingWindowTest::SetUp();
    ASSERT_TRUE(platform::gtk::EnsureToolkit()) << "the GTK tests need a display (xvfb-run)";
  }
  // Sends a focus-change event through GTK's own signal.
  static void SendFocus(GtkWindow* window, bool in) {
    GdkEvent* event = gdk_event_new(GDK_FOCUS_CHANGE);
    event->focus_change.in = in;
    event->focus_change.window =
        GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window))));
    gboolean handled = FALSE;
    g_signal_emit_by_name(window, in ? "focus-in-event" : "focus-out-event", event, &handled);
    gdk_event_free(event);
  }
  static bool SawSize(HWND window, int width, int height) {
    for (const Seen& seen : g_seen) {
      if (seen.window == window && seen.message == WM_SIZE && LOWORD(seen.lParam) == width &&
          HIWORD(seen.lParam) == height) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(GtkWindowsTest, TopLevelWindowIsAGtkWindowWithTheRecordsTitleAndSize) {
  HWND window = Create(u"Trawler \u00E9");
  GtkWindow* gtkWindow = platform::gtk::TopLevelWidget(window);
  ASSERT_NE(gtkWindow, nullptr);
  EXPECT_STREQ(gtk_window_get_title(gtkWindow), "Trawler \xC3\xA9");
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(gtkWindow)));
  ShowWindow(window, SW_SHOW);
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(gtkWindow)));
  RECT client{};
  GetClientRect(window, &client);
  GtkWidget* area = gtk_bin_get_child(GTK_BIN(gtkWindow));
  EXPECT_TRUE(gtk_test::RunUntil([&] {
    return gtk_widget_get_allocated_width(area) == client.right &&
           gtk_widget_get_allocated_height(area) == client.bottom;
  }));
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Renamed"));
  EXPECT_STREQ(gtk_window_get_title(gtkWindow), "Renamed");
  ShowWindow(window, SW_HIDE);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(gtkWindow)));
}

TEST_F(GtkWindowsTest, TheWorkAreaIsTheScreensAndOtherQueriesFail) {
  RECT area{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
  GdkMonitor* monitor = gdk_display_get_monitor(gdk_display_get_default(), 0);
  GdkRectangle screen{};
  gdk_monitor_get_geometry(monitor, &screen);
  // Without panels the work area is the screen (Xvfb's); with them, inside it.
  EXPECT_GE(area.left, screen.x);
  EXPECT_LE(area.right, screen.x + screen.width);
  EXPECT_GT(area.right - area.left, 0);
  EXPECT_GT(area.bottom - area.top, 0);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(SystemParametersInfoW(0x0001, 0, &area, 0));
}

TEST_F(GtkWindowsTest, AResizeByGtkSendsWmSizeWithTheClientSize) {
  HWND window = Create();
  ShowWindow(window, SW_SHOW);
  gtk_window_resize(platform::gtk::TopLevelWidget(window), 420, 310);
  EXPECT_TRUE(gtk_test::RunUntil([&] { return SawSize(window, 420, 310); }));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 420);
  EXPECT_EQ(client.bottom, 310);
  // A move by the layer reaches GTK, and its WM_SIZE comes once.
  g_seen.clear();
  MoveWindow(window, 30, 40, 500, 350, TRUE);
  EXPECT_TRUE(gtk_test::RunUntil([&] {
    int width = 0, height = 0;
    gtk_window_get_size(platform::gtk::TopLevelWidget(window), &width, &height);
    return width == 500 && height == 350;
  }));
  gtk_test::RunUntil([] { return false; }, 100);
  const std::vector<UINT> messages = Messages(window);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_SIZE), 1);
}

TEST_F(GtkWindowsTest, ClosingTheGtkWindowSendsCloseWhoseDefaultDestroys) {
  HWND window = Create();
  ShowWindow(window, SW_SHOW);
  g_seen.clear();
  gtk_window_close(platform::gtk::TopLevelWidget(window));
  EXPECT_TRUE(gtk_test::RunUntil([&] { return !IsWindow(window); }));
  std::vector<UINT> messages = Messages(window);
  std::erase_if(messages, [](UINT message) { return message == WM_SHOWWINDOW; });
  EXPECT_EQ(messages, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(GtkWindowsTest, AChildWindowsWidgetFillsItsRectangleAndFollowsIt) {
  HWND window = Create();
  HWND child = Create(u"", window);
  MoveWindow(child, 10, 20, 200, 100, TRUE);
  ShowWindow(window, SW_SHOW);
  ShowWindow(child, SW_SHOW);
  GtkWidget* content = gtk_label_new("page");
  ASSERT_TRUE(platform::gtk::PlaceWidget(child, content));
  EXPECT_EQ(platform::gtk::TopLevelWidget(child), platform::gtk::TopLevelWidget(window));
  GtkAllocation allocation{};
  EXPECT_TRUE(gtk_test::RunUntil([&] {
    gtk_widget_get_allocation(content, &allocation);
    return allocation.width == 200 && allocation.height == 100;
  }));
  MoveWindow(child, 0, 0, 300, 150, TRUE);
  EXPECT_TRUE(gtk_test::RunUntil([&] {
    gtk_widget_get_allocation(content, &allocation);
    return allocation.width == 300 && allocation.height == 150;
  }));
  // The child's widget goes with the child.
  g_object_ref(content);
  DestroyWindow(child);
  EXPECT_EQ(gtk_widget_get_parent(content), nullptr);
  g_object_unref(content);
}

TEST_F(GtkWindowsTest, FocusChangesBecomeSetFocusAndKillFocus) {
  HWND window = Create();
  ShowWindow(window, SW_SHOW);
  gtk_test::RunUntil(
      [&] { return gtk_widget_get_mapped(GTK_WIDGET(platform::gtk::TopLevelWidget(window))); });
  // Each event on its own: focus-in gives WM_SETFOCUS alone, focus-out WM_KILLFOCUS alone.
  for (const auto& [in, message] : {std::pair{true, UINT{WM_SETFOCUS}}, {false, WM_KILLFOCUS}}) {
    g_seen.clear();
    SendFocus(platform::gtk::TopLevelWidget(window), in);
    EXPECT_EQ(Messages(window), std::vector<UINT>{message}) << in;
  }
}

TEST_F(GtkWindowsTest, IconsGoToTheWindowAtBothSizesThenEveryOther) {
  HWND window = Create();
  const HANDLE big = LoadImageW(nullptr, MAKEINTRESOURCEW(101), IMAGE_ICON, 32, 32, 0);
  const HANDLE small = LoadImageW(nullptr, MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, 0);
  ASSERT_NE(big, nullptr);
  ASSERT_NE(small, nullptr);
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  GList* icons = gtk_window_get_icon_list(platform::gtk::TopLevelWidget(window));
  std::vector<int> widths;
  for (GList* icon = icons; icon; icon = icon->next) {
    widths.push_back(gdk_pixbuf_get_width(GDK_PIXBUF(icon->data)));
  }
  g_list_free(icons);
  EXPECT_EQ(widths, (std::vector<int>{32, 16, 256, 128, 64, 48, 24}));
}

TEST_F(GtkWindowsTest, APostFromAGtkCallbackWakesTheLoop) {
  HWND window = Create();
  g_timeout_add(
      20,
      [](gpointer target) {
        PostMessageW(static_cast<HWND>(target), WM_USER, 7, 0);
        return G_SOURCE_REMOVE;
      },
      window);
  MSG message{};
  ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
  EXPECT_EQ(message.message, UINT{WM_USER});
  EXPECT_EQ(message.wParam, 7u);
}

TEST_F(GtkWindowsTest, HandlesThatAreNoWindowsFailQuietly) {
  const HWND bogus = reinterpret_cast<HWND>(uintptr_t{0x12345});
  EXPECT_FALSE(platform::gtk::PlaceWidget(bogus, nullptr));
  EXPECT_EQ(platform::gtk::TopLevelWidget(bogus), nullptr);
  EXPECT_FALSE(ShowWindow(bogus, SW_SHOW));
  EXPECT_FALSE(MoveWindow(bogus, 0, 0, 1, 1, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  HWND window = Create();
  DestroyWindow(window);
  EXPECT_EQ(platform::gtk::TopLevelWidget(window), nullptr);
  EXPECT_EQ(Create(u"", bogus), nullptr);
}

TEST_F(GtkWindowsTest, TimersPostWmTimerUntilKilledOrTheWindowGoes) {
  HWND window = Create();
  const auto timers = [&](UINT_PTR id) {
    return std::count_if(g_seen.begin(), g_seen.end(), [&](const Seen& seen) {
      return seen.window == window && seen.message == WM_TIMER && seen.wParam == id;
    });
  };
  // The layer's loop dispatches what the timer posts, for at most five seconds.
  const auto runUntil = [](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    platform::RunModalLoop([&] { return done() || std::chrono::steady_clock::now() > deadline; });
    return done();
  };
  EXPECT_EQ(SetTimer(window, 7, 10, nullptr), 7u);
  EXPECT_TRUE(runUntil([&] { return timers(7) >= 3; }));
  EXPECT_TRUE(KillTimer(window, 7));
  EXPECT_FALSE(KillTimer(window, 7));
  const auto seen = timers(7);
  EXPECT_EQ(SetTimer(window, 8, 30, nullptr), 8u);
  EXPECT_TRUE(runUntil([&] { return timers(8) >= 1; }));
  EXPECT_EQ(timers(7), seen);
  EXPECT_TRUE(KillTimer(window, 8));
  // No identifier, no window, or a procedure: no timer.
  EXPECT_EQ(SetTimer(window, 0, 10, nullptr), 0u);
  EXPECT_EQ(SetTimer(nullptr, 9, 10, nullptr), 0u);
  EXPECT_EQ(SetTimer(window, 9, 10, [](HWND, UINT, UINT_PTR, DWORD) {}), 0u);
  DestroyWindow(window);
}

TEST(GtkNoDisplayDeathTest, WithoutADisplayNoWindowIsMade) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = u"NO_DISPLAY";
        RegisterClassExW(&windowClass);
        const HWND window = CreateWindowExW(0, u"NO_DISPLAY", u"", WS_OVERLAPPEDWINDOW, 0, 0, 10,
                                            10, nullptr, nullptr, nullptr, nullptr);
        std::exit(window == nullptr && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
