// A real drag and drop under the display: a GTK drag source in this process offers a
// text/uri-list, and xdotool drags it with the pointer onto a layer window.

#include "platform/gtk/peer_widget.h"
#include "tests/unit/platform/gtk/gtk_test_support.h"
#include "tests/unit/platform/recording_window.h"

#include <fstream>
#include <string>
#include <vector>

namespace {

using recording::g_seen;
using recording::Seen;

class GtkDropsTest : public recording::RecordingWindowTest {
 protected:
  void SetUp() override {
    RecordingWindowTest::SetUp();
    ASSERT_TRUE(platform::gtk::EnsureToolkit()) << "the GTK tests need a display (xvfb-run)";
    char folder[] = "/tmp/trawler-drop-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    m_folder = folder;
  }
  void TearDown() override {
    if (m_source) gtk_widget_destroy(m_source);
    RecordingWindowTest::TearDown();
    std::system(("rm -rf '" + m_folder + "'").c_str());
  }

  // A window at the top left that drags these URIs.
  void MakeSource(std::vector<std::string> uris) {
    m_uris = std::move(uris);
    m_source = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_move(GTK_WINDOW(m_source), 0, 0);
    gtk_window_set_default_size(GTK_WINDOW(m_source), 200, 200);
    static const GtkTargetEntry uriList = {const_cast<gchar*>("text/uri-list"), 0, 0};
    gtk_drag_source_set(m_source, GDK_BUTTON1_MASK, &uriList, 1, GDK_ACTION_COPY);
    g_signal_connect(m_source, "drag-data-get",
                     G_CALLBACK(+[](GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint,
                                    guint, gpointer self) {
                       std::vector<gchar*> uris;
                       for (std::string& uri : static_cast<GtkDropsTest*>(self)->m_uris) {
                         uris.push_back(uri.data());
                       }
                       uris.push_back(nullptr);
                       gtk_selection_data_set_uris(data, uris.data());
                     }),
                     this);
    gtk_widget_show_all(m_source);
  }

  // A shown layer window to the right of the source.
  HWND MakeTarget() {
    HWND window = Create();
    MoveWindow(window, 400, 0, 300, 300, TRUE);
    ShowWindow(window, SW_SHOW);
    return window;
  }

  // Drags from the source onto the target with the pointer; answers the paths of the
  // WM_DROPFILES the target got (none when it got none within a few seconds).
  std::vector<std::u16string> Drag(HWND target) {
    EXPECT_TRUE(gtk_test::RunUntil([&] {
      return gtk_widget_get_mapped(m_source) &&
             gtk_widget_get_mapped(GTK_WIDGET(platform::gtk::TopLevelWidget(target)));
    }));
    GPid pid = 0;
    EXPECT_TRUE(gtk_test::Spawn(
        {"xdotool", "mousemove", "100",   "100",       "sleep",   "0.3", "mousedown",
         "1",       "sleep",     "0.2",   "mousemove", "130",     "110", "sleep",
         "0.2",     "mousemove", "500",   "120",       "sleep",   "0.3", "mousemove",
         "510",     "130",       "sleep", "0.3",       "mouseup", "1"},
        &pid));
    // A message posted a second after the pointer let go bounds the wait.
    g_child_watch_add(
        pid,
        [](GPid child, gint, gpointer window) {
          g_spawn_close_pid(child);
          g_timeout_add(
              1000,
              [](gpointer window) {
                PostMessageW(static_cast<HWND>(window), WM_USER, 0, 0);
                return G_SOURCE_REMOVE;
              },
              window);
        },
        target);
    MSG message{};
    std::vector<std::u16string> paths;
    while (GetMessageW(&message, nullptr, 0, 0) && message.message != WM_USER) {
      if (message.message != WM_DROPFILES) continue;
      const HDROP drop = reinterpret_cast<HDROP>(message.wParam);
      for (UINT i = 0; i < DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); ++i) {
        std::u16string path(DragQueryFileW(drop, i, nullptr, 0) + 1, u'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(path);
      }
      DragFinish(drop);
      break;
    }
    return paths;
  }

  std::string FileUri(const std::string& name) {
    const std::string path = m_folder + "/" + name;
    std::ofstream(path) << name;
    g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    return uri;
  }

  std::string m_folder;
  GtkWidget* m_source = nullptr;
  std::vector<std::string> m_uris;
};

TEST_F(GtkDropsTest, DroppedFilesArriveAsLocalPathsInOrder) {
  const std::string first = FileUri("a file.txt");
  const std::string second = FileUri("\xC3\xA9t\xC3\xA9 \xC3\xBC.txt");
  MakeSource({first, "http://h.test/not-a-file", second});
  HWND target = MakeTarget();
  DragAcceptFiles(target, TRUE);
  const std::u16string folder(m_folder.begin(), m_folder.end());
  EXPECT_EQ(Drag(target), (std::vector<std::u16string>{folder + u"/a file.txt",
                                                       folder + u"/\u00E9t\u00E9 \u00FC.txt"}));
}

TEST_F(GtkDropsTest, AWindowThatTakesNoFilesGetsNoDrop) {
  MakeSource({FileUri("a.txt")});
  HWND target = MakeTarget();
  EXPECT_TRUE(Drag(target).empty());
}

}  // namespace
