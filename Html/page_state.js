// The UI page's state, all of it, in one object that the page's other scripts share: the
// search as the native answers gave it, the results (result_model.js: rows, view, sort,
// selection), what the page tells the user, and the list view's document parts, geometry and
// render timers. Event handlers change it and ask for a render (list_view.js), which derives
// the document from it.
'use strict';

(function (exports) {
  exports.SERVICE_URI = 'com.quillmoor.trawler';
  exports.NOTICE_MILLISECONDS = 4000;
  // Rows arriving make a render at most this often.
  exports.STREAM_RENDER_MILLISECONDS = 250;
  // Set while the page lives; still set when the page loads again after its process died,
  // since session storage outlives the process.
  exports.ALIVE_KEY = 'trawler.pageAlive';
  exports.PRESETS = {
    // Video as a site plays it: its files, and its streams' playlists and separate sound,
    // which come with other types than video/ (the list shows the Media kind).
    video: {mode: 'off', kinds: ['media']},
    audio: {mode: 'mime', text: 'audio'},
    images: {mode: 'mime', text: 'image'},
    code: {mode: 'ext', text: '*.js; *.mjs; *.css'},
    // Video, audio and streaming playlists, whatever type a site gives them: the native
    // filter goes off and the list shows the Media kind.
    media: {mode: 'off', kinds: ['media']},
  };
  exports.STATE_NAMES = {idle: 'Idle', searching: 'Searching',
                         paused: 'Paused: responses are not listed until you resume,'};

  exports.state = {
    search: 'idle',  // idle, searching or paused
    address: '',
    results: TrawlerResults.create(),
    notice: '',
    noticeIsError: true,
    viewDirty: false,  // the view must be made anew from every row at the next render
    load: null,  // how the search's page load ended ({ok, url, error}), or null
    detailsOpen: false,  // whether the details pane shows
    searchFirstRow: 0,  // the index in results.rows of the search's first row
    offerRow: null,  // the row the notice offers to save or copy instead (Open failed)
    blockedWindows: 0,  // windows the search's pages asked for and were not given
    unplayable: '',  // what the engine cannot play here (a missing decoder), or empty
    // The preview asked for: {id, generation, error, parts (its elements once it came)}.
    preview: null,
    previews: 0,  // counts the previews' changes, so the details pane knows to draw again
    // The list view: the document's parts (set once the page is up), the row elements in
    // sight, the geometry as last read (outside the render path) and the render timers.
    view: {
      elements: null,
      rowPool: [],
      rowHeight: 0,  // as the style sheet gives it (--row-height), read once the page is up
      viewportHeight: 0,
      scrollTop: 0,
      renderRequested: false,
      streamTimer: 0,
      lastRender: 0,
      noticeTimer: 0,
      hoverRow: null,  // the row under the pointer: the actions bar goes over it
      revealSearch: false,  // renders scroll the latest search's separator to the top
      loadMark: '',
      span: 0,  // the waterfall's scale as last drawn, in milliseconds  // where the page's load is drawn on the waterfall, as a CSS percentage
    },
  };
})(globalThis.TrawlerPage = {});
