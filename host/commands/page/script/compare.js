// --- A/B ---------------------------------------------------------------------------------------

// The pinned image is kept as it was shown, at its own look; the live one goes on changing.
function pin() {
  if (pinned) { unpin(); return; }
  if (!preview.shown || !preview.url) return;
  const shown = preview.shown;
  const parts = [];
  if (shown.pass) parts.push(`pass ${shown.pass.number} of ${shown.pass.of}`);
  else if (shown.coarse) parts.push('coarse');
  if (exposureGiven(shown.look.exposure)) parts.push(`exposure ${shown.look.exposure}`);
  if (shown.look.tonemap !== 'clamp') parts.push(shown.look.tonemap);
  pinned = { url: preview.url, look: shown.look, coarse: shown.coarse };
  const image = $('pinned-image');
  image.src = pinned.url;
  image.classList.toggle('coarse', shown.coarse);
  $('tag-a').textContent = parts.length ? `A · pinned · ${parts.join(', ')}` : 'A · pinned';
  setSplit(50);
  for (const id of ['pinned-image', 'split', 'tag-a', 'tag-b']) $(id).hidden = false;
  $('stage').classList.add('compare');
  $('stage').title = 'Drag to move the split, Shift+drag (or the middle button) to pan, the wheel to zoom';
  $('pin').textContent = 'Unpin A';
  $('pin').title = 'Show the live image alone again';
}

function unpin() {
  if (!pinned) return;
  if (pinned.url !== preview.url) URL.revokeObjectURL(pinned.url);
  pinned = null;
  const image = $('pinned-image');
  image.removeAttribute('src');
  for (const id of ['pinned-image', 'split', 'tag-a', 'tag-b']) $(id).hidden = true;
  $('stage').classList.remove('compare');
  $('stage').title = stageTitle;
  $('pin').textContent = 'Pin A/B';
  $('pin').title = 'Pin the image shown, to compare it with the live one side by side';
}

function setSplit(percent) {
  const value = Math.min(100, Math.max(0, percent));
  $('stage').style.setProperty('--split', `${value}%`);
  $('split').setAttribute('aria-valuenow', String(Math.round(value)));
  $('split').setAttribute('aria-valuetext', `${Math.round(value)}% pinned`);
}

function splitAt(event) {
  const box = $('stage').getBoundingClientRect();
  if (box.width > 0) setSplit(100 * (event.clientX - box.left) / box.width);
}

