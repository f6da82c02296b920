// --- rendering the preview ---------------------------------------------------------------------

// A change of what the preview shows: the values, the size or the scene. A coarse render in
// flight is left to finish (it is shown, then the newest values' coarse image follows); passes
// and a sheet stop at once.
function viewChanged(settled) {
  preview.stopped = false;
  pageFailed = false;
  const my = preview.running;
  if (my && my.kind !== 'coarse') abortRunning();
  if (view !== 'preview') showView('preview');
  settle(settled);
  updateReproduce();
  pump();
}

function pixelSamplesChanged(settled) {
  preview.stopped = false;
  pageFailed = false;
  const my = preview.running;
  // A pass that the new plan has too goes on.
  if (my && (my.kind === 'sheet' || (my.kind === 'pass' && !passPlan().includes(my.pixelSamples)))) {
    abortRunning();
  }
  if (view !== 'preview') showView('preview');
  settle(settled);
  writeUrl();
  updateReproduce();
  pump();
}

// A drag on the image settles when the button is let go, however long the pointer rests.
function settle(now) {
  clearTimeout(preview.settleTimer);
  preview.settled = now;
  if (!now && !cameraDrag) preview.settleTimer = setTimeout(settleNow, SETTLE_MS);
}

function settleNow() {
  clearTimeout(preview.settleTimer);
  if (preview.settled) return;
  preview.settled = true;
  pump();
}

let pumpQueued = false;

// Several changes in one turn of the event loop (a new scene, say) make one render.
function pump() {
  if (pumpQueued) return;
  pumpQueued = true;
  queueMicrotask(() => { pumpQueued = false; nextRender(); });
}

// Starts what the preview needs next, when no render of this page runs: the coarse image of the
// values now, else, once they have settled, the next pass, else the last pass's image.
function nextRender() {
  if (preview.running || preview.stopped || !sceneReady || view !== 'preview') { updateState(); return; }
  const key = viewKey();
  if (preview.failed === key) { updateState(); return; }
  const coarse = coarseSize();
  if (coarse && preview.coarseKey !== key) { runCoarse(key, coarse); return; }
  if (preview.settled) {
    const plan = passPlan();
    if (preview.passes.key !== key) preview.passes = { key, answers: new Map() };
    const pending = plan.find((p) => !preview.passes.answers.has(p));
    if (pending === undefined) showFinal(key, plan);
    else if (preview.failed !== `${key}|${pending}`) { runPass(key, plan, pending); return; }
  }
  updateState();
}

function begin(kind, key) {
  const my = { kind, key, controller: new AbortController(), polling: false, rowsDone: 0 };
  preview.running = my;
  pageFailed = false;
  if (preview.finishing) { preview.finishing.abort(); preview.finishing = null; }
  updateState();
  return my;
}

function finish(my) {
  if (preview.running === my) preview.running = null;
  pump();
}

function abortRunning() {
  const my = preview.running;
  if (!my) return null;
  preview.running = null;
  my.controller.abort();
  $('progress').value = 0;
  return my;
}

// The end of a render that failed. One aborted for a newer one, or stopped, ends in silence.
function ended(my, error, failedAs) {
  if (preview.running !== my) return;
  preview.running = null;
  if (error instanceof Cancelled) {
    // A 409 that no newer request of this page explains: the server dropped the render (it
    // stops, say). Nothing is wrong with the values; the page is no longer rendering.
    preview.stopped = true;
    pageFailed = true;
    $('progress').value = 0;
    setStatus('the render was cancelled by the server');
  } else {
    if (failedAs !== null) preview.failed = failedAs;
    fail(error);
  }
  pump();
}

