"""Streams as players meet them, made with ffmpeg from one source (a test picture in H.264
and a tone in AAC): HLS in MPEG-TS (clear, and AES-128 with a key served only with the
page's cookie and Referer) and in fragmented MP4 with the sound as a rendition of its own,
and DASH with SegmentTemplate and $Number$, SegmentTemplate with a
SegmentTimeline, SegmentList, and SegmentBase, each with the sound as an adaptation set of
its own. Each form has a page that fetches its playlist, as a script player does."""

import json
import os
import re
import subprocess

from local_site import STREAM_COOKIE, STREAM_KEY, Page

SIZE = "320x240"
SECONDS = 4
FFMPEG = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y"]

# form: (its playlist, how ffmpeg packages the source)
HLS = ["-f", "hls", "-hls_time", "1", "-hls_list_size", "0", "-hls_playlist_type", "vod",
       "-var_stream_map", "v:0,agroup:aud a:0,agroup:aud,default:yes",
       "-master_pl_name", "master.m3u8"]
DASH = ["-f", "dash", "-seg_duration", "1", "-adaptation_sets", "id=0,streams=v id=1,streams=a"]
FORMS = {
    "hls-ts": ("master.m3u8", HLS + ["-hls_segment_filename", "s%v_%d.ts", "index%v.m3u8"]),
    "hls-aes": ("master.m3u8", HLS + ["-hls_key_info_file", "keyinfo", "-hls_segment_filename",
                                      "s%v_%d.ts", "index%v.m3u8"]),
    "hls-fmp4": ("master.m3u8", HLS + ["-hls_segment_type", "fmp4", "-hls_fmp4_init_filename",
                                       "init.mp4", "-hls_segment_filename", "s%v_%d.m4s",
                                       "index%v.m3u8"]),
    "dash-number": ("manifest.mpd", DASH + ["-use_template", "1", "-use_timeline", "0",
                                            "manifest.mpd"]),
    "dash-timeline": ("manifest.mpd", DASH + ["-use_template", "1", "-use_timeline", "1",
                                              "manifest.mpd"]),
    "dash-list": ("manifest.mpd", DASH + ["-use_template", "0", "-use_timeline", "0",
                                          "manifest.mpd"]),
    "dash-base": ("manifest.mpd", DASH + ["-use_template", "0", "-use_timeline", "0",
                                          "-single_file", "1", "manifest.mpd"]),
}


def make_source(folder, size=SIZE, seconds=SECONDS, rate=25):
    """The source: a keyframe each second, so that every segment starts with one."""
    path = os.path.join(folder, "source-%s-%d.mp4" % (size, seconds))
    if not os.path.exists(path):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(FFMPEG + [
            "-f", "lavfi", "-i", "testsrc=size=%s:rate=%d" % (size, rate),
            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", str(seconds),
            "-c:v", "libx264", "-preset", "veryfast", "-g", str(rate), "-keyint_min", str(rate),
            "-sc_threshold", "0", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "64k",
            path], check=True, timeout=300)
    return path


def as_segment_base(manifest):
    """A single-file manifest with each representation's SegmentList of byte ranges made its
    SegmentBase: the file's init range and its index, as on-demand DASH lists them."""
    def base(found):
        init = re.search(r'<Initialization range="(\d+)-(\d+)"', found.group(0))
        index = re.search(r'indexRange="(\d+)-(\d+)"', found.group(0))
        return ('<SegmentBase indexRange="%s-%s"><Initialization range="%s-%s" /></SegmentBase>'
                % (index.group(1), index.group(2), init.group(1), init.group(2)))
    return re.sub(r"<SegmentList.*?</SegmentList>", base, manifest, flags=re.S)


def package(source, folder, form):
    """The form's files: {name: bytes}."""
    out = os.path.join(folder, form)
    if not os.path.isdir(out):
        os.makedirs(out)
        if form == "hls-aes":
            # ffmpeg encrypts each segment with the key and names it key.bin in the playlist.
            with open(os.path.join(out, "key.bin"), "wb") as key:
                key.write(STREAM_KEY)
            with open(os.path.join(out, "keyinfo"), "w") as info:
                info.write("key.bin\n%s\n" % os.path.join(out, "key.bin"))
        subprocess.run(FFMPEG + ["-i", source, "-map", "0:v", "-map", "0:a", "-c", "copy"] +
                       FORMS[form][1], cwd=out, check=True, timeout=300)
        if form == "dash-base":
            with open(os.path.join(out, "manifest.mpd")) as text:
                manifest = as_segment_base(text.read())
            with open(os.path.join(out, "manifest.mpd"), "w") as text:
                text.write(manifest)
    files = {}
    for name in sorted(set(os.listdir(out)) - {"keyinfo"}):
        with open(os.path.join(out, name), "rb") as data:
            files[name] = data.read()
    return files


def kind_of(name):
    kinds = {".m3u8": "application/vnd.apple.mpegurl", ".mpd": "application/dash+xml",
             ".ts": "video/mp2t", ".m4s": "video/iso.segment", ".bin": "application/octet-stream"}
    return kinds.get(os.path.splitext(name)[1], "video/mp4")


def media_pages(phase, folder, forms=tuple(FORMS), source=None):
    """The forms' files under /streams/FORM/ and a page /streams/FORM.html that fetches the
    form's playlist; the source (and its path, in the returned pair)."""
    source = source or make_source(folder)
    pages = {}
    for form in forms:
        page = "/streams/%s.html" % form
        for name, data in package(source, folder, form).items():
            pages["/streams/%s/%s" % (form, name)] = Page(
                kind_of(name), data, guarded=page if name == "key.bin" else False)
        pages[page] = Page(
            "text/html", "<!DOCTYPE html><title>%s</title><script>document.cookie = '%s; "
            "path=/'; fetch('/p%d/streams/%s/%s')</script>"
            % (form, STREAM_COOKIE, phase, form, FORMS[form][0]))
    return pages, source


def probe(path):
    """ffprobe's streams and format of the file."""
    done = subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of",
                           "json", path], capture_output=True, text=True, check=True, timeout=60)
    return json.loads(done.stdout)


def frame_digests(path):
    """The digest of each decoded frame of the file's video, in order (ffmpeg's framemd5)."""
    done = subprocess.run(FFMPEG + ["-i", path, "-map", "0:v", "-f", "framemd5", "-"],
                          capture_output=True, text=True, check=True, timeout=120)
    return [line.split(",")[-1].strip() for line in done.stdout.splitlines()
            if line and not line.startswith("#")]
