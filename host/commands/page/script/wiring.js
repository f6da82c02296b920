// --- wiring ------------------------------------------------------------------------------------

// A slider and its number box show one value; the number box's text is what is used. While the
// slider is dragged, `onChange(false)`; at its end and for a typed number, `onChange(true)`.
function pairSlider(sliderId, numberId, onChange) {
  const slider = $(sliderId), number = $(numberId);
  slider.addEventListener('input', () => { number.value = slider.value; onChange(false); });
  slider.addEventListener('change', () => onChange(true));
  const commit = () => {
    delete number.dataset.typing;
    if (number.value.trim() === '') number.value = slider.value;
    else if (Number.isFinite(Number(number.value))) slider.value = number.value;
    onChange(true);
  };
  number.addEventListener('input', () => { number.dataset.typing = '1'; });
  number.addEventListener('change', commit);
  number.addEventListener('keydown', (event) => { if (event.key === 'Enter') commit(); });
}

$('scene').addEventListener('change', () => loadScene($('scene').value));
for (const side of ['width', 'height']) {
  $(side).addEventListener('change', () => {
    keepShape(side);
    updateSceneFileLink();
    writeUrl();
    viewChanged(true);
  });
}
$('keep-shape').addEventListener('change', () => {
  if (!$('keep-shape').checked) return;
  keepShape('width');
  updateSceneFileLink();
  writeUrl();
  viewChanged(true);
});
let lastPixelSamples = '1';
pairSlider('pixel-samples-slider', 'pixel-samples', (settled) => {
  const text = $('pixel-samples').value.trim();
  if (text === lastPixelSamples) { if (settled) settleNow(); return; }
  lastPixelSamples = text;
  pixelSamplesChanged(settled);
});
let lastExposure = '0';
pairSlider('exposure-slider', 'exposure', () => {
  const text = exposure();
  if (text === lastExposure) return;
  lastExposure = text;
  lookChanged();
});
$('tonemap').addEventListener('change', lookChanged);
$('tab-preview').addEventListener('click', () => {
  if (view === 'preview') return;
  if (preview.running && preview.running.kind === 'sheet') abortRunning();
  showView('preview');
  showWarnings(preview.shown && preview.shown.answer);
  updateReproduce();
  reencodeShown();
  pump();
});
$('tab-sheet').addEventListener('click', () => {
  if (view === 'sheet') return;
  // The preview's passes go on when the preview is shown again.
  abortRunning();
  showView('sheet');
  if (sheetAnswer) { updateSheetCommand(); reencodeSheet(); }
  else { updateState(); setStatus('choose a parameter and its values, then Make sheet'); }
});
$('sheet-parameter').addEventListener('change', suggestSheetValues);
$('make-sheet').addEventListener('click', makeSheet);
$('sheet-values').addEventListener('keydown', (event) => { if (event.key === 'Enter') makeSheet(); });
for (const button of document.querySelectorAll('button.copy')) {
  button.addEventListener('click', () => copyText(button));
}
$('stop').addEventListener('click', () => {
  if (preview.running) stopRendering(); else continueRendering();
});
$('pin').addEventListener('click', pin);
$('undo').addEventListener('click', undo);
$('redo').addEventListener('click', redo);
document.addEventListener('keydown', (event) => {
  if (!(event.ctrlKey || event.metaKey) || event.altKey || typingIn(event.target)) return;
  const key = event.key.toLowerCase();
  if (key === 'z' && !event.shiftKey) { event.preventDefault(); undo(); }
  else if ((key === 'z' && event.shiftKey) || (key === 'y' && !event.shiftKey)) { event.preventDefault(); redo(); }
});
// On the image the primary button turns the camera, with Shift (or the middle button) pans it,
// and the wheel zooms. With an image pinned, the primary button drags the A/B split instead,
// anywhere on the image; arrow keys move the split line.
let splitting = null;     // the pointer that drags the split
$('stage').addEventListener('pointerdown', (event) => {
  const pan = event.button === 1 || (event.button === 0 && event.shiftKey);
  if (event.button !== 0 && !pan) return;
  if (cameraDrag || splitting !== null) return;
  if (pinned && !pan) {
    event.preventDefault();
    $('stage').setPointerCapture(event.pointerId);
    splitting = event.pointerId;
    splitAt(event);
    return;
  }
  if (!cameraUsable()) return;
  event.preventDefault();
  if (!startCameraDrag(event, pan)) return;
  $('stage').setPointerCapture(event.pointerId);
});
$('stage').addEventListener('pointermove', (event) => {
  if (splitting === event.pointerId) { if (pinned) splitAt(event); return; }
  if (cameraDrag && cameraDrag.pointerId === event.pointerId) moveCameraDrag(event);
});
for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
  $('stage').addEventListener(type, (event) => {
    if (splitting === event.pointerId) splitting = null;
    if (cameraDrag && cameraDrag.pointerId === event.pointerId) endCameraDrag();
  });
}
// The middle button would start the browser's scrolling or paste, an image drag its own drag.
$('stage').addEventListener('mousedown', (event) => { if (event.button === 1) event.preventDefault(); });
$('stage').addEventListener('auxclick', (event) => { if (event.button === 1) event.preventDefault(); });
$('stage').addEventListener('dragstart', (event) => event.preventDefault());
$('stage').addEventListener('wheel', (event) => {
  if (!cameraUsable() || event.ctrlKey) return;   // Ctrl+wheel is the browser's own zoom
  event.preventDefault();
  // A drag is one step of the history, settled when it ends: the wheel waits for it.
  if (!cameraDrag) wheelZoom(event);
}, { passive: false });
$('reset-view').addEventListener('click', resetView);
$('split').addEventListener('keydown', (event) => {
  const now = Number($('split').getAttribute('aria-valuenow'));
  const steps = { ArrowLeft: -2, ArrowRight: 2, Home: -100, End: 100, PageDown: -10, PageUp: 10 };
  if (!(event.key in steps)) return;
  event.preventDefault();
  setSplit(now + steps[event.key]);
});
$('sheet-image').addEventListener('load', fitImages);
window.addEventListener('resize', fitImages);
start();
