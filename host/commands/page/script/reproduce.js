// --- the reproduce panel -----------------------------------------------------------------------

// What writes the image: the command, then the look the page encodes it with, then the file.
function commandLine(command, shownLook, output) {
  let line = command;
  if (exposureGiven(shownLook.exposure)) line += ` --exposure ${shownLook.exposure}`;
  if (output.endsWith('.png') && shownLook.tonemap !== 'clamp') line += ` --tonemap ${shownLook.tonemap}`;
  return `${line} -o ${output}`;
}

function imageLink(id, format, shownLook) {
  return `/api/image?${query([['id', id], ['format', format], ...lookPairs(shownLook, format), ['download', '1']])}`;
}

function setLink(id, href, title = '') {
  const link = $(id);
  if (href) { link.href = href; link.classList.remove('off'); }
  else { link.removeAttribute('href'); link.classList.add('off'); }
  link.title = href ? title : '';
}

// A render's or a sheet's command line and downloads, at the look the page shows. The EXR is
// what the same line writes with -o tonemix.exr: its exposure, and no tone map (floats keep
// their range).
function showCommand(answer, shownLook, commandId, pngId, exrId) {
  $(commandId).textContent = answer ? commandLine(answer.command, shownLook, 'tonemix.png') : '';
  setLink(pngId, answer && imageLink(answer.image, 'png', shownLook),
          answer && commandLine(answer.command, shownLook, 'tonemix.png'));
  setLink(exrId, answer && imageLink(answer.image, 'exr', shownLook),
          answer && commandLine(answer.command, shownLook, 'tonemix.exr'));
}

function updateReproduce() {
  const last = preview.last;
  showCommand(last && last.answer, look(), 'reproduce', 'download-png', 'download-exr');
  const current = !!last && last.key === viewKey();
  let caption = 'Reproduce';
  if (last && !current) caption = 'Reproduce · the last full image, before the change';
  else if (last && last.pass.number < last.pass.of) caption = `Reproduce · pass ${last.pass.number} of ${last.pass.of}`;
  if (current && preview.shown && preview.shown.kind === 'partial' && !preview.running) {
    caption += ' (the image also shows rows of the stopped pass)';
  }
  $('reproduce-caption').textContent = caption;
  $('reproduce-block').classList.toggle('stale', !!last && !current);
}

function updateSheetCommand() {
  showCommand(sheetAnswer, sheetLook || look(), 'sheet-command', 'sheet-png', 'sheet-exr');
}

// The scene file with the values and the size of the page.
function updateSceneFileLink() {
  let href = null;
  if (sceneId) {
    const pairs = [['scene', sceneId], ...setPairs(), ...cameraPairs()];
    const { width, height } = imageSize();
    if (server.sceneFileSize && positiveInteger(width) && positiveInteger(height)) {
      pairs.push(['width', width], ['height', height]);
    }
    href = `/api/scene-file?${query(pairs)}`;
  }
  setLink('download-scene', href, 'the scene file with the values and the size shown here');
}

async function copyText(button) {
  const code = $(button.dataset.copies);
  const text = code.textContent;
  if (!text) return;
  let done = false;
  try {
    await navigator.clipboard.writeText(text);
    done = true;
  } catch {
    const range = document.createRange();
    range.selectNodeContents(code);
    const selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    try { done = document.execCommand('copy'); } catch { done = false; }
  }
  button.textContent = done ? 'Copied' : 'Select and copy';
  setTimeout(() => { button.textContent = 'Copy'; }, 1200);
}

