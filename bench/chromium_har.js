// Loads one address in headless Chromium and records a HAR of its requests over the DevTools
// protocol (chrome-remote-interface), as a script that drives a headless browser does: every
// request with its redirect hops, method and status, written when the load event has come
// and no request is in flight. The bench's reference for trawler-capture.
// Run: node chromium_har.js MODULES_FOLDER URL OUT.har (the profile goes into TMPDIR)
'use strict';

const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const [modules, url, out] = process.argv.slice(2);
const CDP = require(path.resolve(modules, 'node_modules', 'chrome-remote-interface'));

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'chromium-bench-'));
const chromium = childProcess.spawn('/usr/bin/chromium', [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--remote-debugging-port=0', '--user-data-dir=' + profile, 'about:blank',
], {stdio: 'ignore'});

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// Chromium writes its DevTools port into the profile when it listens.
async function devToolsPort() {
  const file = path.join(profile, 'DevToolsActivePort');
  for (let tries = 0; tries < 3000; ++tries) {
    if (fs.existsSync(file)) {
      const port = fs.readFileSync(file, 'utf8').split('\n')[0];
      if (port) return Number(port);
    }
    await sleep(5);
  }
  return 0;
}

function entry(request, status, method) {
  return {
    startedDateTime: new Date().toISOString(), time: 0,
    request: {method: method || request.method, url: request.url, httpVersion: '', cookies: [],
              headers: [], queryString: [], headersSize: -1, bodySize: -1},
    response: {status: status, statusText: '', httpVersion: '', cookies: [], headers: [],
               content: {size: -1, mimeType: ''}, redirectURL: '', headersSize: -1,
               bodySize: -1},
    cache: {}, timings: {send: 0, wait: 0, receive: 0},
  };
}

async function main() {
  const port = await devToolsPort();
  const targets = await CDP.List({port: port});
  const client = await CDP({port: port, target: targets.find((t) => t.type === 'page')});
  const {Network, Page} = client;
  const entries = new Map();  // requestId -> entry
  const hops = [];
  const inFlight = new Set();
  let loaded = false;
  let finish;
  const finished = new Promise((done) => { finish = done; });
  const settle = () => { if (loaded && inFlight.size === 0) finish(); };
  Network.requestWillBeSent(({requestId, request, redirectResponse}) => {
    if (redirectResponse && entries.has(requestId)) {
      hops.push(Object.assign(entries.get(requestId), {
        response: Object.assign(entries.get(requestId).response,
                                {status: redirectResponse.status}),
      }));
    }
    entries.set(requestId, entry(request, 0));
    inFlight.add(requestId);
  });
  Network.responseReceived(({requestId, response}) => {
    if (entries.has(requestId)) entries.get(requestId).response.status = response.status;
  });
  const ended = ({requestId}) => { inFlight.delete(requestId); settle(); };
  Network.loadingFinished(ended);
  Network.loadingFailed(ended);
  Page.loadEventFired(() => { loaded = true; settle(); });
  await Network.enable();
  await Page.enable();
  await Page.navigate({url: url});
  await finished;
  const har = {log: {version: '1.2', creator: {name: 'chromium_har.js', version: '1'},
                     pages: [], entries: hops.concat([...entries.values()])}};
  fs.writeFileSync(out, JSON.stringify(har));
  await client.close();
  // Its helpers may still write into the profile: the caller's temporary folder takes it.
  chromium.kill();
}

main();
