#include "platform/gtk/peer_widget.h"
#include "tests/unit/platform/gtk/gtk_test_support.h"
#include "tests/unit/platform/recording_window.h"

#include <functional>

namespace {

using recording::g_seen;

// What a test does with the message dialog once it is on screen.
using DialogAction = std::function<void(GtkMessageDialog*)>;

GtkMessageDialog* ShownDialog() {
  GtkMessageDialog* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* item = windows; item; item = item->next) {
    if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data))) {
      found = GTK_MESSAGE_DIALOG(item->data);
    }
  }
  g_list_free(windows);
  return found;
}

class GtkDialogsTest : public recording::RecordingWindowTest {
 protected:
  void SetUp() override {
    RecordingWindowTest::SetUp();
    ASSERT_TRUE(platform::gtk::EnsureToolkit()) << "the GTK tests need a display (xvfb-run)";
  }
  // Runs the message box; the action runs once its dialog is shown.
  int Answer(HWND owner, const char16_t* text, UINT type, DialogAction action) {
    m_action = std::move(action);
    m_acted = false;
    const guint poll = g_timeout_add(
        10,
        [](gpointer self) {
          auto* test = static_cast<GtkDialogsTest*>(self);
          GtkMessageDialog* dialog = ShownDialog();
          if (!dialog) return G_SOURCE_CONTINUE;
          test->m_acted = true;
          test->m_action(dialog);
          return G_SOURCE_REMOVE;
        },
        this);
    const int answer = MessageBoxW(owner, text, u"Trawler", type);
    if (!m_acted) g_source_remove(poll);
    EXPECT_TRUE(m_acted);
    return answer;
  }
  static void Press(GtkMessageDialog* dialog, int response) {
    gtk_button_clicked(
        GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response)));
  }
  static std::string Property(GtkMessageDialog* dialog, const char* name) {
    g_autofree gchar* text = nullptr;
    g_object_get(dialog, name, &text, nullptr);
    return text ? text : "";
  }

  DialogAction m_action;
  bool m_acted = false;
};

// The window's group holds a grab: a modal dialog blocks the windows of its group.
GtkWidget* GrabOf(GtkWindow* window) {
  return gtk_window_group_get_current_grab(gtk_window_get_group(window));
}

TEST_F(GtkDialogsTest, ButtonsAnswerAndTheDialogIsModalToItsOwnerOnly) {
  HWND owner = Create();
  HWND other = Create();
  ShowWindow(owner, SW_SHOW);
  ShowWindow(other, SW_SHOW);
  GtkWindow* ownerWindow = platform::gtk::TopLevelWidget(owner);
  EXPECT_EQ(Answer(owner, u"Sure? <b>\u00E9</b>", MB_YESNO | MB_SETFOREGROUND,
                   [&](GtkMessageDialog* dialog) {
                     EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Trawler");
                     EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
                     EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), ownerWindow);
                     EXPECT_EQ(GrabOf(ownerWindow), GTK_WIDGET(dialog));
                     EXPECT_EQ(GrabOf(platform::gtk::TopLevelWidget(other)), nullptr);
                     // Shown as it is, never as markup.
                     EXPECT_EQ(Property(dialog, "text"), "Sure? <b>\xC3\xA9</b>");
                     Press(dialog, GTK_RESPONSE_YES);
                   }),
            IDYES);
  EXPECT_EQ(Answer(owner, u"Sure?", MB_YESNO, [](auto dialog) { Press(dialog, GTK_RESPONSE_NO); }),
            IDNO);
  EXPECT_EQ(Answer(nullptr, u"", MB_OK, [](auto dialog) { Press(dialog, GTK_RESPONSE_OK); }), IDOK);
}

TEST_F(GtkDialogsTest, ClosingWithoutAButtonAnswersNoOrOk) {
  const auto close = [](GtkMessageDialog* dialog) { gtk_window_close(GTK_WINDOW(dialog)); };
  EXPECT_EQ(Answer(nullptr, u"Sure?", MB_YESNO, close), IDNO);
  EXPECT_EQ(Answer(nullptr, u"Note", MB_OK, close), IDOK);
}

// Return takes the default button, as Win32's first: Yes, or OK.
TEST_F(GtkDialogsTest, ReturnAnswersTheFirstButton) {
  const auto enter = [](GtkMessageDialog* dialog) {
    EXPECT_TRUE(gtk_window_activate_default(GTK_WINDOW(dialog)));
  };
  EXPECT_EQ(Answer(nullptr, u"Sure?", MB_YESNO, enter), IDYES);
  EXPECT_EQ(Answer(nullptr, u"Note", MB_OK, enter), IDOK);
}

TEST_F(GtkDialogsTest, PostedMessagesAreDispatchedWhileTheDialogRuns) {
  HWND window = Create();
  g_seen.clear();
  EXPECT_EQ(Answer(window, u"Wait", MB_OK,
                   [window](GtkMessageDialog* dialog) {
                     PostMessageW(window, WM_USER, 1, 0);
                     // Closed once the message has come, from the dialog's own loop.
                     g_timeout_add(
                         10,
                         [](gpointer dialog) {
                           if (g_seen.empty()) return G_SOURCE_CONTINUE;
                           gtk_window_close(GTK_WINDOW(dialog));
                           return G_SOURCE_REMOVE;
                         },
                         dialog);
                   }),
            IDOK);
  ASSERT_FALSE(g_seen.empty());
  EXPECT_EQ(g_seen.back().message, UINT{WM_USER});
}

TEST_F(GtkDialogsTest, AQuitEndsTheDialogAndReachesTheLoopOutside) {
  EXPECT_EQ(Answer(Create(), u"Sure?", MB_YESNO, [](GtkMessageDialog*) { PostQuitMessage(3); }),
            IDNO);
  MSG message{};
  EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
  EXPECT_EQ(message.wParam, WPARAM{3});
}

TEST_F(GtkDialogsTest, AnOwnerDestroyedWhileItsDialogRunsEndsTheDialog) {
  HWND owner = Create();
  ShowWindow(owner, SW_SHOW);
  EXPECT_EQ(Answer(owner, u"Sure?", MB_YESNO, [owner](GtkMessageDialog*) { DestroyWindow(owner); }),
            IDNO);
  EXPECT_FALSE(IsWindow(owner));
}

}  // namespace
