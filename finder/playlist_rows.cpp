#include "finder/playlist_rows.h"

#include "app/my_app.h"
#include "finder/result_reporting.h"
#include "finder/saves/fetch_context.h"
#include "finder/text/web_address.h"

#include <memory>
#include <string_view>

namespace {

constexpr size_t kMostSegmentOwners = 200'000;
// The most segments the list keeps of all its playlists (some 75 MB of addresses).
constexpr size_t kMostKeptSegments = 500'000;

// The oldest playlists give their segments up while the list keeps too many.
void BoundKeptSegments(FinderState& state) {
  while (state.m_keptSegments > kMostKeptSegments && state.m_keptPlaylists.size() > 1) {
    RequestRecord* oldest = FindRecord(state, state.m_keptPlaylists.front());
    state.m_keptPlaylists.pop_front();
    if (!oldest || !oldest->playlist) continue;
    PlaylistFacts facts = *oldest->playlist;
    state.m_keptSegments -= std::min(state.m_keptSegments, facts.segments.size());
    std::vector<PlaylistSegment>().swap(facts.segments);
    facts.segmentsDropped = true;
    oldest->playlist = std::make_shared<const PlaylistFacts>(std::move(facts));
  }
}

// A playlist being read, counted in the list's state for as long as what reads it lives.
class PlaylistReading {
 public:
  PlaylistReading() {
    if (g_pApp) ++g_pApp->m_localWindow.m_playlistReads;
  }
  PlaylistReading(const PlaylistReading&) = delete;
  PlaylistReading& operator=(const PlaylistReading&) = delete;
  ~PlaylistReading() {
    if (g_pApp && g_pApp->m_localWindow.m_playlistReads) --g_pApp->m_localWindow.m_playlistReads;
  }
};

class CPlaylistBody : public CCountedListener<IWebResourceBodyListener> {
 public:
  CPlaylistBody(IWebView* view, const RequestRecord& row)
      : m_reading(std::make_shared<PlaylistReading>()),
        m_view(ComPtr<IWebView>::Share(view)),
        m_id(row.id),
        m_url(row.url),
        m_declared(IsDeclaredPlaylist(row.mimeType, row.url)) {}

  HRESULT didReceiveBody(unsigned long, const char* bytes, UINT length) override {
    if (bytes) {
      Read(std::string_view(bytes, length));
    } else if (m_declared && g_pApp) {
      // The engine kept no copy (it keeps none of a fetch(), and an XMLHttpRequest's not for
      // long): the text once more, as the page asked for it. The row is found again by its
      // number: the list may have been cleared meanwhile.
      const RequestRecord* row = FindRecord(g_pApp->m_localWindow, m_id);
      if (!row) return S_OK;
      const uint32_t id = m_id;
      const std::string url = m_url;
      FetchText(m_view.Get(), RowFetch(g_pApp->m_localWindow, *row), kMostPlaylistBytes,
                [id, url, reading = m_reading](const std::string& text, const std::string& error) {
                  if (error.empty()) return Apply(id, ReadPlaylist(text, url));
                  PlaylistFacts facts;
                  facts.note = "The playlist could not be read: " + error;
                  Apply(id, std::move(facts));
                });
    }
    m_reading.reset();
    return S_OK;
  }

 private:
  void Read(std::string_view text) {
    PlaylistFacts facts = ReadPlaylist(text, m_url);
    // A text of a generic type is shown only when it turned out to be a playlist.
    if (m_declared || facts.kind != PlaylistKind::kUnknown) Apply(m_id, std::move(facts));
  }
  static void Apply(uint32_t id, PlaylistFacts facts) {
    if (g_pApp) ApplyPlaylist(g_pApp->m_localWindow, id, std::move(facts));
  }

  std::shared_ptr<PlaylistReading> m_reading;
  ComPtr<IWebView> m_view;
  uint32_t m_id;
  std::string m_url;
  bool m_declared;
};

}  // namespace

void ReadPlaylistOf(IWebView* view, unsigned long identifier, const RequestRecord& row) {
  if (!view || !MayBePlaylist(row.mimeType, row.url, row.announcedLength)) return;
  ComPtr<IWebViewPrivate> engine;
  if (FAILED(view->QueryInterface(IID_IWebViewPrivate, engine.ReceiveVoid())) || !engine) return;
  auto listener = ComPtr<CPlaylistBody>::Adopt(new CPlaylistBody(view, row));
  engine->resourceBodyForIdentifier(identifier, kMostPlaylistBytes, listener.Get());
}

void ApplyPlaylist(FinderState& state, uint32_t id, PlaylistFacts facts) {
  RequestRecord* playlist = FindRecord(state, id);
  if (!playlist) return;
  // Segments are found by their address as the engine sends it.
  for (const PlaylistSegment& segment : facts.segments) {
    if (state.m_segmentOwners.size() >= kMostSegmentOwners) break;
    state.m_segmentOwners[SentForm(segment.url)] = id;
  }
  state.m_keptSegments += facts.segments.size();
  state.m_keptPlaylists.push_back(id);
  playlist->playlist = std::make_shared<const PlaylistFacts>(std::move(facts));
  const int search = playlist->search;
  BoundKeptSegments(state);
  UpdateReported(state, id);
  // Segments listed before their playlist was read.
  for (RequestRecord& record : state.m_records) {
    if (record.search != search || record.parent || record.id == id) continue;
    const auto owner = state.m_segmentOwners.find(SentForm(record.url));
    if (owner == state.m_segmentOwners.end() || owner->second != id) continue;
    record.parent = id;
    UpdateReported(state, record.id);
  }
}