// Stop: the running render ends where it is, and its image stays as it is.
function stopRendering() {
  const my = abortRunning();
  // A stopped sheet leaves the preview's passes to go on when the preview is shown again.
  if (!my || my.kind !== 'sheet') preview.stopped = true;
  if (my) {
    // The server stops the render now rather than when it sees the connection closed; a render
    // sent later must not be the one this cancels.
    const sent = fetch(`/api/cancel?${query([['client', clientId]])}`, { cache: 'no-store' })
      .then(() => {}, () => {});
    cancelSent = sent;
    sent.then(() => { if (cancelSent === sent) cancelSent = null; });
    const last = preview.last && preview.last.key === viewKey() ? preview.last : null;
    setStatus(last ? `stopped after pass ${last.pass.number} of ${last.pass.of}` : 'stopped');
    const shown = preview.shown;
    if (shown && shown.kind === 'partial') $('pass').textContent = `${passLabel(shown.pass)} · stopped part way`;
    else if (shown && shown.pass) showPass(shown.pass, true);
    else $('pass').hidden = true;
    $('progress').value = 0;
  }
  updateReproduce();
  updateState();
}

function continueRendering() {
  preview.stopped = false;
  pageFailed = false;
  preview.settled = true;
  pump();
}

// The render request; its progress is followed meanwhile. `onRows` is told when rows were done.
async function renderCall(my, path, pairs, label, onRows = null) {
  setStatus(label);
  $('progress').value = 0;
  if (cancelSent) await cancelSent;
  if (my.controller.signal.aborted) throw new DOMException('replaced', 'AbortError');
  // The order tells the server which of two requests is newer when the older, sent on another
  // connection, reaches it later.
  renderOrder += 1;
  const numbered = [['client', clientId], ['order', String(renderOrder)], ...pairs];
  my.polling = true;
  followProgress(my, label, onRows);
  try {
    return await get(`${path}?${query(numbered)}`, my.controller.signal);
  } finally {
    my.polling = false;
  }
}

// Polls this client's progress while the render runs: one request at a time, ~10 a second.
async function followProgress(my, label, onRows) {
  const bar = $('progress');
  while (my.polling) {
    await sleep(PROGRESS_MS);
    if (!my.polling) return;
    try {
      const answer = await get(`/api/progress?${query([['client', clientId]])}`, my.controller.signal);
      if (!my.polling || preview.running !== my) return;
      // A pass that another render of this client still holds the renderer for shows nothing yet.
      const ours = typeof answer.pixel_samples !== 'number' || !my.pixelSamples ||
                   String(answer.pixel_samples) === my.pixelSamples;
      if (answer.running && answer.total > 0 && ours) {
        bar.value = answer.done / answer.total;
        setStatus(`${label} ${Math.floor(100 * answer.done / answer.total)}%`);
        if (onRows && answer.done > my.rowsDone) { my.rowsDone = answer.done; onRows(my); }
      }
    } catch (error) {
      if (error && error.name === 'AbortError') return;
    }
  }
}

// An object URL of a PNG the server encodes, decoded already so that it shows at once.
async function pngUrl(path, pairs, signal) {
  const blob = await get(`${path}?${query(pairs)}`, signal, 'blob');
  const url = URL.createObjectURL(blob);
  const probe = new Image();
  probe.src = url;
  try {
    await probe.decode();
  } catch {
    URL.revokeObjectURL(url);
    throw new ServerError('the image from the server cannot be shown');
  }
  if (signal && signal.aborted) { URL.revokeObjectURL(url); throw new Cancelled(); }
  return url;
}

const keptPng = (id, shownLook, signal) =>
  pngUrl('/api/image', [['id', id], ['format', 'png'], ...lookPairs(shownLook)], signal);

async function runCoarse(key, size) {
  const my = begin('coarse', key);
  const full = imageSize();
  try {
    const answer = await renderCall(my, '/api/render',
      [['scene', sceneId], ...setPairs(), ...cameraPairs(),
       ['width', String(size.width)], ['height', String(size.height)],
       ['pixel-samples', '1']],
      'rendering a coarse preview…');
    const shownLook = look();
    const url = await keptPng(answer.image, shownLook, my.controller.signal);
    if (preview.running !== my) { URL.revokeObjectURL(url); return; }
    preview.coarseKey = key;
    showPreview(url, { kind: 'coarse', id: answer.image, key, look: shownLook, coarse: true,
                       width: Number(full.width), height: Number(full.height), answer });
    finish(my);
  } catch (error) {
    ended(my, error, key);
  }
}

function passLabel(pass) {
  const samples = pass.pixelSamples === '1' ? '1 pixel sample' : `${pass.pixelSamples} pixel samples`;
  return `pass ${pass.number} of ${pass.of} · ${samples}`;
}

