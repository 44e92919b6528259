// The details of the selected row, as native code keeps them of its request: the outcome and
// timing (with its bar on the waterfall), the redirect hops that led to it, the request and
// response headers, the error, and a preview of its body (preview_view.js) on request. Text
// from the web reaches the document through textContent only.
'use strict';

(function (exports) {
  function windowName(number) {
    return number ? 'window ' + number + ' the pages opened' : 'the main browsing window';
  }

  function headerLines(fields) {
    if (!Array.isArray(fields) || !fields.length) return ['(none known)'];
    return fields.map((field) => field.name + ': ' + field.value);
  }

  const CACHES = {memory: ' (from the memory cache)', disk: ' (from the disk cache)',
                  revalidated: ' (the cached copy, confirmed by the server)'};

  // The request's outcome, as a person reads it.
  function outcomeOf(details) {
    const status = details.status ? details.status + ' ' + details.statusText +
                                        (CACHES[details.cache] || '') : '';
    const then = details.error ? 'Failed: ' + details.error
        : details.cancelled ? 'Cancelled' : '';
    if (details.blocked) return 'Blocked: a window the page asked for, not opened';
    if (status && then) return status + '; then ' + then.toLowerCase();
    return status || then || 'No response yet';
  }

  // The lines of each section of a row's details.
  function sectionsOf(details) {
    const time = details.duration >= 0 ? 'took ' + details.duration + ' ms' : 'still loading';
    const summary = [
      details.method + ' ' + details.url,
      outcomeOf(details),
      'Started ' + details.start + ' ms into the search; ' +
          (details.response >= 0 ? 'response after ' + details.response + ' ms; ' : '') + time,
      'In ' + windowName(details.window),
    ];
    if (details.method !== 'GET' && details.method !== 'HEAD') {
      summary.push('The body the page sent is not known: WebKitGTK does not hand it out');
    }
    if (details.untrustedCertificate) {
      summary.push('The page\u2019s certificate is one nobody vouches for');
    }
    const sections = [['Request', summary]];
    const hops = Array.isArray(details.redirectChain) ? details.redirectChain : [];
    if (hops.length) {
      sections.push(['Redirects', hops.map((hop) => hop.status + ' ' + hop.statusText + '  ' +
                                                   hop.method + ' ' + hop.url + '  \u2192 ' +
                                                   hop.location)]);
    }
    sections.push(['Request headers', headerLines(details.requestHeaders)]);
    sections.push(['Response headers', headerLines(details.responseHeaders)]);
    return sections;
  }

  function bandwidthText(bits) {
    return bits >= 1e6 ? (Math.round(bits / 1e5) / 10) + ' Mbit/s'
                       : Math.round(bits / 1000) + ' kbit/s';
  }

  // A playlist's lines, and the saves it offers: [label, variant] (variant -1: none).
  function streamOf(playlist) {
    const lines = [];
    const saves = [];
    if (playlist.note) lines.push(playlist.note);
    if (playlist.kind === 'hls-master' || playlist.kind === 'dash') {
      const dash = playlist.kind === 'dash';
      if (dash && playlist.encryption) {
        lines.push('Protected by DRM (' + playlist.encryption + '): it cannot be saved as one file');
      }
      playlist.variants.forEach((variant, index) => {
        const sound = variant.contentType === 'audio';
        const words = [variant.resolution || (sound ? 'sound' : 'audio or unknown size')];
        if (variant.bandwidth > 0) words.push(bandwidthText(variant.bandwidth));
        if (variant.codecs) words.push(variant.codecs);
        if (variant.sound) words.push('sound: ' + variant.sound);
        lines.push((index + 1) + '. ' + words.join(' \u00B7 ') +
                   (variant.url ? '  ' + variant.url : ''));
        // A manifest's pictures save with its best sound muxed in; a variant with its
        // rendition's.
        const saved = dash ? !playlist.encryption && !sound && variant.contentType !== 'text'
                           : Boolean(variant.url);
        if (saved) {
          saves.push(['Save ' + (variant.resolution || 'variant ' + (index + 1)) +
                      ' as one file\u2026', index]);
        }
      });
    } else if (playlist.kind === 'hls-media') {
      lines.push(playlist.segments + ' segments, ' + Math.round(playlist.duration * 10) / 10 +
                 ' s' + (playlist.live ? ', live (still growing)' : ''));
      // AES-128 keys come from the page's server, as a player fetches them; other methods
      // are sample encryption or DRM.
      if (playlist.encryption && playlist.encryption !== 'AES-128') {
        lines.push('Encrypted (' + playlist.encryption + '): it cannot be saved as one file');
      } else {
        lines.push(playlist.encryption ?
                   'Encrypted (AES-128): saved decrypted, with the key the page gets' :
                   'Not encrypted');
        saves.push(['Save playlist as one file\u2026', 0]);
      }
    }
    return {lines, saves};
  }

  function streamSection(playlist) {
    const {lines, saves} = streamOf(playlist);
    const heading = document.createElement('h2');
    heading.textContent = 'Stream';
    const text = document.createElement('pre');
    text.textContent = lines.join('\n');
    const parts = [heading, text];
    for (const [label, variant] of saves) {
      const button = document.createElement('button');
      button.type = 'button';
      button.dataset.action = 'save-playlist';
      button.dataset.variant = String(variant);
      button.textContent = label;
      parts.push(button);
    }
    return parts;
  }

  // The row's bar on the list's waterfall of span milliseconds.
  function timingBar(details, span) {
    const timing = document.createElement('div');
    timing.className = 'timing';
    timing.dataset.verdict = TrawlerResults.verdictOf(details);
    const bar = document.createElement('span');
    bar.className = 'bar';
    timing.appendChild(bar);
    TrawlerRows.fillBar(bar, details, span);
    return timing;
  }

  // The preview section: the preview's parts once they came, what it waits for, or why there
  // is none; else a button that asks for it.
  function previewSection(preview) {
    const heading = document.createElement('h2');
    heading.textContent = 'Preview';
    if (preview && preview.parts) return [heading, ...preview.parts];
    const line = document.createElement('p');
    if (preview) {
      line.textContent = preview.error ? 'No preview: ' + preview.error
                                       : 'Fetching the body…';
      return [heading, line];
    }
    const button = document.createElement('button');
    button.type = 'button';
    button.dataset.action = 'preview';
    button.textContent = 'Preview';
    line.textContent = ' the body the engine kept, or its first 10 MB fetched again with the ' +
                       'page’s session';
    line.prepend(button);
    return [heading, line];
  }

  function textSection(title, lines) {
    const heading = document.createElement('h2');
    heading.textContent = title;
    const text = document.createElement('pre');
    text.textContent = lines.join('\n');
    return [heading, text];
  }

  // Fills the pane with a row's details (an object of the details command), its bar on a
  // waterfall of span milliseconds and its preview (null: none asked for), or a line.
  function fill(pane, details, message, span, preview) {
    const parts = [];
    if (!details) {
      const line = document.createElement('p');
      line.textContent = message;
      parts.push(line);
    } else {
      if (details.playlist && typeof details.playlist === 'object') {
        parts.push(...streamSection(details.playlist));
      }
      // The request's outcome and its bar first, then the body, then the rest.
      sectionsOf(details).forEach(([title, lines], index) => {
        parts.push(...textSection(title, lines));
        if (index === 0) parts.push(timingBar(details, span), ...previewSection(preview));
      });
    }
    pane.replaceChildren(...parts);
  }

  exports.sectionsOf = sectionsOf;
  exports.streamOf = streamOf;
  exports.fill = fill;
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerDetails = {}));
