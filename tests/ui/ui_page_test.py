"""Tests of the UI page in the real engine, with a stand-in service.

Run: xvfb-run -a /usr/bin/python3 tests/ui/ui_page_test.py build/bin/Html
"""

import base64
import json
import os
import struct
import subprocess
import sys
import unittest
import zlib

from page_runner import Page

HTML = os.environ.get("TRAWLER_HTML", "")


def row(name, mime="image/png", size="1.50KB", url=None):
    return {"fileName": name, "mimeType": mime, "size": size,
            "url": url or "http://h.test/" + name}


def png(width, height):
    """A PNG image of the size, all red."""
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data)))
    rows = b"".join(b"\0" + b"\xff\0\0" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def system_font():
    """The bytes of a font file the system has (GTK needs one)."""
    path = subprocess.run(["fc-match", "-f", "%{file}", "sans"], capture_output=True,
                          text=True, check=True).stdout
    with open(path, "rb") as font:
        return font.read()


class UiPageTest(unittest.TestCase):
    def setUp(self):
        self.page = Page(HTML)

    def tearDown(self):
        self.page.close()

    def start_with(self, address="h.test", mode="off", mime="", ext="", preset=None):
        page = self.page
        page.js("document.getElementById('address').value = %s" % json.dumps(address))
        page.js("document.querySelector('input[name=filter][value=%s]').click()" % mode)
        page.js("document.getElementById('mime-filter').value = %s" % json.dumps(mime))
        page.js("document.getElementById('ext-filter').value = %s" % json.dumps(ext))
        if preset:
            page.js("document.querySelector('[data-preset=%s]').click()" % preset)
        page.js("document.getElementById('start').click()")
        page.frames()
        return page.calls("start")[-1]

    def narrow(self, text):
        self.page.js("((box) => { box.value = %s; box.dispatchEvent(new Event('input')); })"
                     "(document.getElementById('narrow'))" % json.dumps(text))
        self.page.frames()

    def buttons(self):
        return self.page.js("""['start', 'pause', 'stop'].map((id) => {
            const button = document.getElementById(id);
            return [button.textContent, button.disabled]; })""")

    def test_the_page_opens_with_the_address_focused_and_no_filter(self):
        self.assertEqual(self.page.js("document.activeElement.id"), "address")
        self.assertEqual(self.start_with("h.test")["params"],
                         {"url": "h.test", "filterEnabled": False, "useFileExtFilter": False,
                          "fileExtFilter": "", "mimeFilter": ""})
        # Only the contract's functions are the page's own globals.
        self.assertEqual(self.page.js("[typeof addResult, typeof updateInputUrl]"),
                         ["function", "function"])

    def test_start_sends_the_parameters_of_each_filter_kind_and_preset(self):
        cases = [
            ({"mode": "mime", "mime": "video"},
             {"filterEnabled": True, "useFileExtFilter": False, "mimeFilter": "video",
              "fileExtFilter": ""}),
            ({"mode": "ext", "ext": "*.mp3; *.flv"},
             {"filterEnabled": True, "useFileExtFilter": True, "mimeFilter": "",
              "fileExtFilter": "*.mp3; *.flv"}),
            # Video keeps the streams' playlists and sound: the list shows the Media kind.
            ({"mode": "mime", "mime": "y", "preset": "video"},
             {"filterEnabled": False, "useFileExtFilter": False, "mimeFilter": "y",
              "fileExtFilter": ""}),
            ({"preset": "audio"}, {"filterEnabled": True, "useFileExtFilter": False,
                                   "mimeFilter": "audio", "fileExtFilter": ""}),
            ({"preset": "images"}, {"filterEnabled": True, "useFileExtFilter": False,
                                    "mimeFilter": "image", "fileExtFilter": ""}),
            ({"preset": "code"}, {"filterEnabled": True, "useFileExtFilter": True,
                                  "mimeFilter": "", "fileExtFilter": "*.js; *.mjs; *.css"}),
            # Media: every response comes, and the list shows the Media kind.
            ({"mode": "mime", "mime": "x", "preset": "media"},
             {"filterEnabled": False, "useFileExtFilter": False, "mimeFilter": "x",
              "fileExtFilter": ""}),
        ]
        for arguments, expected in cases:
            call = self.start_with("http://h.test/a", **arguments)
            self.assertEqual(call["uri"], "com.quillmoor.trawler")
            self.assertEqual(call["params"], dict(expected, url="http://h.test/a"), arguments)
        self.assertEqual(self.page.js("document.querySelector('[data-kind=media]')"
                                      ".getAttribute('aria-pressed')"), "true")

    def test_the_buttons_follow_the_native_answers(self):
        page = self.page
        self.assertEqual(self.buttons(), [["Start", False], ["Pause", True], ["Stop", True]])
        page.answer("start", 0)
        self.start_with("no such")
        self.assertEqual(page.text("#address-message"), "could not start: check the address")
        self.assertEqual(self.buttons(), [["Start", False], ["Pause", True], ["Stop", True]])
        self.assertIn("Idle", page.text("#status"))
        page.answer("start", 1)
        self.start_with("h.test")
        self.assertEqual(page.text("#address-message"), "")
        self.assertEqual(self.buttons(), [["Start", False], ["Pause", False], ["Stop", False]])
        self.assertTrue(page.text("#status").startswith("Searching h.test"))
        page.js("document.getElementById('pause').click()")
        page.frames()
        self.assertEqual(self.buttons()[1], ["Resume", False])
        self.assertIn("Paused: responses are not listed", page.text("#status"))
        page.js("document.getElementById('pause').click()")
        # The native side tells how many responses came meanwhile.
        page.js("searchResumed('{\"unlisted\":3}')")
        page.frames()
        self.assertEqual(self.buttons()[1], ["Pause", False])
        self.assertIn("Resumed; 3 responses came while paused", page.text("#status"))
        page.js("document.getElementById('stop').click()")
        page.frames()
        self.assertEqual(self.buttons(), [["Start", False], ["Pause", True], ["Stop", True]])
        self.assertEqual([call["method"] for call in page.calls()],
                         ["start", "start", "pause", "pause", "stop"])

    def test_a_row_while_idle_means_a_search_is_running(self):
        self.page.add_rows([row("a.png")])
        self.assertIn("Searching", self.page.text("#status"))
        self.assertEqual(self.buttons()[2], ["Stop", False])

    def test_update_input_url_puts_the_address_in_the_field(self):
        self.page.js("updateInputUrl('http://h.test/caf\u00e9')")
        self.assertEqual(self.page.js("document.getElementById('address').value"),
                         "http://h.test/caf\u00e9")

    def test_rows_can_be_counted_searched_sorted_made_unique_and_cleared(self):
        page = self.page
        page.add_rows([row("b.png", size="2KB"), row("a.js", "text/javascript", "unknown"),
                       row("c.mp4", "video/mp4", "1MB"), row("b.png", size="2KB"),
                       row("d.css", "text/css", "900B")])
        self.assertIn("5 results, 5 shown", page.text("#status"))
        self.assertEqual([cells[0] for cells in page.shown_rows()],
                         ["b.png", "a.js", "c.mp4", "b.png", "d.css"])
        sort = lambda key: page.js(
            "document.querySelector('.header [data-key=%s]').click()" % key) or page.frames()
        sort("size")
        self.assertEqual([cells[2] for cells in page.shown_rows()],
                         ["900B", "2KB", "2KB", "1MB", "unknown"])
        sort("size")
        self.assertEqual([cells[2] for cells in page.shown_rows()],
                         ["1MB", "2KB", "2KB", "900B", "unknown"])
        self.assertEqual(page.js("document.querySelector('.header [data-key=size]')"
                                 ".getAttribute('aria-sort')"), "descending")
        sort("fileName")
        self.assertEqual([cells[0] for cells in page.shown_rows()],
                         ["a.js", "b.png", "b.png", "c.mp4", "d.css"])
        page.js("document.getElementById('unique').click()")
        page.frames()
        self.assertEqual([cells[0] for cells in page.shown_rows()],
                         ["a.js", "b.png", "c.mp4", "d.css"])
        self.assertIn("5 results, 4 shown", page.text("#status"))
        self.narrow("VIDEO")
        self.assertEqual(page.shown_rows(), [["c.mp4", "video/mp4", "1MB", "http://h.test/c.mp4"]])
        # Rows that arrive later find their place in the sorted, narrowed view.
        page.add_rows([row("a.mp4", "video/mp4"), row("z.png")])
        self.assertEqual([cells[0] for cells in page.shown_rows()], ["a.mp4", "c.mp4"])
        self.assertIn("7 results, 2 shown", page.text("#status"))
        page.js("document.getElementById('clear').click()")
        page.frames()
        self.assertIn("0 results, 0 shown", page.text("#status"))
        # The native side frees the rows it keeps for the list.
        self.assertEqual(len(page.calls("clear")), 1)
        self.assertEqual(page.shown_rows(), [])
        self.assertIn("0 results, 0 shown", page.text("#status"))
        self.assertEqual(page.js("Array.from(document.querySelectorAll('#viewport .row'))"
                                 ".filter((row) => row.offsetHeight > 0).length"), 0)

    def test_scrolling_draws_every_row_in_sight_the_partly_visible_ones_too(self):
        page = self.page
        page.add_rows([row("r%03d.png" % index) for index in range(200)])
        height = page.js("document.getElementById('viewport').clientHeight")
        row_height = page.js("document.querySelector('#viewport .row').offsetHeight")
        for top in (row_height * 10 + row_height // 2, row_height * 57 + 3):
            page.js("document.getElementById('viewport').scrollTop = %d" % top)
            page.frames()
            first, last = top // row_height, (top + height - 1) // row_height
            self.assertEqual([cells[0] for cells in page.shown_rows()
                              if first <= int(cells[0][1:4]) <= last],
                             ["r%03d.png" % index for index in range(first, last + 1)], top)

    def test_rows_open_and_copy_and_say_when_that_failed(self):
        page = self.page
        page.add_rows([row("a.png"), row("b.png")])
        # The actions bar goes over the selected row, and over a row under the pointer.
        self.assertTrue(page.js("document.getElementById('row-actions').hidden"))
        page.js("document.querySelectorAll('#viewport .row .name')[1].click()")
        page.frames()
        page.js("document.querySelector('#row-actions [data-action=open]').click()")
        page.js("document.querySelector('#row-actions [data-action=copy]').click()")
        self.assertEqual(page.calls("open")[-1]["params"], {"url": "http://h.test/b.png"})
        self.assertEqual(page.calls("copyURL")[-1]["params"], {"url": "http://h.test/b.png"})
        page.js("document.querySelectorAll('#viewport .row .mime')[0].dispatchEvent("
                "new MouseEvent('mouseover', {bubbles: true}))")
        page.frames()
        page.answer("open", 0)
        page.js("document.querySelector('#row-actions [data-action=open]').click()")
        page.frames()
        # The notice offers to save the file or copy its address instead.
        self.assertIn("Nothing opened a.png", page.text("#status"))
        page.js("document.querySelector('#status [data-offer=copy]').click()")
        self.assertEqual(len(page.calls("copyURL")), 2)
        page.frames()
        self.assertNotIn("Nothing opened", page.text("#status"))

    def test_copies_and_exports_hold_exactly_the_shown_rows(self):
        page = self.page
        page.add_rows([row("a.png"), row('q"u,o\nte.js', "text/javascript", "unknown",
                                         'http://h.test/q"u,o\nte.js'), row("c.css", "text/css"),
                       row('say"hi.png')])
        self.narrow(".")
        exported = {}
        for button in ("copy-all", "copy-csv", "copy-json"):
            page.js("document.getElementById(%s).click()" % json.dumps(button))
            exported[button] = page.calls("copyURL")[-1]["params"]["url"]
        self.assertEqual(exported["copy-all"],
                         'http://h.test/a.png\nhttp://h.test/q"u,o\nte.js\nhttp://h.test/c.css\n'
                         'http://h.test/say"hi.png')
        self.assertEqual(exported["copy-csv"],
                         'fileName,mimeType,size,bytes,url,status,method,duration,redirects,'
                         'fromCache,cache,error,cancelled\n'
                         'a.png,image/png,1.50KB,1536,http://h.test/a.png,,GET,,0,false,,,false\n'
                         '"q""u,o\nte.js",text/javascript,unknown,,"http://h.test/q""u,o\nte.js"'
                         ',,GET,,0,false,,,false\n'
                         'c.css,text/css,1.50KB,1536,http://h.test/c.css,,GET,,0,false,,,false\n'
                         # A quote alone is reason enough to quote the field.
                         '"say""hi.png",image/png,1.50KB,1536,"http://h.test/say""hi.png",,GET,,0,'
                         'false,,,false')
        four = lambda exported: {key: exported[key] for key in ("fileName", "mimeType", "size", "url")}
        self.assertEqual([four(item) for item in json.loads(exported["copy-json"])],
                         [row("a.png"), row('q"u,o\nte.js', "text/javascript", "unknown",
                                            'http://h.test/q"u,o\nte.js'),
                          row("c.css", "text/css"), row('say"hi.png')])

    def test_hostile_texts_are_shown_as_text(self):
        payloads = [
            "<img src=x onerror=window.__pwned=1>", "<script>window.__pwned=2</script>",
            "\"><svg onload=window.__pwned=3>", "'><iframe src=javascript:window.__pwned=4>",
            "javascript:window.__pwned=5", "<b>bold</b>", "&lt;escaped&gt;", "&amp;amp;",
            "\u2028line\u2029para", "\u202eright-to-left\u202c", "\u200f\u200e", "x" * 10000,
            "<style>*{display:none}</style>", "<link rel=import href=x>", "{{7*7}}",
            "${window.__pwned=6}", "</div><div onclick=window.__pwned=7>", "<!--", "]]>",
            "\\u003cimg\\u003e", "%3Cimg%20src%3Dx%3E", "data:text/html,<script>x</script>",
            "<a href=javascript:alert(1)>a</a>", "\u0000nul", "tab\tand\nnewline",
            "<template><img src=x onerror=window.__pwned=8></template>", "<math><mi>x",
            "<svg><script>window.__pwned=9</script></svg>", "'\"`", "\ud83c\udfb5 music",
            "<input autofocus onfocus=window.__pwned=10>", "<details open ontoggle=window.__pwned=11>",
            "<video src=x onerror=window.__pwned=12>", "<object data=x>", "<embed src=x>",
            "<base href=javascript:/>", "<meta http-equiv=refresh content=0;url=x>",
            "<form action=x><button>go</button></form>", "<textarea></textarea>", "<noscript>",
            "<body onload=window.__pwned=13>", "<marquee>m</marquee>", "<xmp><img></xmp>",
            "<plaintext>", "<select><option>o</select>", "<table><td>t", "\"onmouseover=\"x",
            "' onmouseover='x", "<img src=\"x\" onerror=\"window.__pwned=14\">",
            "<scr<script>ipt>window.__pwned=15</script>",
        ]
        self.assertEqual(len(payloads), 50)
        page = self.page
        page.add_rows([{"fileName": text, "mimeType": text, "size": text, "url": text}
                       for text in payloads[:20]])
        page.add_rows([row(text, text, "1B", "http://h.test/" + text) for text in payloads[20:]])
        page.frames(10)
        self.assertIsNone(page.js("window.__pwned"))
        # Nothing but the page's own elements is in the list.
        self.assertEqual(page.js("document.querySelectorAll('#viewport *').length - "
                                 "document.querySelectorAll('#viewport .row, #viewport .cell,"
                                 " #viewport button, #spacer, #row-actions, #viewport .bar,"
                                 " #viewport .name > span').length"), 0)
        shown = page.shown_rows()
        for cells, text in zip(shown, payloads):
            # A long URL is cut in the middle, its start and end in sight.
            url = text if len(text) <= 90 else text[:50] + "\u2026" + text[-36:]
            self.assertEqual(cells, [text] * 3 + [url])
        # The tooltip, made when the pointer comes over the cell.
        self.assertEqual(page.js("((cell) => { cell.dispatchEvent(new MouseEvent('mouseover', "
                                 "{bubbles: true})); return cell.title; })"
                                 "(document.querySelector('#viewport .row .url'))"),
                         payloads[0])

    def test_malformed_results_are_skipped_and_the_page_goes_on(self):
        page = self.page
        for bad in ["not json", "[1, 2]", "null", "5", '"text"', '{"fileName": "a"}',
                    '{"fileName": 1, "mimeType": "m", "size": "s", "url": "u"}', "{"]:
            page.js("addResult(%s)" % json.dumps(bad))
        page.js("(addResult(undefined), addResult({}), addResult())")
        page.add_rows([row("good.png")])
        self.assertEqual([cells[0] for cells in page.shown_rows()], ["good.png"])
        self.assertEqual(len(page.js("window.__warnings")), 11)

    def test_rows_streaming_in_are_drawn_a_few_times_a_second(self):
        page = self.page
        page.js("""(() => {
            window.__draws = 0;
            new MutationObserver(() => ++window.__draws).observe(
                document.querySelector('#status span'), {childList: true});
            window.__streamed = 0;
            window.__began = performance.now();
            (function next() {
              addResult(JSON.stringify({fileName: 'r' + __streamed, mimeType: 'image/png',
                                        size: '1B', url: 'http://h.test/r' + __streamed}));
              if (++window.__streamed < 100) setTimeout(next, 5);
              else window.__took = performance.now() - window.__began;
            })();
          })()""")
        self.assertTrue(page.wait(lambda: page.js("window.__streamed") == 100))
        self.assertTrue(page.wait(lambda: "100 results" in page.text("#status")))
        took = page.js("window.__took")
        # One draw per 250 ms at most, and the last one.
        self.assertLessEqual(page.js("window.__draws"), took // 250 + 2, took)

    def test_the_keyboard_reaches_everything(self):
        page = self.page
        page.type("h.test")
        page.keys("Return")
        self.assertEqual(page.calls("start")[-1]["params"]["url"], "h.test")
        page.add_rows([row("a.png"), row("b.png"), row("c.png")])
        page.keys("ctrl+f")
        self.assertEqual(page.js("document.activeElement.id"), "narrow")
        page.js("document.getElementById('viewport').focus()")
        page.keys("Down", "Down", "Return")
        self.assertFalse(page.js("document.getElementById('details').hidden"))
        self.assertEqual(page.calls("open"), [])
        page.keys("shift+Return")
        self.assertEqual(page.calls("open")[-1]["params"], {"url": "http://h.test/b.png"})
        # Enter on a control is the control's, even with a row selected: the menu opens.
        page.js("document.querySelector('#export-menu summary').focus()")
        page.keys("Return")
        self.assertTrue(page.js("document.getElementById('export-menu').open"))
        self.assertEqual(len(page.calls("open")), 1)
        page.js("document.getElementById('export-menu').open = false")
        self.assertEqual(page.js("document.querySelector('[aria-selected=true] .name')"
                                 ".textContent"), "b.png")
        page.keys("ctrl+c")
        self.assertEqual(page.calls("copyURL")[-1]["params"], {"url": "http://h.test/b.png"})
        # With only a caret in a text field, Ctrl+C is the field's own: no row is copied.
        copies = len(page.calls("copyURL"))
        page.js("document.getElementById('address').focus()")
        page.keys("ctrl+c", "ctrl+shift+c")
        self.assertEqual(len(page.calls("copyURL")), copies + 1)
        self.assertEqual(page.calls("copyURL")[-1]["params"]["url"],
                         "http://h.test/a.png\nhttp://h.test/b.png\nhttp://h.test/c.png")
        page.keys("Escape")
        self.assertEqual(page.calls()[-1]["method"], "stop")

    def test_a_manifests_details_offer_its_pictures_with_their_sound(self):
        page = self.page
        variants = [{"url": "", "resolution": "1280x720", "bandwidth": 2400000, "codecs": "avc1",
                     "contentType": "video", "sound": ""},
                    {"url": "", "resolution": "", "bandwidth": 128000, "codecs": "mp4a.40.2",
                     "contentType": "audio", "sound": ""},
                    {"url": "", "resolution": "640x360", "bandwidth": 800000, "codecs": "avc1",
                     "contentType": "video", "sound": ""}]
        offered = {}
        for encryption in ("", "Widevine"):
            manifest = dict(row("show.mpd", "application/dash+xml"), id=1, playlist={
                "kind": "dash", "segments": 9, "duration": 4, "encryption": encryption,
                "live": False, "note": "", "variants": variants})
            page.js("window.__answers.details = {returnValue: 1, details: Object.assign(%s, "
                    "{method: 'GET', status: 200, statusText: 'OK', duration: 5, start: 0, "
                    "response: 4, window: 0, requestHeaders: [], responseHeaders: [], "
                    "redirectChain: []})}" % json.dumps(manifest))
            page.js("TrawlerPage.state.detailsOpen = true; TrawlerPage.state.results.selected = "
                    "null; document.getElementById('details').dataset.shown = ''")
            page.add_rows([manifest])
            page.js("document.querySelectorAll('#viewport .row')[0].click()")
            page.frames()
            offered[encryption] = page.js(
                "Array.from(document.querySelectorAll('#details [data-action=save-playlist]'))"
                ".map((button) => button.textContent + ' ' + button.dataset.variant)")
            if not encryption:
                self.assertIn("2. sound \u00b7 128 kbit/s \u00b7 mp4a.40.2", page.text("#details"))
            page.js("TrawlerPage.clearList()")
        # The pictures, by their own numbers; the sound goes with each.
        self.assertEqual(offered[""], ["Save 1280x720 as one file\u2026 0",
                                       "Save 640x360 as one file\u2026 2"])
        self.assertEqual(offered["Widevine"], [])

    def test_playlists_fold_offer_their_saves_and_show_progress(self):
        page = self.page
        master = dict(row("master.m3u8", "application/vnd.apple.mpegurl"), id=1, playlist={
            "kind": "hls-master", "segments": 0, "duration": 0, "encryption": "", "live": False,
            "note": "", "variants": [
                {"url": "http://h.test/low.m3u8", "resolution": "640x360", "bandwidth": 800000,
                 "codecs": "avc1"},
                {"url": "http://h.test/high.m3u8", "resolution": "1280x720",
                 "bandwidth": 2400000, "codecs": ""}]})
        media = dict(row("low.m3u8", "text/plain"), id=2, playlist={
            "kind": "hls-media", "segments": 2, "duration": 7.5, "encryption": "", "live": False,
            "note": "", "variants": []})
        segments = [dict(row("s%d.ts" % i, "video/mp2t"), id=3 + i, parent=2) for i in range(2)]
        page.add_rows([master, media] + segments)
        names = lambda: [cells[0] for cells in page.shown_rows()]
        # The name cell: the fold toggle with the count, the name, what the playlist holds.
        self.assertEqual(names(), ["master.m3u82 variants", "\u25b8 2low.m3u82 segments \u00b7 7.5 s"])
        # Right unfolds the selected playlist, Left folds it; so does its toggle.
        page.js("document.querySelectorAll('#viewport .row')[1].click()")
        page.frames()
        page.js("document.getElementById('viewport').focus()")
        page.keys("Right")
        page.frames()
        self.assertEqual(names()[1:], ["\u25be 2low.m3u82 segments \u00b7 7.5 s", "s0.ts", "s1.ts"])
        page.keys("Left")
        page.frames()
        self.assertEqual(len(names()), 2)
        page.js("document.querySelector('#viewport .row [data-action=fold]:not([hidden])').click()")
        page.frames()
        self.assertEqual(len(names()), 4)
        # A playlist's row saves its stream as one file; the native side picks the variant.
        page.keys("ctrl+s")
        self.assertEqual(page.calls("savePlaylist")[-1]["params"], {"id": 2})
        page.js("document.getElementById('save-files').click()")
        self.assertEqual(page.calls("saveShown")[-1]["params"], {"ids": [1, 2, 3, 4]})
        # The master playlist's details offer each variant as one file.
        page.js("window.__answers.details = {returnValue: 1, details: Object.assign(%s, "
                "{method: 'GET', status: 200, statusText: 'OK', duration: 5, start: 0, "
                "response: 4, window: 0, requestHeaders: [], responseHeaders: [], "
                "redirectChain: []})}" % json.dumps(master))
        page.js("window.__answers.savePlaylist = {returnValue: 0, message: 'This stream is "
                "encrypted (SAMPLE-AES): sample encryption or DRM, which cannot be saved as one "
                "file'}")
        page.js("document.querySelectorAll('#viewport .row')[0].click()")
        page.js("document.getElementById('details-toggle').click()")
        page.frames()
        self.assertIn("1280x720 \u00b7 2.4 Mbit/s", page.text("#details"))
        page.js("document.querySelectorAll('#details [data-action=save-playlist]')[1].click()")
        self.assertEqual(page.calls("savePlaylist")[-1]["params"], {"id": 1, "variant": 1})
        page.frames()
        self.assertIn("encrypted (SAMPLE-AES)", page.text("#status"))
        # A machine without the decoders says so on the status line, and keeps saying it.
        for told in ("not json", json.dumps({"message": 5})):
            page.js("mediaUnplayable(%s)" % json.dumps(told))
        page.js("mediaUnplayable(%s)" % json.dumps(json.dumps({"message": "No H.264 <b>here</b>"})))
        page.frames()
        self.assertIn("\u00B7 No H.264 <b>here</b>", page.text("#status"))
        # A save's line: bytes and percent, Cancel; then where it went, until dismissed.
        progress = {"job": 7, "name": "stream.ts", "state": "running", "bytes": 1048576,
                    "total": 2097152, "item": 0, "items": 1, "joined": True, "path": "/x/stream.ts",
                    "error": ""}
        page.js("saveProgress(%s)" % json.dumps(json.dumps(progress)))
        self.assertEqual(page.text("#saves .save-text"), "1.0 MB of 2.0 MB (50%)")
        # A stream's: its segments, speed and time left.
        page.js("saveProgress(%s)" % json.dumps(json.dumps(dict(
            progress, total=-1, item=3, items=120, speed=524288, left=125))))
        self.assertEqual(page.text("#saves .save-text"),
                         "1.0 MB \u00B7 segment 4 of 120 \u00B7 512 KB/s \u00B7 2:05 left")
        page.js("document.querySelector('#saves [data-action=cancel-save]').click()")
        self.assertEqual(page.calls("cancelSave")[-1]["params"], {"job": 7})
        page.js("saveProgress(%s)" % json.dumps(json.dumps(dict(progress, state="done"))))
        shown_lines = lambda: page.js("Array.from(document.querySelectorAll('#saves .save'))"
                                      ".filter((line) => line.offsetHeight > 0)"
                                      ".map((line) => line.querySelector('.save-text').textContent)")
        self.assertEqual(shown_lines(), ["Saved to /x/stream.ts"])
        # Saves that ended fold into one line: a count, the latest, and Show.
        for job, state in ((8, "failed"), (9, "running"), (10, "done")):
            page.js("saveProgress(%s)" % json.dumps(json.dumps(dict(
                progress, job=job, state=state, error="Disk full", path="/x/%d.ts" % job))))
        self.assertEqual(shown_lines(), ["1.0 MB of 2.0 MB (50%)",
                                         "3 saves ended \u00B7 latest: Saved to /x/10.ts"])
        page.js("document.querySelector('#saves [data-action=toggle-ended]').click()")
        self.assertEqual(len(shown_lines()), 5)
        page.js("document.querySelector('#saves [data-action=dismiss-ended]').click()")
        self.assertEqual(shown_lines(), ["1.0 MB of 2.0 MB (50%)"])
        page.js("saveProgress(%s)" % json.dumps(json.dumps(dict(progress, job=9, state="cancelled"))))
        page.js("document.querySelector('#saves [data-action=dismiss-ended]').click()")
        self.assertTrue(page.js("document.getElementById('saves').hidden"))

    def test_keys_filters_and_feedback_as_a_network_panel_user_expects(self):
        page = self.page
        selected = lambda: page.js("(document.querySelector('[aria-selected=true] .name') || {})"
                                   ".textContent")
        page.js("document.getElementById('start').click()")
        self.assertEqual(page.calls("start"), [])  # no address: nothing to start
        self.assertIn("type an address", page.js("document.getElementById('address-message')"
                                                 ".textContent"))
        page.js("document.getElementById('address').value = 'h.test'")
        page.js("document.getElementById('ext-filter').focus()")
        page.keys("period", "m", "p", "4", "Return")
        start = page.calls("start")[-1]["params"]
        self.assertEqual((start["useFileExtFilter"], start["fileExtFilter"]), (True, ".mp4"))
        self.assertEqual(page.js("document.querySelector('input[name=filter]:checked').value"),
                         "ext")
        page.add_rows([row("r%02d.png" % i) for i in range(40)])
        page.js("document.getElementById('viewport').focus()")
        page.keys("End")
        self.assertEqual(selected(), "r39.png")
        page.keys("Home")
        self.assertEqual(selected(), "r00.png")  # past the search's separator
        page.keys("Next")
        after_page = selected()
        self.assertGreater(after_page, "r05.png")
        page.keys("Prior")
        self.assertEqual(selected(), "r00.png")
        # The selection stays in sight.
        page.keys("End")
        self.assertTrue(page.js("document.querySelector('[aria-selected=true]') !== null"))
        # Esc empties the search box first; only then does it stop the capture.
        stops = len(page.calls("stop"))
        self.narrow("r1")
        page.js("document.getElementById('narrow').focus()")
        page.keys("Escape")
        self.assertEqual(page.js("document.getElementById('narrow').value"), "")
        self.assertEqual(len(page.calls("stop")), stops)
        page.keys("Escape")
        self.assertEqual(len(page.calls("stop")), stops + 1)
        page.keys("ctrl+shift+c")
        self.assertIn("Copied 40 URLs", page.js("document.getElementById('status').textContent"))

    def test_each_search_starts_with_a_separator_that_exports_and_counts_leave_out(self):
        page = self.page
        self.start_with("first.test")
        page.add_rows([row("a.png")])
        self.start_with("second.test")
        page.add_rows([row("b.png")])
        separators = page.js("Array.from(document.querySelectorAll('#viewport .row.separator'))"
                             ".filter((r) => !r.hidden).map((r) => r.textContent)")
        self.assertEqual(len(separators), 2)
        self.assertIn("first.test", separators[0])
        self.assertEqual([cells[0] for cells in page.shown_rows()][1::2], ["a.png", "b.png"])
        self.assertIn("2 results, 2 shown", page.js("document.getElementById('status').textContent"))
        page.js("document.getElementById('copy-all').click()")
        self.assertEqual(page.calls("copyURL")[-1]["params"]["url"],
                         "http://h.test/a.png\nhttp://h.test/b.png")
        # Sorted, the list has no separators; Clear takes them all.
        page.js("document.querySelector('.header [data-key=fileName]').click()")
        page.frames()
        self.assertEqual([cells[0] for cells in page.shown_rows()], ["a.png", "b.png"])
        page.js("document.getElementById('clear').click()")
        page.frames()
        self.assertEqual(page.shown_rows(), [])
        self.assertIn("Waiting for the page", page.js("document.getElementById('empty-hint')"
                                                      ".textContent"))

    def test_the_list_follows_the_work(self):
        page = self.page
        self.start_with("first.test")
        page.add_rows([row("r%02d.png" % i) for i in range(60)] +
                      [dict(row("gone.png"), id=1, status=404)])
        self.start_with("second.test")
        page.add_rows([row("s.png"), dict(row("late.mp4"), id=2, status=206, cancelled=True)])
        # The new search's group is in sight, and comes to the top as its rows come.
        names = lambda: [cells[0] for cells in page.shown_rows()]
        self.assertIn("late.mp4", names())
        self.assertTrue(any("second.test" in name for name in names()))
        page.add_rows([row("t%02d.png" % i) for i in range(30)])
        self.assertIn("second.test", names()[0])
        # The counts are of every search the list holds.
        self.assertIn("93 results, 93 shown \u00B7 1 failed \u00B7 1 cancelled", page.text("#status"))
        page.add_rows([dict(row("icon"), url="data:image/png;base64,AAAA")])
        page.js("document.getElementById('hide-inline').click()")
        page.frames()
        self.assertIn("94 results, 93 shown", page.text("#status"))

    def test_a_small_window_keeps_five_rows_beside_the_details(self):
        self.page.close()
        self.page = page = Page(HTML, width=640, height=400)
        page.add_rows([row("r%02d.png" % i) for i in range(40)])
        page.js("document.getElementById('details-toggle').click()")
        page.frames()
        self.assertFalse(page.js("document.getElementById('details').hidden"))
        self.assertGreaterEqual(page.js("document.getElementById('viewport').clientHeight / "
                                        "document.querySelector('#viewport .row').offsetHeight"), 5)

    def test_previews_show_each_kind_and_never_run_the_body(self):
        page = self.page
        page.js("window.__answers.preview = 1")
        page.js("window.__answers.details = {returnValue: 1, details: {method: 'GET', url: "
                "'http://h.test/x', status: 200, statusText: 'OK', start: 5, response: 10, "
                "duration: 20, window: 0, requestHeaders: [], responseHeaders: []}}")
        hostile_svg = (b'<svg xmlns="http://www.w3.org/2000/svg" width="4" height="5" '
                       b'onload="top.__pwned=1"><script>top.__pwned=2</script></svg>')
        html = b"<script>window.__pwned=3</script><img src=x onerror=window.__pwned=4>"
        cases = [
            # [MIME type, body, what the pane shows]
            ("image/png", png(2, 3), "img", "2\u00d73 pixels"),
            ("image/svg+xml", hostile_svg, "img", "4\u00d75 pixels"),
            ("text/html", html, ".preview-text", html.decode()),
            ("application/json", b'{"a":"<img src=x onerror=window.__pwned=5>","b":[1]}', ".preview-text",
             '{\n  "a": "<img src=x onerror=window.__pwned=5>",\n  "b": [\n    1\n  ]\n}'),
            ("application/json", b'{"cut', ".preview-text", '{"cut'),
            ("font/ttf", system_font(), ".preview-font", "quick brown fox"),
            ("video/mp4", b"\0\0\0\x18ftypmp42", "video", ""),
            ("application/octet-stream", b"\x00\x01AB", ".preview-text", "00000000  00 01 41 42"),
        ]
        page.add_rows([dict(row("r%d" % index), id=index + 1) for index in range(len(cases))])
        page.js("document.getElementById('details-toggle').click()")
        for index, (mime, body, selector, shown) in enumerate(cases):
            page.js("document.querySelectorAll('#viewport .row .name')[%d].click()" % index)
            page.frames()
            page.js("document.querySelector('#details [data-action=preview]').click()")
            self.assertEqual(page.calls("preview")[-1]["params"], {"id": index + 1})
            page.frames()
            self.assertIn("Fetching the body", page.text("#details"))
            ready = {"id": index + 1, "ok": True, "error": "", "mimeType": mime, "whole": True,
                     "bytes": len(body), "data": base64.b64encode(body).decode()}
            page.js("previewReady(%s)" % json.dumps(json.dumps(ready)))
            page.frames()
            text = lambda: page.js("((part) => part ? part.textContent : null)(document."
                                   "querySelector('#details %s'))" % selector)
            self.assertIsNotNone(text(), mime)
            where = "#details" if selector in ("img", "video", ".preview-font") else "#details " + selector
            self.assertTrue(page.wait(lambda: shown in page.text(where)), (mime, page.text(where)))
            if selector == ".preview-font":  # the sample line is drawn in the font
                self.assertTrue(page.wait(lambda: "trawler-preview" in page.js(
                    "document.querySelector('#details .preview-font').style.fontFamily")))
        self.assertIsNone(page.js("window.__pwned"))
        self.assertEqual(page.js("document.querySelectorAll('#details iframe, #details object, "
                                 "#details embed, #details script').length"), 0)
        # A failure says why; a preview of a row no longer in hand is not shown.
        page.js("previewReady(%s)" % json.dumps(json.dumps({"id": 8, "ok": False,
                                                              "error": "404 Not Found"})))
        page.js("previewReady(%s)" % json.dumps(json.dumps({"id": 1, "ok": True, "mimeType": "text/plain",
                                                              "whole": True, "data": "aGk="})))
        page.frames()
        self.assertIn("No preview: 404 Not Found", page.text("#details"))


def screenshot(path, dark, size):
    width, height = (int(part) for part in size.split("x"))
    page = Page(HTML, dark=dark, width=width, height=height)
    page.js("document.getElementById('address').value = 'https://media.example/gallery'")
    page.js("document.getElementById('start').click()")
    page.frames()
    kinds = [("image/png", ".png"), ("video/mp4", ".mp4"), ("text/css", ".css"),
             ("application/javascript", ".js")]
    rows = []
    for index in range(200):
        mime, extension = kinds[index % 4]
        name = "resource-%03d%s" % (index, extension)
        shown = row(name, mime, "%d.%02dKB" % (index % 97 + 1, index % 100) if index % 7
                    else "unknown",
                    "https://cdn.media.example/assets/2026/very/long/path/to/" + name +
                    "?token=" + "abcdef0123456789" * 3)
        shown.update(id=index + 1, status=404 if index % 9 == 4 else 200, statusText="OK",
                     method="POST" if index % 13 == 5 else "GET", duration=index * 7 % 900,
                     start=index * 9, response=index * 7 % 900 // 3,
                     redirects=1 if index % 11 == 3 else 0,
                     error="Connection refused" if index % 17 == 8 else "")
        rows.append(shown)
    # A master playlist, and a media playlist with two segments folded under it.
    rows[0].update(fileName="master.m3u8", mimeType="application/vnd.apple.mpegurl", playlist={
        "kind": "hls-master", "segments": 0, "duration": 0, "encryption": "", "live": False,
        "note": "", "variants": [{"url": "", "resolution": "1280x720", "bandwidth": 2400000,
                                  "codecs": ""}] * 3})
    rows[1].update(fileName="index.m3u8", mimeType="text/plain", playlist={
        "kind": "hls-media", "segments": 2, "duration": 12.0, "encryption": "", "live": False,
        "note": "", "variants": []})
    for segment in rows[2:4]:
        segment.update(parent=2)
    page.add_rows(rows)
    page.js("pageLoaded(%s)" % json.dumps(json.dumps({
        "url": "https://media.example/gallery", "ok": True, "error": "", "loadMs": 1250})))
    page.js("Array.from(document.querySelectorAll('#viewport .row')).slice(0, 3).pop().click()")
    page.js("saveProgress(%s)" % json.dumps(json.dumps({
        "job": 1, "name": "index.ts", "state": "running", "bytes": 3 << 20, "total": -1,
        "item": 0, "items": 2, "joined": True, "path": "/tmp/index.ts", "error": ""})))
    page.frames()
    page.screenshot(path)
    page.close()


if __name__ == "__main__":
    arguments = sys.argv[1:]
    if arguments and not arguments[0].startswith("-"):
        HTML = arguments.pop(0)
    if arguments and arguments[0] == "--screenshot":
        sizes = [argument[len("--size="):] for argument in arguments if argument.startswith("--size=")]
        screenshot(arguments[1], "--dark" in arguments, sizes[0] if sizes else "1100x700")
    else:
        unittest.main(argv=[sys.argv[0]] + arguments, verbosity=2)