async function runPass(key, plan, pixelSamples) {
  const my = begin('pass', key);
  const index = plan.indexOf(pixelSamples);
  my.pixelSamples = pixelSamples;
  my.pass = { number: index + 1, of: plan.length, pixelSamples };
  // The rows done so far are shown over the pass before, which has the same size (the coarse
  // image has not): the first pass shows the coarse image until it ends.
  const before = index > 0 ? preview.passes.answers.get(plan[index - 1]) : null;
  my.under = before ? before.image : null;
  my.partialAt = -Infinity;
  const { width, height } = imageSize();
  my.width = Number(width);
  my.height = Number(height);
  const pairs = [['scene', sceneId], ...setPairs(), ...cameraPairs(), ['width', width], ['height', height]];
  if (pixelSamples !== '1') pairs.push(['pixel-samples', pixelSamples]);
  showPass(my.pass, false);
  try {
    const answer = await renderCall(my, '/api/render', pairs, `rendering ${passLabel(my.pass)}…`,
                                    my.under ? showPartial : null);
    const shownLook = look();
    const url = await keptPng(answer.image, shownLook, my.controller.signal);
    if (preview.running !== my) { URL.revokeObjectURL(url); return; }
    preview.passes.answers.set(pixelSamples, answer);
    preview.last = { answer, key, pass: my.pass };
    showPreview(url, { kind: 'pass', id: answer.image, key, look: shownLook, coarse: false,
                       width: answer.width, height: answer.height, answer, pass: my.pass });
    $('progress').value = 1;
    const final = my.pass.number === my.pass.of;
    setStatus(final ? `${answer.width} × ${answer.height}` : `${passLabel(my.pass)} done`);
    finish(my);
  } catch (error) {
    ended(my, error, `${key}|${pixelSamples}`);
  }
}

// The rows of the running pass done so far, over the pass before: at most ~3 a second.
async function showPartial(my) {
  const now = performance.now();
  if (my.partialBusy || my.partialOff || now - my.partialAt < PARTIAL_MS) return;
  my.partialBusy = true;
  my.partialAt = now;
  try {
    const shownLook = look();
    const url = await pngUrl('/api/partial',
      [['client', clientId], ['under', my.under], ...lookPairs(shownLook)], my.controller.signal);
    if (preview.running !== my || !my.polling) { URL.revokeObjectURL(url); return; }
    showPreview(url, { kind: 'partial', id: null, key: my.key, look: shownLook, coarse: false,
                       width: my.width, height: my.height, answer: null, pass: my.pass });
  } catch (error) {
    // A server that keeps no partial images, or a pass that ended meanwhile: the pass's own image
    // comes when it ends.
    if (error instanceof ServerError) my.partialOff = true;
  } finally {
    my.partialBusy = false;
  }
}

// Every pass is done: the image shown is the last one's (after a lower pixel-samples count, say,
// it may be an earlier image of the same view that is still kept).
async function showFinal(key, plan) {
  const answer = preview.passes.answers.get(plan[plan.length - 1]);
  if (!answer || (preview.shown && preview.shown.id === answer.image) || preview.finishing) return;
  const controller = preview.finishing = new AbortController();
  const number = plan.length;
  const shownLook = look();
  try {
    const url = await keptPng(answer.image, shownLook, controller.signal);
    if (preview.finishing !== controller) { URL.revokeObjectURL(url); return; }
    preview.finishing = null;
    const pass = { number, of: plan.length, pixelSamples: plan[plan.length - 1] };
    preview.last = { answer, key, pass };
    showPreview(url, { kind: 'pass', id: answer.image, key, look: shownLook, coarse: false,
                       width: answer.width, height: answer.height, answer, pass });
    setStatus(`${answer.width} × ${answer.height}`);
    updateState();
  } catch (error) {
    if (preview.finishing !== controller) return;
    preview.finishing = null;
    if (error instanceof ServerError && error.status === 404) {
      // The server keeps the last 64 images: this one is gone, so it is rendered again.
      preview.passes.answers.delete(plan[plan.length - 1]);
      pump();
    } else {
      fail(error);
    }
  }
}

