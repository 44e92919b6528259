"""A generated test site on 127.0.0.1, served with HTTP/1.1 keep-alive, that logs every
response it sends. It also carries the conversation with the test UI page: the page asks
for its next command and reports what happened (rows, answers) with synchronous requests.
"""

import collections
import json
import os
import queue
import re
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PNG = bytes.fromhex(
    "89504e470d0a1a0a0000000d4948445200000001000000010806000000"
    "1f15c4890000000d49444154789c6360000002000001e221bc330000000049454e44ae426082")


def padded(data, size):
    return data + b"\0" * max(0, size - len(data))


# What a resource's answers say of caching unless it says otherwise: fresh for a minute,
# then revalidated by date, as a static file server sends it.
LAST_MODIFIED = "Tue, 01 Dec 2026 10:00:00 GMT"
CACHED = {"Cache-Control": "max-age=60", "Last-Modified": LAST_MODIFIED}


class Page:
    """One resource of the site: its content type, body, how it is sent, and the further
    headers of its answers (caching, disposition)."""

    def __init__(self, content_type, body, status=200, chunked=False, location=None,
                 headers=None, guarded=False, held=False, cut=False, drops=0):
        self.content_type = content_type
        # Its first answers, that many, are cut as `cut` cuts them (a connection that
        # dropped once).
        self.drops = drops
        # The connection closes halfway through the body (in the middle of a chunk, or
        # short of its Content-Length), as a server that went down would leave it.
        self.cut = cut
        self.body = body if isinstance(body, bytes) else body.encode()
        self.status = status
        self.chunked = chunked
        self.location = location
        self.headers = CACHED if headers is None else headers
        # Served only with the cookie and Referer of the stream page (see STREAM_COOKIE):
        # /hls.html, or the page whose path it names.
        self.guarded = "/hls.html" if guarded is True else guarded
        # A chunked body whose second half waits until the test releases it (SiteServer.
        # release): a download that is under way for as long as the test needs.
        self.held = held

    def unchanged(self, request_headers):
        """Whether a conditional request names what this page still is (its answer: 304)."""
        tag = self.headers.get("ETag")
        if request_headers.get("If-None-Match") is not None:
            return tag is not None and request_headers["If-None-Match"] == tag
        since = request_headers.get("If-Modified-Since")
        return since is not None and since == self.headers.get("Last-Modified")

    def part(self, range_header):
        """(first, last) of a satisfiable single byte range the request asks for, or None."""
        found = re.fullmatch(r"bytes=(\d+)-(\d*)", range_header or "")
        if self.chunked or self.status != 200 or not found or int(found.group(1)) >= len(self.body):
            return None
        last = int(found.group(2)) if found.group(2) else len(self.body) - 1
        return int(found.group(1)), min(last, len(self.body) - 1)


# A page's script that tells the site its window's frame each time it has a new one (the
# window's configure event reaching the page): GET <p>/frame?name=...&x=&y=&w=&h=.
FRAME_REPORT = """<script>
(function () {
  var told = '';
  (function look() {
    var frame = 'x=' + screenX + '&y=' + screenY + '&w=' + outerWidth + '&h=' + outerHeight;
    if (frame !== told) {
      told = frame;
      new Image().src = '%(p)s/frame?name=%(name)s&' + frame;
    }
    requestAnimationFrame(look);
  })();
})();
</script>"""


