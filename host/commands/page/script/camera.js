// --- the camera --------------------------------------------------------------------------------

// The view is kept relative to the scene's own camera: an orbit about the target (degrees: the
// azimuth about the scene's up axis, the elevation toward it), a zoom that divides the distance to
// the target, and a pan of target and camera in view heights along the camera's right and up.
// Each number is kept rounded as it is sent, so that the address, the requests and the Reproduce
// line the server writes carry the same figures, and the image is the command's byte for byte.
const ZOOM_LEAST = 0.01, ZOOM_MOST = 100, ZOOM_STEP = 1.1;
// The server holds the turned camera short of the up axis itself; the page cannot know how far
// the scene's camera is from it, so it lets the elevation go as far as a half turn either way.
const ELEVATION_MOST = 180;
const PAN_MOST = 100;           // view heights either way, as far as the server takes
const DEGREES_A_HEIGHT = 180;   // a drag across the image's height turns the camera this far

const sceneCamera = () => ({ azimuth: 0, elevation: 0, zoom: 1, panX: 0, panY: 0 });
camera = sceneCamera();

// `digits` decimals; -0 made 0, so that a figure reads back from the address as it was written.
function rounded(x, digits) {
  const r = Number(x.toFixed(digits));
  return r === 0 ? 0 : r;
}

const clampTo = (x, lo, hi) => Math.min(hi, Math.max(lo, x));

// Any figures made a camera the page can send: the azimuth within a turn, the elevation, zoom and
// pan in their ranges, each rounded as it goes to the server.
function cameraOf({ azimuth, elevation, zoom, panX, panY }) {
  let a = rounded(((azimuth + 180) % 360 + 360) % 360 - 180, 2);
  if (a === -180) a = 180;
  return {
    azimuth: a,
    elevation: rounded(clampTo(elevation, -ELEVATION_MOST, ELEVATION_MOST), 2),
    zoom: rounded(clampTo(zoom, ZOOM_LEAST, ZOOM_MOST), 3),
    panX: rounded(clampTo(panX, -PAN_MOST, PAN_MOST), 3),
    panY: rounded(clampTo(panY, -PAN_MOST, PAN_MOST), 3),
  };
}

const sameCamera = (a, b) => a.azimuth === b.azimuth && a.elevation === b.elevation &&
                             a.zoom === b.zoom && a.panX === b.panX && a.panY === b.panY;

const cameraIsScenes = (c) => sameCamera(c, sceneCamera());

// The camera as query pairs, each left out at the scene's view.
function cameraPairs(c = camera) {
  const pairs = [];
  if (c.azimuth !== 0 || c.elevation !== 0) pairs.push(['orbit', `${c.azimuth},${c.elevation}`]);
  if (c.zoom !== 1) pairs.push(['zoom', String(c.zoom)]);
  if (c.panX !== 0 || c.panY !== 0) pairs.push(['pan', `${c.panX},${c.panY}`]);
  return pairs;
}

// "A,B" as two finite numbers, or null.
function numberPair(text) {
  if (typeof text !== 'string') return null;
  const parts = text.split(',');
  if (parts.length !== 2 || parts.some((p) => p.trim() === '')) return null;
  const numbers = parts.map(Number);
  return numbers.every(Number.isFinite) ? numbers : null;
}

// The camera an address names; what it spells wrongly is the scene's.
function cameraFromAddress(params) {
  const c = sceneCamera();
  const orbit = numberPair(params.get('orbit'));
  if (orbit) [c.azimuth, c.elevation] = orbit;
  const zoomText = params.get('zoom');
  const zoom = zoomText === null || zoomText.trim() === '' ? NaN : Number(zoomText);
  if (Number.isFinite(zoom) && zoom > 0) c.zoom = zoom;
  const pan = numberPair(params.get('pan'));
  if (pan) [c.panX, c.panY] = pan;
  return cameraOf(c);
}

function setCamera(next, settled) {
  if (sameCamera(next, camera)) return false;
  camera = next;
  cameraChanged(settled);
  return true;
}