function showPreview(url, shown) {
  const image = $('image');
  image.src = url;
  image.dataset.kind = shown.kind;
  image.classList.toggle('coarse', shown.coarse);
  if (shown.width > 0 && shown.height > 0) {
    image.dataset.width = String(shown.width);
    image.dataset.height = String(shown.height);
  }
  if (preview.url && preview.url !== url && !(pinned && pinned.url === preview.url)) {
    URL.revokeObjectURL(preview.url);
  }
  preview.url = url;
  preview.shown = shown;
  preview.seq += 1;
  // An image being encoded again is older than this one.
  if (preview.reencoding) { preview.reencoding.abort(); preview.reencoding = null; }
  $('pin').disabled = false;
  if (shown.answer) showWarnings(shown.answer);
  if (shown.pass) showPass(shown.pass, shown.kind === 'pass');
  else $('pass').hidden = true;
  showStats(shown.kind === 'partial' ? null : shown.answer);
  fitImages();
  updateReproduce();
  updateState();
  // The look changed while the image was on its way.
  if (shown.id && !sameLook(shown.look, look())) queueMicrotask(reencodeShown);
}

function showPass(pass, whole) {
  const element = $('pass');
  element.textContent = passLabel(pass);
  element.dataset.pass = `${pass.number}/${pass.of}`;
  element.dataset.whole = String(whole);
  element.hidden = false;
}

// The render time and the points shaded, where the server tells them.
function showStats(answer) {
  const parts = [];
  if (answer && typeof answer.seconds === 'number') parts.push(`${answer.seconds.toFixed(2)} s`);
  if (answer && typeof answer.points === 'number') parts.push(`${numberFormat.format(answer.points)} points`);
  const element = $('stats');
  element.textContent = parts.join(' · ');
  element.hidden = parts.length === 0;
}

// The image shown again at the look now: exposure and tone map only encode it again.
async function reencodeShown() {
  const shown = preview.shown;
  if (!shown || !shown.id || sameLook(shown.look, look())) { updateState(); return; }
  if (preview.reencoding) preview.reencoding.abort();
  const controller = preview.reencoding = new AbortController();
  const seq = preview.seq;
  const wanted = look();
  updateState();
  try {
    const url = await keptPng(shown.id, wanted, controller.signal);
    if (preview.reencoding !== controller) { URL.revokeObjectURL(url); return; }
    preview.reencoding = null;
    // A newer image was shown meanwhile: it came at its own look.
    if (preview.seq !== seq) { URL.revokeObjectURL(url); updateState(); return; }
    showPreview(url, { ...shown, look: wanted });
  } catch (error) {
    if (preview.reencoding !== controller) return;
    preview.reencoding = null;
    fail(error);
  }
}

function lookChanged() {
  writeUrl();
  pageFailed = false;
  if (view === 'sheet') { updateSheetCommand(); reencodeSheet(); return; }
  updateReproduce();
  reencodeShown();
}

// The preview is done when the image shown is the last pass's, at the look now.
function converged() {
  const key = viewKey();
  if (preview.passes.key !== key) return false;
  const plan = passPlan();
  const last = preview.passes.answers.get(plan[plan.length - 1]);
  const shown = preview.shown;
  return !!last && !!shown && shown.id === last.image && sameLook(shown.look, look());
}

// loading, rendering, done (the image is final), stopped or error, for a person's eye (the Stop
// button) and a test's.
function updateState() {
  let state;
  if (pageFailed) state = 'error';
  else if (view === 'sheet') state = preview.running || sheetReencoding ? 'rendering' : 'done';
  else if (!sceneReady || preview.running || preview.reencoding || preview.finishing) state = 'rendering';
  else if (preview.stopped) state = 'stopped';
  else state = converged() ? 'done' : 'rendering';
  setState(state);
  const stop = $('stop');
  const resumable = view === 'preview' && sceneReady && preview.stopped && !preview.running && !converged();
  stop.textContent = resumable ? 'Continue' : 'Stop';
  stop.title = resumable ? 'Render the remaining passes' : 'Stop the render and keep the image as it is';
  stop.disabled = !(preview.running || resumable);
  if (state === 'done' && view === 'preview') $('progress').value = 1;
}

