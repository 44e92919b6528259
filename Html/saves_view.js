// The saves under way, one line each: the file's name, a progress bar, the bytes (with the
// percent when the size is known, the segment for a playlist), and a Cancel button. The
// saves that ended fold into one line under them: how many, how the latest went, Show (their
// own lines, each saying where it went or why it did not) and Dismiss. Text from the native
// side reaches the document through textContent only.
'use strict';

(function (exports) {
  function sizeText(bytes) {
    if (bytes < 1024) return bytes + ' B';
    const units = ['KB', 'MB', 'GB', 'TB'];
    let value = bytes / 1024;
    let unit = 0;
    while (value >= 1024 && unit < units.length - 1) {
      value /= 1024;
      unit += 1;
    }
    return value.toFixed(value < 10 ? 1 : 0) + ' ' + units[unit];
  }

  // "1:05 left" (or "40 s left") for a number of seconds.
  function leftText(seconds) {
    if (seconds < 60) return seconds + ' s left';
    const minutes = Math.floor(seconds / 60);
    return minutes + ':' + String(seconds % 60).padStart(2, '0') + ' left';
  }

  // "Saved 41 of 43 files; 2 failed" for a folder save with failures.
  function folderText(save) {
    const failed = Array.isArray(save.failures) ? save.failures.length : 0;
    if (save.joined || !failed) return '';
    return 'Saved ' + save.saved + ' of ' + save.items + ' files to ' + save.path + '; ' +
           failed + ' failed';
  }

  // The line's words for a save's progress (an object of saveProgress).
  function progressText(save) {
    const folder = save.state === 'done' || save.state === 'failed' ? folderText(save) : '';
    if (folder) return folder;
    if (save.state === 'done') return 'Saved to ' + save.path + (save.note ? ' (' + save.note + ')' : '');
    if (save.state === 'failed') return 'Failed: ' + save.error;
    if (save.state === 'cancelled') return 'Cancelled';
    const words = [sizeText(save.bytes)];
    if (save.total > 0) {
      words[0] += ' of ' + sizeText(save.total) + ' (' +
                  Math.min(100, Math.floor(save.bytes * 100 / save.total)) + '%)';
    }
    if (save.items > 1) {
      words.push((save.joined ? 'segment ' : 'file ') + Math.min(save.item + 1, save.items) +
                 ' of ' + save.items);
    }
    if (save.muxing) return words.concat('muxing its video and sound into one file').join(' \u00B7 ');
    if (save.speed > 0) words.push(sizeText(save.speed) + '/s');
    if (save.left >= 0 && save.bytes > 0) words.push(leftText(save.left));
    return words.join(' \u00B7 ');
  }

  function make(save) {
    const line = document.createElement('div');
    line.className = 'save';
    line.parts = {
      name: document.createElement('span'),
      bar: document.createElement('progress'),
      text: document.createElement('span'),
      button: document.createElement('button'),
    };
    line.parts.name.className = 'save-name';
    line.parts.text.className = 'save-text';
    line.parts.button.type = 'button';
    line.parts.button.dataset.job = String(save.job);
    line.append(line.parts.name, line.parts.bar, line.parts.text, line.parts.button);
    return line;
  }

  // The line of the saves that ended, made once, last in the panel.
  function endedLine(panel) {
    if (panel.endedLine) return panel.endedLine;
    const line = document.createElement('div');
    line.className = 'save saves-ended';
    line.parts = {text: document.createElement('span'), toggle: document.createElement('button'),
                  dismiss: document.createElement('button')};
    line.parts.text.className = 'save-text';
    for (const [button, action] of [[line.parts.toggle, 'toggle-ended'],
                                    [line.parts.dismiss, 'dismiss-ended']]) {
      button.type = 'button';
      button.dataset.action = action;
    }
    line.parts.dismiss.textContent = '\u00D7';
    line.parts.dismiss.setAttribute('aria-label', 'Dismiss the saves that ended');
    line.append(line.parts.text, line.parts.toggle, line.parts.dismiss);
    panel.endedLine = line;
    return line;
  }

  // The ended saves' line says how many there are and how the latest went; the panel shows
  // while it holds a line.
  function summarise(panel) {
    const line = endedLine(panel);
    const ended = panel.querySelectorAll('.save[data-state]:not([data-state="running"])');
    const latest = panel.latestEnded;
    line.hidden = !ended.length || !latest;
    if (!line.hidden) {
      const {text, toggle} = line.parts;
      const latestText = latest.parts.text.textContent;
      text.textContent = ended.length === 1 ? latestText
          : ended.length + ' saves ended \u00B7 latest: ' + latestText;
      text.title = latest.parts.text.title;
      toggle.hidden = ended.length === 1;
      toggle.textContent = panel.classList.contains('show-ended') ? 'Hide' : 'Show';
      toggle.setAttribute('aria-expanded', String(panel.classList.contains('show-ended')));
    }
    panel.appendChild(line);
    panel.hidden = !panel.querySelector('.save[data-state="running"]') && line.hidden;
  }

  // Shows a save's progress in the panel: its line is made or filled again.
  function show(panel, save) {
    let line = panel.querySelector('.save[data-job="' + Number(save.job) + '"]');
    if (!line) {
      line = make(save);
      line.dataset.job = String(save.job);
      panel.appendChild(line);
    }
    const {name, bar, text, button} = line.parts;
    const running = save.state === 'running';
    name.textContent = save.name;
    text.textContent = progressText(save);
    // Each file that failed, and why.
    text.title = Array.isArray(save.failures)
        ? save.failures.map((failure) => failure.name + ': ' + failure.error).join('\n') : '';
    if (!running && line.dataset.state !== save.state) panel.latestEnded = line;
    line.dataset.state = save.state;
    bar.hidden = !running;
    const fraction = save.total > 0 ? save.bytes / save.total
                   : save.items > 1 ? save.item / save.items : -1;
    if (fraction >= 0) {
      bar.max = 1;
      bar.value = Math.min(1, fraction);
    } else {
      bar.removeAttribute('value');
    }
    button.dataset.action = running ? 'cancel-save' : 'dismiss-save';
    button.textContent = running ? 'Cancel' : '\u00D7';
    button.setAttribute('aria-label', (running ? 'Cancel saving ' : 'Dismiss ') + save.name);
    summarise(panel);
  }

  function dismiss(panel, job) {
    const line = panel.querySelector('.save[data-job="' + Number(job) + '"]');
    if (line) line.remove();
    if (panel.latestEnded === line) {
      const ended = panel.querySelectorAll('.save[data-state]:not([data-state="running"])');
      panel.latestEnded = ended.length ? ended[ended.length - 1] : null;
    }
    summarise(panel);
  }

  // Dismisses every save that ended.
  function dismissEnded(panel) {
    for (const line of panel.querySelectorAll('.save[data-state]:not([data-state="running"])')) {
      line.remove();
    }
    panel.latestEnded = null;
    panel.classList.remove('show-ended');
    summarise(panel);
  }

  // Shows or hides the lines of the saves that ended.
  function toggleEnded(panel) {
    panel.classList.toggle('show-ended');
    summarise(panel);
  }

  exports.progressText = progressText;
  exports.show = show;
  exports.dismiss = dismiss;
  exports.dismissEnded = dismissEnded;
  exports.toggleEnded = toggleEnded;
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerSaves = {}));