def site_pages(phase):
    """The pages of one phase of a test, all under /p<phase>/, so no load of one phase is
    answered from a cache of another (and no query stands in the way of the extension
    filter)."""
    p = "/p%d" % phase
    pages = {
        "/index.html": Page("text/html", """<!DOCTYPE html>
<title>Site</title>
<link rel="stylesheet" href="%(p)s/style.css">
<script src="%(p)s/script.js"></script>
<script src="%(p)s/missing.js"></script>
<img src="%(p)s/img/pic.png">
<img src="%(p)s/redirect">
<img src="%(p)s/hostile/%%3Cimg%%20src=x%%20onerror=alert(1)%%3E%%22q%%27.png">
<img src="%(p)s/caf%%C3%%A9/sep%%E2%%80%%A8.png">
<iframe src="%(p)s/frame.html"></iframe>
<a id="link" href="%(p)s/popup-link.html" target="_blank">popup</a>
<script>
fetch('%(p)s/media/clip.mp4');
fetch('%(p)s/media/stream.mp4');
fetch('%(p)s/data.json');
fetch('data:text/html,<b onmouseover="alert(1)">\\'q\\'</b>');
setTimeout(() => {
  document.getElementById('link').click();
  window.open('%(p)s/popup-open.html');
}, 300);
</script>""" % {"p": p}),
        "/style.css": Page("text/css", "body { color: #333 }"),
        "/script.js": Page("application/javascript", "var loaded = true;"),
        "/missing.js": Page("text/html", "<h1>404</h1>", status=404),
        "/img/pic.png": Page("image/png", padded(PNG, 1536)),
        "/redirect": Page("text/html", "", status=302, location=p + "/redirected.png"),
        "/redirected.png": Page("image/png", PNG),
        "/hostile/<img src=x onerror=alert(1)>\"q'.png": Page("image/png", PNG),
        "/caf\u00e9/sep\u2028.png": Page("image/png", PNG),
        "/frame.html": Page("text/html", '<img src="%s/frame-pic.png">' % p),
        "/frame-pic.png": Page("image/png", PNG),
        "/media/clip.mp4": Page("video/mp4", b"\0" * (2 << 20)),
        "/media/stream.mp4": Page("video/mp4", b"\1" * 5000, chunked=True),
        "/data.json": Page("application/json", '{"a": 1}'),
        "/popup-link.html": Page("text/html", '<img src="%s/popup-link.png">' % p),
        "/popup-link.png": Page("image/png", PNG),
        "/popup-open.html": Page("text/html", '<img src="%s/popup-open.png">' % p),
        "/popup-open.png": Page("image/png", PNG),
        # A page whose images come only when the test lets them (one per tick).
        "/ticker.html": Page("text/html", """<!DOCTYPE html><body><script>
var images = [];
function next() {
  var x = new XMLHttpRequest();
  x.open('GET', '%(p)s/tick-wait', false);
  x.send();
  if (x.responseText) {
    var img = new Image();
    img.src = '%(p)s/tick/' + x.responseText + '.png';
    images.push(img);
  }
  setTimeout(next, 20);
}
next();
</script>""" % {"p": p}),
        # A page that asks for an image every 10 ms, STREAM_COUNT in all.
        "/stream.html": Page("text/html", """<!DOCTYPE html><body><script>
var i = 0;
var timer = setInterval(function () {
  fetch('%(p)s/s/' + i + '.png');
  if (++i === %(n)d) clearInterval(timer);
}, 10);
</script>""" % {"p": p, "n": STREAM_COUNT}),
        # A page that fetches a data: URL of BIG_URL_LENGTH characters, then one more file.
        "/big.html": Page("text/html", """<!DOCTYPE html><body><script>
var prefix = 'data:text/plain,';
fetch(prefix + 'a'.repeat(%(n)d - prefix.length)).then(function () {
  fetch('%(p)s/after-big.json');
});
</script>""" % {"p": p, "n": BIG_URL_LENGTH}),
        "/after-big.json": Page("application/json", "{}"),
        # The same images under each kind of caching a site uses; once they are all in, the
        # page asks for /cache/loaded.txt, so that row comes last.
        "/cache.html": Page("text/html", "".join(
            '<img src="%s/cache/%s.png">' % (p, name) for name in CACHE_HEADERS) +
            "<script>onload = () => fetch('%s/cache/loaded.txt');</script>" % p),
        "/cache/loaded.txt": Page("text/plain", "loaded"),
        # A page that tries to read a local file and another origin's answer, by fetch, by
        # XHR and in a popup, and tells its server what it got (the query says where to look).
        "/leak.html": Page("text/html", """<!DOCTYPE html><body><script>
var where = new URLSearchParams(location.search);
function tell(what, text) { new Image().src = '%(p)s/told/' + what + '?' + encodeURIComponent(text); }
function read(what, url) {
  fetch(url).then(function (r) { return r.text(); })
            .then(function (t) { tell(what, t); }, function () { tell(what, 'refused'); });
}
read('fetch-file', where.get('file'));
read('other-origin', where.get('origin'));
try {
  var x = new XMLHttpRequest();
  x.open('GET', where.get('file'), false);
  x.send();
  tell('xhr-file', x.responseText);
} catch (e) { tell('xhr-file', 'refused'); }
var popup = window.open(where.get('file'));
setTimeout(function () {
  try { tell('popup-file', popup.document.body.innerText); } catch (e) { tell('popup-file', 'refused'); }
}, 500);
</script>""" % {"p": p}),
        "/secret.json": Page("application/json", '{"secret": "other origin"}'),
        # Answers a browser saves as files instead of showing them.
        "/attachment.html": Page("text/html", '<iframe src="%s/files/.bashrc"></iframe>' % p),
        "/files/.bashrc": Page("text/plain", "echo owned", headers={
            "Content-Disposition": 'attachment; filename=".bashrc"'}),
        "/files/evil.desktop": Page("application/x-desktop", "[Desktop Entry]\n", headers={
            "Content-Disposition": 'attachment; filename="evil.desktop"'}),
        "/media.html": Page("text/html", """<!DOCTYPE html>
<audio src="%(p)s/media/sound.mp3" preload="auto" autoplay muted></audio>
<video src="%(p)s/media/movie.mp4" preload="auto" autoplay muted></video>""" % {"p": p}),
        "/media/sound.mp3": Page("audio/mpeg", b"\xff\xfb\x90\x00" * 3000),
        "/media/movie.mp4": Page("video/mp4", b"\0\0\0\x18ftypmp42" + b"\0" * 60000),
        # Windows a page sizes and moves: when it opens them, and by script once open.
        "/sizes.html": Page("text/html", """<!DOCTYPE html><body><script>
window.open('%(p)s/sized.html', 'sized', 'left=40,top=50,width=420,height=300');
window.open('%(p)s/moved.html', 'moved', 'width=300,height=200');
</script>""" % {"p": p}),
        "/sized.html": Page("text/html", "<title>sized</title><body style='background:#00c000'>"
                            + FRAME_REPORT % {"p": p, "name": "sized"}),
        # A page that resizes its window, then moves it at once: both take effect.
        "/moved.html": Page("text/html", "<title>moved</title><body style='background:#0000c0'>"
                            "<script>resizeTo(500, 350); moveTo(200, 150);</script>"
                            + FRAME_REPORT % {"p": p, "name": "moved"}),
        "/empty.html": Page("text/html", "<script>fetch('data:text/plain,');"
                            "fetch('%s/empty.txt');</script>" % p),
        "/empty.txt": Page("text/plain", ""),
        # Requests with every kind of outcome: an error status, a redirect chain, a POST
        # beacon, a refused connection and a host that does not resolve.
        "/outcomes.html": Page("text/html", """<!DOCTYPE html><body>
<img src="%(p)s/missing.png">
<script>
fetch('%(p)s/broken.json');
fetch('%(p)s/hop1');
navigator.sendBeacon('%(p)s/beacon', 'seen');
fetch('http://127.0.0.1:%(closed)d/refused.png').catch(function () {});
fetch('http://nohost.invalid/unresolved.png').catch(function () {});
</script>""" % {"p": p, "closed": CLOSED_PORT}),
        "/broken.json": Page("application/json", '{"error": 1}', status=500),
        "/hop1": Page("text/html", "", status=301, location=p + "/hop2"),
        "/hop2": Page("text/html", "", status=302, location=p + "/final.json"),
        "/final.json": Page("application/json", '{"final": true}'),
        # A page that sets a session cookie, then shows an image served only to a request
        # with that cookie and the page as its Referer.
        "/cookie.html": Page("text/html", """<!DOCTYPE html><body><script>
document.cookie = 'session=s3cr3t; path=/';
var image = new Image();
image.src = '%(p)s/private.png';
document.body.appendChild(image);
</script>""" % {"p": p}),
        "/private.png": Page("image/png", padded(PNG, 2500)),
        # A page that prints, then shows an alert.
        "/alert.html": Page("text/html", "<script>print(); alert('printed');</script>"),
    }
    for size, (name, headers) in enumerate(CACHE_HEADERS.items(), 1):
        pages["/cache/%s.png" % name] = Page("image/png", padded(PNG, 1000 * size), headers=headers)
    return pages


