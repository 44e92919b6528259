// The details of the selected row, as native code keeps them of its request: the outcome and
// timing, the redirect hops that led to it, the request and response headers, and the
// error. Text from the web reaches the document through textContent only.
'use strict';

(function (exports) {
  function windowName(number) {
    return number ? 'window ' + number + ' the pages opened' : 'the main browsing window';
  }

  function headerLines(fields) {
    if (!Array.isArray(fields) || !fields.length) return ['(none known)'];
    return fields.map((field) => field.name + ': ' + field.value);
  }

  // The lines of each section of a row's details.
  function sectionsOf(details) {
    const outcome = details.error ? 'Failed: ' + details.error
        : details.status ? details.status + ' ' + details.statusText
        : 'No response yet';
    const time = details.duration >= 0 ? 'took ' + details.duration + ' ms' : 'still loading';
    const summary = [
      details.method + ' ' + details.url,
      outcome + (details.fromCache ? ' (from the cache, confirmed by the server)' : ''),
      'Started ' + details.start + ' ms into the search; ' +
          (details.response >= 0 ? 'response after ' + details.response + ' ms; ' : '') + time,
      'In ' + windowName(details.window),
    ];
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

  // Fills the pane with a row's details (an object of the details command), or a line.
  function fill(pane, details, message) {
    const parts = [];
    if (!details) {
      const line = document.createElement('p');
      line.textContent = message;
      parts.push(line);
    } else {
      for (const [title, lines] of sectionsOf(details)) {
        const heading = document.createElement('h2');
        heading.textContent = title;
        const text = document.createElement('pre');
        text.textContent = lines.join('\n');
        parts.push(heading, text);
      }
    }
    pane.replaceChildren(...parts);
  }

  exports.sectionsOf = sectionsOf;
  exports.fill = fill;
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerDetails = {}));
