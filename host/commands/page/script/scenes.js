// --- scenes ------------------------------------------------------------------------------------

// The scene's own size; 640 × 360 for a scene that names none.
function defaultSize() {
  const w = sceneInfo && sceneInfo.width > 0 ? sceneInfo.width : 640;
  const h = sceneInfo && sceneInfo.height > 0 ? sceneInfo.height : 360;
  return { width: w, height: h };
}

function keepShape(changedSide) {
  if (!$('keep-shape').checked || !sceneInfo) return;
  const w = sceneInfo.width, h = sceneInfo.height;
  if (!(w > 0 && h > 0)) return;
  if (changedSide === 'width' && positiveInteger($('width').value.trim())) {
    $('height').value = String(Math.max(1, Math.round(Number($('width').value) * h / w)));
  } else if (changedSide === 'height' && positiveInteger($('height').value.trim())) {
    $('width').value = String(Math.max(1, Math.round(Number($('height').value) * w / h)));
  }
}

function setSize(width, height) {
  $('width').value = width;
  $('height').value = height;
}

// The scene's answers made the page's: its controls at its values, then `restore` (the address:
// set= pairs and a size) or `keep` (the values and size of the page when the scene was read
// again from disk) over them.
function applyScene(info, described, restore, keep) {
  const oldDefault = defaultSize();
  sceneInfo = info;
  sceneVersion = info.version === undefined ? null : info.version;
  sceneLights = [...new Set(info.lights || [])];
  parameters = described.parameters || [];
  buildControls();
  // Another scene is seen from its own camera; the same scene read again keeps the page's view.
  endCameraGestures();
  if (restore) camera = restore.camera;
  else if (!keep) camera = sceneCamera();
  const size = defaultSize();
  if (restore) {
    applyPairs(restore.sets);
    const width = positiveInteger(restore.width || '') ? restore.width : null;
    const height = positiveInteger(restore.height || '') ? restore.height : null;
    setSize(width || String(size.width), height || String(size.height));
    if (width && !height) keepShape('width');
    else if (height && !width) keepShape('height');
  } else if (keep) {
    applyPairs(keep.sets.map(([, text]) => text));
    const wasDefault = keep.width === String(oldDefault.width) && keep.height === String(oldDefault.height);
    if (wasDefault) setSize(String(size.width), String(size.height));
    else setSize(keep.width, keep.height);
  } else {
    setSize(String(size.width), String(size.height));
  }
  preview.coarseKey = null;
  preview.passes = { key: null, answers: new Map() };
  preview.failed = null;
  if (!keep) {
    preview.last = null;
    sheetAnswer = null;
    updateSheetCommand();
  }
  sceneReady = true;
  resetEdits();
  valuesChanged(true);
}

async function loadScene(id, restore = null) {
  abortRunning();
  sceneReady = false;
  updateResetView();
  pageFailed = false;
  sceneId = id;
  updateState();
  setStatus('loading the scene…');
  try {
    const [info, described] = await Promise.all([
      get(`/api/scene?${query([['scene', id]])}`),
      get(`/api/parameters?${query([['scene', id]])}`),
    ]);
    if (sceneId !== id) return;
    applyScene(info, described, restore, null);
  } catch (error) {
    if (sceneId === id) fail(error);
  }
}

// serve --watch: the scene is asked for about once a second; a new version (its file or a mesh
// of it read again) renders again, the page's own values kept over the scene's new ones.
async function watchScene() {
  let said = null;
  for (;;) {
    await sleep(WATCH_MS);
    if (!sceneReady || sceneVersion === null) continue;
    const id = sceneId, version = sceneVersion;
    try {
      const info = await get(`/api/scene?${query([['scene', id]])}`);
      if (said) { said = null; if (pageFailed) { pageFailed = false; pump(); } }
      if (info.version === undefined || info.version === version) continue;
      const described = await get(`/api/parameters?${query([['scene', id]])}`);
      if (sceneId !== id || !sceneReady || sceneVersion !== version) continue;
      const keep = { sets: setPairs(), ...imageSize() };
      abortRunning();
      applyScene(info, described, null, keep);
      setStatus('the scene changed on disk: rendering it again');
    } catch (error) {
      // A file caught mid-write reads as broken: said once, and asked again.
      if (error instanceof ServerError && said !== error.message && sceneId === id) {
        said = error.message;
        fail(error);
      }
    }
  }
}

async function start() {
  const restore = addressRequest();
  try {
    const answer = await get('/api/scenes');
    server.watch = answer.watch === true;
    server.limits = answer.limits && typeof answer.limits === 'object' ? answer.limits : {};
    // A server that tells its limits also encodes with a tone map and writes the page's size
    // into a scene file; an older one refuses both as unknown query parameters.
    server.tonemap = answer.limits !== undefined;
    server.sceneFileSize = answer.limits !== undefined;
    applyLimits();
    applyPageSettings(restore);
    const select = $('scene');
    for (const scene of answer.scenes || []) {
      const option = document.createElement('option');
      option.value = scene.id;
      option.textContent = scene.label || scene.id;
      select.append(option);
    }
    const ids = (answer.scenes || []).map((s) => s.id);
    const first = ids.includes(restore.scene) ? restore.scene
                : ids.includes(answer.default) ? answer.default : ids[0];
    if (first === undefined) throw new ServerError('the server offers no scene');
    select.value = first;
    await loadScene(first, restore);
    if (restore.scene && restore.scene !== first && !pageFailed) {
      setStatus(`the server offers no scene "${restore.scene}": showing ${first}`);
    }
    if (server.watch) watchScene();
  } catch (error) {
    fail(error);
  }
}

function applyLimits() {
  const most = server.limits.pixel_samples;
  if (typeof most === 'number' && most >= 1) {
    $('pixel-samples').max = String(most);
    $('pixel-samples-slider').max = String(most);
  }
  const pixels = server.limits.pixels;
  if (typeof pixels === 'number') {
    for (const side of ['width', 'height']) {
      $(side).title = `image ${side} in pixels; at most ${numberFormat.format(pixels)} pixels in all`;
    }
  }
  const tonemapSelect = $('tonemap');
  tonemapSelect.disabled = !server.tonemap;
  if (!server.tonemap) tonemapSelect.title = 'this server encodes with clamp only';
}

// Pixel samples and the look from the address, before the first render.
function applyPageSettings(restore) {
  if (restore.pixelSamples && positiveInteger(restore.pixelSamples)) {
    $('pixel-samples').value = $('pixel-samples-slider').value = restore.pixelSamples;
    lastPixelSamples = restore.pixelSamples;
  }
  if (restore.exposure && Number.isFinite(Number(restore.exposure))) {
    $('exposure').value = $('exposure-slider').value = restore.exposure;
    lastExposure = restore.exposure;
  }
  if (server.tonemap && ['clamp', 'reinhard', 'filmic'].includes(restore.tonemap)) {
    $('tonemap').value = restore.tonemap;
  }
}