STREAM_COOKIE = "hls=granted"
# The AES-128 stream's key.
STREAM_KEY = bytes(range(0x40, 0x50))


def encoded_stream(folder, name, size):
    """An HLS media playlist of three 2-second MPEG-TS segments of a test picture, made by
    ffmpeg: {file name: bytes}."""
    out = os.path.join(folder, name)
    os.makedirs(out, exist_ok=True)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                    "testsrc=duration=6:size=%s:rate=10" % size, "-c:v", "mpeg2video", "-g", "10",
                    "-f", "hls", "-hls_time", "2", "-hls_list_size", "0", "-hls_playlist_type",
                    "vod", "-hls_segment_filename", os.path.join(out, "seg_%d.ts"),
                    os.path.join(out, "index.m3u8")], check=True, timeout=120)
    files = {}
    for file_name in sorted(os.listdir(out)):
        with open(os.path.join(out, file_name), "rb") as data:
            files[file_name] = data.read()
    return files


def stream_pages(phase, folder):
    """A page that plays an HLS stream as a script player does (the master playlist by
    XMLHttpRequest, then the low variant's playlist by fetch() and its segments), with an
    audio and a video element, an AES-128 playlist (its key guarded), a DRM and a malformed
    playlist, an image and a high variant served only with the page's cookie and Referer,
    and a slow big file."""
    p = "/p%d" % phase
    pages = {
        "/hls.html": Page("text/html", """<!DOCTYPE html><body>
<audio src="%(p)s/media/sound.mp3" preload="auto"></audio>
<video src="%(p)s/media/movie.mp4" preload="auto"></video>
<script>
document.cookie = '%(cookie)s; path=/';
var image = new Image();
image.src = '%(p)s/hls/poster.png';
document.body.appendChild(image);
function get(url, type) {
  return new Promise(function (done) {
    var request = new XMLHttpRequest();
    request.open('GET', url);
    request.responseType = type;
    request.onloadend = function () { done(request.response); };
    request.send();
  });
}
get('%(p)s/hls/master.m3u8', 'text').then(function (master) {
  var low = master.split('\\n').filter(function (line) { return /^low/.test(line); })[0];
  return fetch('%(p)s/hls/' + low).then(function (answer) { return answer.text(); });
}).then(function (playlist) {
  var segments = playlist.split('\\n').filter(function (line) { return /\\.ts$/.test(line); });
  return segments.reduce(function (previous, segment) {
    return previous.then(function () { return get('%(p)s/hls/low/' + segment, 'arraybuffer'); });
  }, Promise.resolve());
}).then(function () {
  fetch('%(p)s/hls/locked.m3u8');
  fetch('%(p)s/hls/drm.m3u8');
  fetch('%(p)s/hls/broken.m3u8');
});
</script>""" % {"p": p, "cookie": STREAM_COOKIE}),
        "/media/sound.mp3": Page("audio/mpeg", b"\xff\xfb\x90\x00" * 3000),
        "/media/movie.mp4": Page("video/mp4", b"\0\0\0\x18ftypmp42" + b"\0" * 60000),
        "/hls/master.m3u8": Page("application/vnd.apple.mpegurl", """#EXTM3U
#EXT-X-STREAM-INF:BANDWIDTH=300000,RESOLUTION=160x120,CODECS="mp2v"
low/index.m3u8
#EXT-X-STREAM-INF:BANDWIDTH=900000,RESOLUTION=320x240,CODECS="mp2v"
high/index.m3u8
"""),
        "/hls/drm.m3u8": Page("application/x-mpegurl", """#EXTM3U
#EXT-X-KEY:METHOD=SAMPLE-AES,URI="skd://key",KEYFORMAT="com.apple.streamingkeydelivery"
#EXTINF:2.0,
secret_0.ts
#EXT-X-ENDLIST
"""),
        "/hls/broken.m3u8": Page("application/vnd.apple.mpegurl", "#EXTM3U\n#EXTINF:banana,\n"),
        "/hls/poster.png": Page("image/png", padded(PNG, 3000), guarded=True),
        "/big.bin": Page("application/octet-stream", b"\7" * (2 << 20), chunked=True, held=True),
    }
    for variant, size, guarded in (("low", "160x120", False), ("high", "320x240", True)):
        for file_name, data in encoded_stream(folder, variant, size).items():
            # The low variant's playlist comes as plain text, as many sites send one.
            kind = "text/plain" if file_name.endswith(".m3u8") else "video/mp2t"
            pages["/hls/%s/%s" % (variant, file_name)] = Page(kind, data, guarded=guarded)
    pages.update(encrypted_stream(folder, [pages["/hls/low/seg_%d.ts" % n].body for n in range(3)]))
    return pages


