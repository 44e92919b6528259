// A row's body as the details pane previews it: an image with its pixel size, text, JSON
// laid out, HTML and other markup as source, a font's sample line, a player for audio and
// video, or the first bytes in hexadecimal. The body never becomes a document of the UI
// page: text goes through textContent, an image through <img> (whose SVG runs no script),
// media through a blob: address, a font through FontFace.
'use strict';

(function (exports) {
  const SAMPLE = 'The quick brown fox jumps over the lazy dog \u00B7 0123456789';
  // More text than this is cut: the pane stays quick to lay out.
  const MOST_CHARACTERS = 200000;
  const TEXT_TYPES = /^text\/|(java|ecma)script|json|xml|html|css|csv|x-www-form-urlencoded|mpegurl|dash/;

  // What a MIME type is previewed as.
  function kindOf(mimeType) {
    const type = String(mimeType).toLowerCase().split(';')[0].trim();
    if (/^image\//.test(type)) return 'image';
    if (/^audio\//.test(type)) return 'audio';
    if (/^video\//.test(type)) return 'video';
    if (/^font\/|^application\/(x-)?font|woff|opentype|truetype/.test(type)) return 'font';
    if (/json/.test(type)) return 'json';
    if (TEXT_TYPES.test(type)) return 'text';
    return 'bytes';
  }

  function bytesOf(base64) {
    const binary = atob(base64);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // The bytes as UTF-8 text (what is no UTF-8 shows as U+FFFD), cut when very long.
  function textOf(bytes) {
    const text = new TextDecoder('utf-8').decode(bytes);
    return text.length > MOST_CHARACTERS
        ? text.slice(0, MOST_CHARACTERS) + '\n\u2026 (cut: ' +
              text.length.toLocaleString('en-US') + ' characters)'
        : text;
  }

  // JSON laid out two spaces an indent, or null when the text is no JSON (a body cut
  // short is not).
  function laidOut(text) {
    try {
      return JSON.stringify(JSON.parse(text), null, 2);
    } catch (error) {
      return null;
    }
  }

  // The first bytes, sixteen a line: offset, hexadecimal, and the printable ones.
  function hexLines(bytes, count = 256) {
    const lines = [];
    for (let offset = 0; offset < Math.min(bytes.length, count); offset += 16) {
      const part = Array.from(bytes.slice(offset, offset + 16));
      lines.push(offset.toString(16).padStart(8, '0') + '  ' +
                 part.map((byte) => byte.toString(16).padStart(2, '0')).join(' ').padEnd(47) +
                 '  ' + part.map((byte) => byte >= 32 && byte < 127 ? String.fromCharCode(byte)
                                                                    : '.').join(''));
    }
    return lines.join('\n');
  }

  function element(tag, className, text) {
    const made = document.createElement(tag);
    if (className) made.className = className;
    if (text !== undefined) made.textContent = text;
    return made;
  }

  // What the last preview made that outlives its elements: a blob: address and a font.
  const held = {url: '', font: null};

  function release() {
    if (held.url) URL.revokeObjectURL(held.url);
    if (held.font) document.fonts.delete(held.font);
    held.url = '';
    held.font = null;
  }

  function imageParts(preview, bytes, caption) {
    const image = element('img', 'preview-image');
    image.alt = 'Preview of the image';
    held.url = URL.createObjectURL(new Blob([bytes], {type: preview.mimeType}));
    // The size is read from an image outside the document: an SVG's natural size in the
    // page follows its drawn size once laid out (at least 48 pixels here).
    const measured = new Image();
    measured.addEventListener('load', () => {
      caption.textContent += ' \u00B7 ' + measured.naturalWidth + '\u00D7' +
                             measured.naturalHeight + ' pixels';
    });
    measured.addEventListener('error', () => {
      caption.textContent += ' \u00B7 not an image WebKit can draw';
    });
    measured.src = held.url;
    image.src = held.url;
    return [image];
  }

  function mediaParts(kind, preview, bytes) {
    const player = element(kind, 'preview-media');
    player.controls = true;
    player.preload = 'metadata';
    held.url = URL.createObjectURL(new Blob([bytes], {type: preview.mimeType}));
    player.src = held.url;
    return [player];
  }

  function fontParts(bytes, caption) {
    const sample = element('p', 'preview-font', SAMPLE);
    const family = 'trawler-preview-' + Date.now();
    const face = new FontFace(family, bytes.buffer);
    face.load().then(() => {
      document.fonts.add(face);
      held.font = face;
      sample.style.fontFamily = '"' + family + '", monospace';
    }, () => { caption.textContent += ' \u00B7 not a font WebKit can read'; });
    return [sample];
  }

  // The elements that show a preview ({mimeType, whole, bytes, data} as the native side told
  // it).
  function partsOf(preview) {
    release();
    const bytes = bytesOf(preview.data);
    const size = bytes.length.toLocaleString('en-US') + ' bytes';
    const caption = element('p', 'preview-caption',
                            preview.mimeType + ' \u00B7 ' + size +
                            (preview.whole ? '' : ' \u00B7 the first 10 MB only'));
    const kind = kindOf(preview.mimeType);
    if (kind === 'image') return [caption, ...imageParts(preview, bytes, caption)];
    if (kind === 'audio' || kind === 'video') return [caption, ...mediaParts(kind, preview, bytes)];
    if (kind === 'font') return [caption, ...fontParts(bytes, caption)];
    const text = kind === 'json' || kind === 'text' ? textOf(bytes) : '';
    const shown = kind === 'json' ? laidOut(text) : null;
    if (kind === 'json' && shown === null) caption.textContent += ' \u00B7 not valid JSON: as it came';
    return [caption, element('pre', 'preview-text',
                             kind === 'bytes' ? hexLines(bytes) : shown === null ? text : shown)];
  }

  Object.assign(exports, {kindOf, laidOut, hexLines, partsOf, release});
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerPreview = {}));
