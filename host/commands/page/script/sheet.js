// --- the contact sheet -------------------------------------------------------------------------

function showSheet(url) {
  const image = $('sheet-image');
  image.src = url;
  if (sheetUrl) URL.revokeObjectURL(sheetUrl);
  sheetUrl = url;
  fitImages();
}

async function makeSheet() {
  const name = $('sheet-parameter').value;
  const list = $('sheet-values').value.split(',').map((v) => v.trim()).filter((v) => v !== '');
  if (!name || list.length === 0) {
    setStatus('a contact sheet needs a parameter and at least one value', true);
    return;
  }
  abortRunning();
  showView('sheet');
  const my = begin('sheet', null);
  const { width, height } = imageSize();
  const tile = (text) => positiveInteger(text) ? String(Math.max(1, Math.round(Number(text) / 3))) : text;
  const pixelSamples = $('pixel-samples').value.trim() || '1';
  try {
    const pairs = [['scene', sceneId], ...setPairs(name), ...cameraPairs(),
                   ['width', tile(width)], ['height', tile(height)]];
    if (pixelSamples !== '1') pairs.push(['pixel-samples', pixelSamples]);
    pairs.push(['vary', `${name}=${list.join(',')}`]);
    const answer = await renderCall(my, '/api/sheet', pairs, `rendering a sheet of ${list.length}…`);
    const shownLook = look();
    const url = await keptPng(answer.image, shownLook, my.controller.signal);
    if (preview.running !== my) { URL.revokeObjectURL(url); return; }
    sheetAnswer = answer;
    sheetLook = shownLook;
    showSheet(url);
    updateSheetCommand();
    $('progress').value = 1;
    setStatus(`contact sheet ${answer.width} × ${answer.height}`);
    showWarnings(answer);
    finish(my);
    if (!sameLook(sheetLook, look())) reencodeSheet();
  } catch (error) {
    ended(my, error, null);
  }
}

async function reencodeSheet() {
  if (!sheetAnswer || preview.running || sameLook(sheetLook, look())) { updateState(); return; }
  if (sheetReencoding) sheetReencoding.abort();
  const controller = sheetReencoding = new AbortController();
  const answer = sheetAnswer;
  const wanted = look();
  updateState();
  try {
    const url = await keptPng(answer.image, wanted, controller.signal);
    if (sheetReencoding !== controller || sheetAnswer !== answer) { URL.revokeObjectURL(url); return; }
    sheetReencoding = null;
    sheetLook = wanted;
    showSheet(url);
    updateSheetCommand();
    updateState();
  } catch (error) {
    if (sheetReencoding !== controller) return;
    sheetReencoding = null;
    fail(error);
  }
}

function suggestSheetValues() {
  const parameter = parameterNamed($('sheet-parameter').value);
  if (!parameter) return;
  let list;
  if (parameter.type === 'bool') list = ['false', 'true'];
  else if (Array.isArray(parameter.choices)) list = parameter.choices.map((c) => String(c.value));
  else {
    const v = Number(values.get(parameter.short_name));
    const inRange = (x) => (typeof parameter.min !== 'number' || x >= parameter.min) &&
                           (typeof parameter.max !== 'number' || x <= parameter.max);
    const round = parameter.type === 'long' ? Math.round : tidy;
    list = (v === 0 || !Number.isFinite(v) ? [0, 1, 2, 4] : [v / 4, v / 2, v, v * 2])
      .map((x) => round(x)).filter(inRange);
    list = [...new Set(list)].map(String);
  }
  $('sheet-values').value = list.join(',');
}