def encrypted_stream(folder, segments):
    """The segments as an AES-128 stream (/hls/locked.m3u8, each IV its media sequence
    number), whose key only the stream page's cookie and Referer get."""
    lines = ["#EXTM3U", "#EXT-X-TARGETDURATION:2", '#EXT-X-KEY:METHOD=AES-128,URI="key.bin"']
    pages = {"/hls/key.bin": Page("application/octet-stream", STREAM_KEY, guarded=True)}
    for number, clear in enumerate(segments):
        plain = os.path.join(folder, "clear_%d.ts" % number)
        with open(plain, "wb") as out:
            out.write(clear)
        encrypted = subprocess.run(
            ["openssl", "enc", "-aes-128-cbc", "-K", STREAM_KEY.hex(), "-iv", "%032x" % number,
             "-in", plain], check=True, capture_output=True, timeout=60).stdout
        pages["/hls/locked/seg_%d.ts" % number] = Page("video/mp2t", encrypted)
        lines += ["#EXTINF:2.0,", "locked/seg_%d.ts" % number]
    pages["/hls/locked.m3u8"] = Page("application/x-mpegurl", "\n".join(lines + ["#EXT-X-ENDLIST", ""]))
    return pages


def closed_port():
    """A port of 127.0.0.1 that nothing listens on (WebKit refuses the ports it blocks)."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


CLOSED_PORT = closed_port()
STREAM_COUNT = 300
# The headers of each cached image of /cache.html, by name.
CACHE_HEADERS = {
    "last-modified": {"Last-Modified": LAST_MODIFIED},
    "etag": {"ETag": '"e1"', "Cache-Control": "max-age=0"},
    "no-cache": {"ETag": '"n1"', "Cache-Control": "no-cache"},
    "max-age": {"Cache-Control": "max-age=3600"},
}
BIG_URL_LENGTH = 50 * 1000 * 1000

# What the site sent for one request, and when (time.monotonic()).
Response = collections.namedtuple("Response", "path status content_type has_length length time")
# What a request asked for: its method, path (as sent, query included), host and fields.
Request = collections.namedtuple("Request", "method path host headers")


class QuietServer(ThreadingHTTPServer):
    """Clients that go away mid-answer (a page that is closed) are no failure."""

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


class SiteServer:
    """The site, the log of what it sent, and the UI page's commands and reports."""

    def __init__(self, certificate=None):
        """certificate: (certificate file, key file) for a further listener that speaks TLS."""
        self.log = []  # Response, in the order sent
        self.requests = []  # Request: what each request of the site asked and carried
        self.reports = []  # what the UI page reported, in order
        self.sites = {}
        self.commands = queue.Queue()
        self.ticks = queue.Queue()
        self.lock = threading.RLock()
        self.changed = threading.Condition(self.lock)
        # Lets the second half of held bodies go (see Page.held).
        self.release = threading.Event()
        # The UI page talks to the test on a port of its own, so that its requests never
        # wait behind the site's in the browser's queue for one host.
        handler = self._handler()
        self.servers = [QuietServer(("127.0.0.1", 0), handler) for _ in range(2)]
        for httpd in self.servers:
            httpd.daemon_threads = True
            threading.Thread(target=httpd.serve_forever, daemon=True).start()
        self.port = self.servers[0].server_address[1]
        self.control_port = self.servers[1].server_address[1]
        if certificate:
            secure = QuietServer(("127.0.0.1", 0), handler)
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*certificate)
            secure.socket = context.wrap_socket(secure.socket, server_side=True)
            secure.daemon_threads = True
            threading.Thread(target=secure.serve_forever, daemon=True).start()
            self.servers.append(secure)
            self.tls_port = secure.server_address[1]

    def pages(self, phase):
        """The site of a phase, made once."""
        with self.lock:
            if phase not in self.sites:
                self.sites[phase] = site_pages(phase)
            return self.sites[phase]

    def url(self, path):
        """The address of a path of the site; an address is left as it is."""
        return path if "://" in path else "http://127.0.0.1:%d%s" % (self.port, path)

    def stop(self):
        self.release.set()
        for httpd in self.servers:
            httpd.shutdown()
            httpd.server_close()

    def wait_for(self, predicate, seconds=15.0):
        """Waits until predicate() holds; it runs with the lock held (which it may take again)."""
        deadline = time.monotonic() + seconds
        with self.changed:
            while not predicate():
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self.changed.wait(left)
            return True

    def reports_of(self, kind):
        with self.lock:
            return [report["data"] for report in self.reports if report["kind"] == kind]

    def logged(self):
        with self.lock:
            return list(self.log)

    def asked(self, path):
        """The requests of a path (query included), in order."""
        with self.lock:
            return [request for request in self.requests if request.path == path]

    def _record(self, entry, into):
        with self.changed:
            into.append(entry)
            self.changed.notify_all()

    def _handler(self):
        server = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def setup(self):
                super().setup()
                # Headers and body go out separately; without this each keep-alive
                # response waits for the client's delayed ACK.
                self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

            def log_message(self, *arguments):
                pass

            def note_request(self):
                if self.path in ("/command", "/report") or self.path.endswith("/tick-wait"):
                    return
                server._record(Request(self.command, self.path, self.headers.get("Host", ""),
                                       dict(self.headers)), server.requests)

            def do_HEAD(self):
                self.do_GET()

            def do_POST(self):
                self.note_request()
                body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                if self.path == "/report":
                    server._record(json.loads(body.decode("utf-8")), server.reports)
                self.send_answer(200, "text/plain", b"", log=self.path != "/report",
                                 close=self.path == "/report")

            def do_GET(self):
                self.note_request()
                path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
                phase = 0
                prefix = re.match(r"/p(\d+)(/.*)", path)
                if prefix:
                    phase, path = int(prefix.group(1)), prefix.group(2)
                if path == "/command":
                    try:
                        command = json.dumps(server.commands.get_nowait()).encode()
                    except queue.Empty:
                        command = b""
                    return self.send_answer(200, "application/json", command, log=False,
                                            close=True)
                if path == "/tick-wait":
                    try:
                        tick = str(server.ticks.get(timeout=0.1)).encode()
                    except queue.Empty:
                        tick = b""
                    return self.send_answer(200, "text/plain", tick, log=False)
                if path.startswith(("/tick/", "/s/", "/sentinel.png")):
                    return self.send_answer(200, "image/png", PNG)
                if path == "/sentinel.json":
                    return self.send_answer(200, "application/json", b"{}")
                page = server.pages(phase).get(path)
                if page is None:
                    return self.send_answer(404, "text/plain", b"not here")
                if path == "/private.png" and not (
                        "session=s3cr3t" in self.headers.get("Cookie", "") and
                        self.headers.get("Referer", "").endswith("/p%d/cookie.html" % phase)):
                    return self.send_answer(403, "text/plain", b"who are you?")
                if page.guarded and not (
                        STREAM_COOKIE in self.headers.get("Cookie", "") and
                        self.headers.get("Referer", "").endswith("/p%d%s" % (phase, page.guarded))):
                    return self.send_answer(403, "text/plain", b"who are you?")
                if page.unchanged(self.headers):
                    return self.send_answer(304, None, b"", headers=page.headers)
                headers = dict(page.headers)
                if page.location:
                    headers["Location"] = page.location
                part = page.part(self.headers.get("Range"))
                dropped = page.drops > 0
                page.drops -= dropped
                if part is None or dropped:
                    return self.send_answer(page.status, page.content_type, page.body,
                                            page.chunked, headers,
                                            hold=server.release if page.held else None,
                                            cut=page.cut or dropped)
                headers["Content-Range"] = "bytes %d-%d/%d" % (part + (len(page.body),))
                self.send_answer(206, page.content_type, page.body[part[0]:part[1] + 1],
                                 headers=headers)

            def send_answer(self, status, content_type, body, chunked=False, headers=None,
                            log=True, hold=None, cut=False, close=False):
                """Sends an answer; without headers of its own it is never cached. The test
                channel's answers close their connection: an idle connection that WebKit
                keeps makes libsoup look at it again for every request it queues, which
                slows a heavy page's load down."""
                self.send_response(status)
                if close:
                    self.send_header("Connection", "close")
                    self.close_connection = True
                if content_type:
                    self.send_header("Content-Type", content_type)
                for name, value in (headers or {"Cache-Control": "no-store"}).items():
                    self.send_header(name, value)
                if chunked:
                    self.send_header("Transfer-Encoding", "chunked")
                elif status != 304:  # a 304 has no body, and says nothing of its length
                    self.send_header("Content-Length", str(len(body)))
                    if status in (200, 206):
                        self.send_header("Accept-Ranges", "bytes")
                self.end_headers()
                if self.command == "HEAD":
                    pass
                elif cut:
                    # A chunk that says it holds more than comes.
                    half = body[:len(body) // 2]
                    self.wfile.write(b"%x\r\n%s" % (len(body), half) if chunked else half)
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)
                    self.close_connection = True
                elif chunked:
                    for start in range(0, len(body), 1000):
                        if hold is not None and start == len(body) // 2 // 1000 * 1000:
                            self.wfile.flush()
                            hold.wait(60)
                        piece = body[start:start + 1000]
                        self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                    self.wfile.write(b"0\r\n\r\n")
                else:
                    self.wfile.write(body)
                if log:
                    server._record(Response(self.path, status, content_type, not chunked,
                                            len(body), time.monotonic()), server.log)

        return Handler
