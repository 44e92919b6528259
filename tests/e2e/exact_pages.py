"""The pages of the tests of exact data and safe saves: requests of every method and
outcome, cached visits, cookies and referrer policies across two host names (127.0.0.1 and
localhost, two sites of the same server), a stream of byte ranges, and a page that opens
far more windows than it may."""

import gzip
import os
import subprocess

from local_site import PNG, Page, padded

NO_STORE = {"Cache-Control": "no-store"}
# What /zipped.txt holds once decoded.
ZIPPED = b"every line the same, so that it packs well\n" * 200


def byte_range_stream(folder):
    """An HLS stream of three 2-second MPEG-TS segments in one file, named by byte ranges,
    made by ffmpeg: (playlist, file)."""
    out = os.path.join(folder, "single")
    os.makedirs(out, exist_ok=True)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                    "testsrc=duration=6:size=160x120:rate=10", "-c:v", "mpeg2video", "-g", "10",
                    "-f", "hls", "-hls_time", "2", "-hls_list_size", "0", "-hls_playlist_type",
                    "vod", "-hls_flags", "single_file", os.path.join(out, "index.m3u8")],
                   check=True, timeout=120)
    with open(os.path.join(out, "index.m3u8"), "rb") as playlist, \
            open(os.path.join(out, "index.ts"), "rb") as data:
        return playlist.read(), data.read()