function cameraChanged(settled) {
  updateResetView();
  updateSceneFileLink();
  writeUrl();
  viewChanged(settled);
}

function updateResetView() {
  $('reset-view').disabled = !sceneReady || cameraIsScenes(camera);
}

function resetView() {
  if (!sceneReady || !setCamera(sceneCamera(), true)) return;
  finishChange();
}

const cameraUsable = () => sceneReady && view === 'preview' && !!preview.shown;

// A drag turns or pans from the camera it started at, so that rounding does not pile up along
// it; it renders only coarse images until the button is let go, and is one step of the history.
let cameraDrag = null;    // { pointerId, pan, x, y, height, from, moved }

function startCameraDrag(event, pan) {
  const height = $('stage').getBoundingClientRect().height;
  if (!(height > 0)) return false;
  cameraDrag = { pointerId: event.pointerId, pan, x: event.clientX, y: event.clientY, height,
                 from: camera, moved: false };
  $('stage').classList.add(pan ? 'panning' : 'turning');
  return true;
}

function moveCameraDrag(event) {
  const drag = cameraDrag;
  const dx = (event.clientX - drag.x) / drag.height, dy = (event.clientY - drag.y) / drag.height;
  // Panning drags the scene with the pointer: the camera goes the other way across the screen.
  const next = drag.pan
    ? cameraOf({ ...camera, panX: drag.from.panX - dx, panY: drag.from.panY + dy })
    : cameraOf({ ...camera, azimuth: drag.from.azimuth + DEGREES_A_HEIGHT * dx,
                 elevation: drag.from.elevation - DEGREES_A_HEIGHT * dy });
  if (setCamera(next, false)) drag.moved = true;
}

function endCameraDrag() {
  const drag = cameraDrag;
  if (!drag) return;
  cameraDrag = null;
  $('stage').classList.remove('turning', 'panning');
  if (!drag.moved) return;
  finishChange();
  settleNow();
}

// A wheel notch zooms by ZOOM_STEP. A run of notches counts from the zoom it started at and is
// one step of the history, rendered in full once the wheel has rested.
let wheelRun = null;      // { from, notches, timer }

// A mouse's notch is 100 pixels in Chromium (53 or 120 elsewhere; several when events are
// merged), 3 lines or a page; a touchpad's small deltas are parts of a notch.
function wheelNotches(event) {
  const d = event.deltaY;
  if (event.deltaMode === 1) return -d / 3;
  if (event.deltaMode === 2) return -d;
  if (Math.abs(d) >= 50) return -Math.sign(d) * Math.max(1, Math.round(Math.abs(d) / 100));
  return -d / 100;
}

function wheelZoom(event) {
  const notches = wheelNotches(event);
  if (!Number.isFinite(notches) || notches === 0) return;
  if (!wheelRun) wheelRun = { from: camera.zoom, notches: 0, timer: null };
  const run = wheelRun;
  // Notches past either end are not counted, so that turning back acts at once.
  const log = Math.log(ZOOM_STEP);
  run.notches = clampTo(run.notches + notches, Math.log(ZOOM_LEAST / run.from) / log,
                        Math.log(ZOOM_MOST / run.from) / log);
  setCamera(cameraOf({ ...camera, zoom: run.from * Math.pow(ZOOM_STEP, run.notches) }), false);
  clearTimeout(run.timer);
  run.timer = setTimeout(endWheelRun, SETTLE_MS);
}

function endWheelRun() {
  if (!wheelRun) return;
  clearTimeout(wheelRun.timer);
  wheelRun = null;
  finishChange();
  settleNow();
}

// A drag or a run of the wheel ends where it is, kept as one step of the history (undo, redo and
// another scene come after it).
function endCameraGestures() {
  if (cameraDrag) {
    const { pointerId } = cameraDrag;
    endCameraDrag();
    if ($('stage').hasPointerCapture(pointerId)) $('stage').releasePointerCapture(pointerId);
  }
  endWheelRun();
}

