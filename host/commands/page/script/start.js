'use strict';
// The server runs one render of this client at a time and drops the older one when a newer one
// arrives, so the page sends a render only when none of its own runs, or after aborting it. A
// change shows at once as a coarse image; a coarse render in flight is never aborted, so that a
// drag keeps showing images. Once the values have settled, the full image comes in passes of 1,
// 2, 4, ... pixel samples up to the page's. Nothing here is written as HTML from the server's
// text: names, labels and errors go in as text only.

const $ = (id) => document.getElementById(id);
const clientId = Array.from(crypto.getRandomValues(new Uint8Array(12)),
                            (b) => b.toString(16).padStart(2, '0')).join('');

const SETTLE_MS = 200;      // this long without a change, the values have settled
const PROGRESS_MS = 100;
const PARTIAL_MS = 340;     // at most ~3 images of a running pass a second
const WATCH_MS = 1000;
const URL_MS = 120;         // browsers refuse a page that replaces its address too often

let sceneId = null;
let sceneInfo = null;       // /api/scene's answer
let sceneVersion = null;    // its version: a new one means the server read the scene again
let sceneReady = false;     // the controls show this scene's values
let parameters = [];        // the scene's own parameters, as /api/parameters gave them
const sceneValues = new Map();   // short name -> the scene's value
const values = new Map();        // short name -> the value now: text for numbers, booleans, arrays
const controls = new Map();      // short name -> { set(value), enable(on), ... }
let sceneLights = [];            // the scene's light names, each once, in file order
let camera = null;               // the view turned from the scene's camera: see "the camera"

// What the server's /api/scenes answer tells of it.
const server = { watch: false, limits: {}, tonemap: false, sceneFileSize: false };

let renderOrder = 0;        // the number of this page's last render or sheet request
let view = 'preview';
let pageFailed = false;     // the status line says what went wrong; the next change clears it
let cancelSent = null;      // a Stop's /api/cancel: the next render waits until it is answered

const preview = {
  running: null,      // the render of this client in flight: { kind, key, controller, ... }
  settled: true,
  settleTimer: null,
  stopped: false,     // Stop was pressed: no pass starts until a change or Continue
  coarseKey: null,    // the view whose coarse image was made
  passes: { key: null, answers: new Map() },   // pixel samples (text) -> the pass's answer
  failed: null,       // the view (or view|pixel samples) that failed: not tried again as it is
  shown: null,        // what #image shows: { kind, id, key, look, width, height, coarse, answer, pass }
  seq: 0,             // images shown so far: an image fetched before a newer one was shown is old
  url: null,          // the object URL #image shows
  reencoding: null,   // the controller of the image being fetched at a new look
  finishing: null,    // the controller of the last pass's image being fetched to be shown again
  last: null,         // { answer, key, pass }: the newest whole pass shown, the Reproduce line's
};

let pinned = null;          // { url, look, coarse, label }: the A of an A/B view
const stageTitle = $('stage').title;
let sheetAnswer = null;
let sheetLook = null;
let sheetUrl = null;
let sheetReencoding = null;

class Cancelled extends Error {}
class ServerError extends Error {}   // the server's one line about what it refused

const numberFormat = new Intl.NumberFormat('en-US');

function setState(state) { document.body.dataset.state = state; }

function setStatus(text, isError = false, title = '') {
  const status = $('status');
  status.textContent = text;
  status.title = title || text;
  status.classList.toggle('error', isError);
}

// What the program warned of for the image shown (no point shaded, say), each line whole.
function showWarnings(answer) {
  const box = $('warnings');
  const warnings = answer && Array.isArray(answer.warnings)
    ? answer.warnings.filter((w) => typeof w === 'string' && w !== '') : [];
  box.replaceChildren(...warnings.map((text) => {
    const line = document.createElement('p');
    line.textContent = `warning: ${text}`;
    return line;
  }));
  box.hidden = warnings.length === 0;
}

function fail(error) {
  if (error instanceof Cancelled || (error && error.name === 'AbortError')) return;
  pageFailed = true;
  $('progress').value = 0;
  if (error instanceof ServerError) {
    setStatus(error.message, true);
  } else if (error instanceof TypeError && /fetch|network/i.test(error.message)) {
    setStatus('the server does not answer (is tonemix-host serve still running?)', true);
  } else {
    console.error(error);
    setStatus(`the page failed: ${error && error.message ? error.message : String(error)}`, true);
  }
  updateState();
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// GET url; the answer's body as JSON, Blob or text. 409 is a render the server dropped.
async function get(url, signal, as = 'json') {
  const response = await fetch(url, { signal, cache: 'no-store' });
  if (response.status === 409) throw new Cancelled();
  if (!response.ok) {
    const text = (await response.text()).trim().split('\n')[0];
    const error = new ServerError(text || `${response.status} ${response.statusText}`);
    error.status = response.status;
    throw error;
  }
  if (as === 'blob') return response.blob();
  if (as === 'text') return response.text();
  return response.json();
}

function query(pairs) {
  return pairs.map(([key, value]) => `${key}=${encodeURIComponent(value)}`).join('&');
}

const positiveInteger = (text) => /^[0-9]+$/.test(text) && Number(text) >= 1;

