// The saves under way and how they ended, one line each: the file's name, a progress bar,
// the bytes (with the percent when the size is known, the segment for a playlist), and a
// Cancel button; an ended save says where it went or why it did not, until dismissed.
// Text from the native side reaches the document through textContent only.
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
    if (save.state === 'done') return 'Saved to ' + save.path;
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
    panel.hidden = false;
  }

  function dismiss(panel, job) {
    const line = panel.querySelector('.save[data-job="' + Number(job) + '"]');
    if (line) line.remove();
    panel.hidden = !panel.children.length;
  }

  exports.progressText = progressText;
  exports.show = show;
  exports.dismiss = dismiss;
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerSaves = {}));