def exact_pages(phase, port, folder):
    """The pages under /p<phase>/; `port` is the site's (localhost is the same server)."""
    p = "/p%d" % phase
    far = "http://localhost:%d%s" % (port, p)
    playlist, single = byte_range_stream(folder)
    return {
        # Requests whose cURL commands must make them again: a URL curl would glob, a HEAD
        # and a POST with a body.
        "/requests.html": Page("text/html", """<!DOCTYPE html><body><script>
document.cookie = 'visit=1; path=/';
fetch('%(p)s/list[1]{a}.json').then(function () {
  return fetch('%(p)s/api', {method: 'HEAD'});
}).then(function () {
  return fetch('%(p)s/api', {method: 'POST', body: JSON.stringify({q: 1}),
                              headers: {'Content-Type': 'application/json'}});
});
</script>""" % {"p": p}, headers=NO_STORE),
        "/list[1]{a}.json": Page("application/json", '{"listed": true}', headers=NO_STORE),
        "/api": Page("application/json", '{"answer": "GET"}', headers=NO_STORE),
        # Loads a page lets go: an aborted fetch of a body that waits, a video's range
        # request, and a script the server failed.
        "/cancels.html": Page("text/html", """<!DOCTYPE html><body>
<video src="%(p)s/movie.mp4" preload="auto" muted></video>
<script src="%(p)s/broken.js"></script>
<script>
var stop = new AbortController();
fetch('%(p)s/slow.bin', {signal: stop.signal}).then(function (answer) {
  stop.abort();
}).catch(function () {});
</script>""" % {"p": p}, headers=NO_STORE),
        "/movie.mp4": Page("video/mp4", b"\0\0\0\x18ftypmp42" + b"\0" * 400000),
        "/broken.js": Page("text/javascript", "var broken;", status=500, headers=NO_STORE),
        "/slow.bin": Page("application/octet-stream", b"\5" * 300000, chunked=True, held=True),
        # Two pages with the same images: the second finds them in the memory cache, or
        # asks the server whether its copy is still good.
        "/first.html": Page("text/html", '<img src="%(p)s/fresh.png"><img src="%(p)s/tagged.png">'
                            % {"p": p}, headers=NO_STORE),
        "/second.html": Page("text/html", '<img src="%(p)s/fresh.png"><img src="%(p)s/tagged.png">'
                             % {"p": p}, headers=NO_STORE),
        "/fresh.png": Page("image/png", padded(PNG, 1200), headers={"Cache-Control": "max-age=3600"}),
        "/tagged.png": Page("image/png", padded(PNG, 1300),
                            headers={"ETag": '"t1"', "Cache-Control": "no-cache"}),
        # Cookies of localhost, set by a page of its own, and a page of 127.0.0.1 whose
        # requests there are cross-site; the page's address carries a token.
        "/set-cookies.html": Page("text/html", "<p>cookies set</p>", headers={
            "Cache-Control": "no-store",
            "Set-Cookie": "strict=1; Path=/; SameSite=Strict"}),
        "/set-more.html": Page("text/html", "<p>more</p>", headers={
            "Cache-Control": "no-store", "Set-Cookie": "lax=1; Path=/; SameSite=Lax"}),
        "/set-plain.html": Page("text/html", "<p>plain</p>", headers={
            "Cache-Control": "no-store", "Set-Cookie": "plain=1; Path=/"}),
        "/policy.html": Page("text/html", """<!DOCTYPE html><body>
<img src="%(far)s/far.png"><img src="%(p)s/near.png">
<script>
// Another site answers no CORS: the page takes opaque answers, as a player's media would.
fetch('%(far)s/far.m3u8', {mode: 'no-cors'}).then(function () {
  return fetch('%(far)s/far_0.ts', {mode: 'no-cors'});
});
</script>""" % {"p": p, "far": far}, headers=NO_STORE),
        "/far.png": Page("image/png", padded(PNG, 1400), headers=NO_STORE),
        "/near.png": Page("image/png", padded(PNG, 1500), headers=NO_STORE),
        "/far.m3u8": Page("application/vnd.apple.mpegurl",
                          "#EXTM3U\n#EXTINF:2,\nfar_0.ts\n#EXTINF:2,\nfar_1.ts\n#EXT-X-ENDLIST\n",
                          headers=NO_STORE),
        "/far_0.ts": Page("video/mp2t", b"G" * 188, headers=NO_STORE),
        "/far_1.ts": Page("video/mp2t", b"H" * 188, headers=NO_STORE),
        # A page that names its own policy.
        "/origin-only.html": Page("text/html", '<img src="%(p)s/near-o.png">' % {"p": p},
                                  headers={"Cache-Control": "no-store",
                                           "Referrer-Policy": "origin"}),
        "/near-o.png": Page("image/png", padded(PNG, 1500), headers=NO_STORE),
        # A stream whose segments are byte ranges of one file.
        "/single.html": Page("text/html", """<!DOCTYPE html><script>
fetch('%(p)s/single/index.m3u8');
</script>""" % {"p": p}, headers=NO_STORE),
        "/single/index.m3u8": Page("application/vnd.apple.mpegurl", playlist, headers=NO_STORE),
        "/single/index.ts": Page("video/mp2t", single, headers=NO_STORE),
        # A page that asks for a hundred windows.
        "/storm.html": Page("text/html", """<!DOCTYPE html><script>
for (var i = 0; i < 100; ++i) window.open('%(p)s/storm-%%d.html'.replace('%%d', i), 'w' + i);
</script>""" % {"p": p}, headers=NO_STORE),
        "/held.bin": Page("application/octet-stream", b"\6" * (2 << 20), chunked=True, held=True),
        # Bodies a save must not call whole: cut before the last chunk, or short of their
        # length; and one that comes compressed, whose length is not that of what is saved.
        "/files.html": Page("text/html", """<!DOCTYPE html><script>
fetch('%(p)s/cut-chunked.bin'); fetch('%(p)s/cut-short.bin'); fetch('%(p)s/zipped.txt');
</script>""" % {"p": p}, headers=NO_STORE),
        "/cut-chunked.bin": Page("application/octet-stream", b"\1" * 5000, chunked=True, cut=True,
                                 headers=NO_STORE),
        "/cut-short.bin": Page("application/octet-stream", b"\2" * 5000, cut=True,
                               headers=NO_STORE),
        "/zipped.txt": Page("text/plain", gzip.compress(ZIPPED), headers={
            "Cache-Control": "no-store", "Content-Encoding": "gzip"}),
    }
