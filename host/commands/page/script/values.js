// --- values ------------------------------------------------------------------------------------

// The types the page has controls for; a parameter of another type is shown, never sent.
const editable = (parameter) => ['bool', 'lightlist', 'long', 'real'].includes(parameter.type);

const parameterNamed = (name) => parameters.find((p) => p.short_name === name);

function sameValue(parameter, value, sceneValue) {
  switch (parameter.type) {
    case 'bool': return value === sceneValue;
    case 'lightlist': {
      const listed = new Set((sceneValue || []).filter((name) => sceneLights.includes(name)));
      return value.length === listed.size && value.every((name) => listed.has(name));
    }
    case 'long':
    case 'real': {
      // A number as the user typed it; text that is no number goes to the server, which says why.
      const number = Number(value);
      return String(value).trim() !== '' && Number.isFinite(number) && number === sceneValue;
    }
    default: return true;
  }
}

function wireValue(parameter, value) {
  if (parameter.type === 'bool') return value ? 'true' : 'false';
  if (parameter.type === 'lightlist') {
    // Names between commas read back as written unless one holds a comma, starts or ends with a
    // space, or the list starts with "[": then the list goes as a JSON array, which --set also
    // takes.
    const plain = value.every((name) => !name.includes(',') && name.trim() === name) &&
                  !(value.length > 0 && value[0].startsWith('['));
    return plain ? value.join(',') : JSON.stringify(value);
  }
  return String(value).trim();
}

// The value a set= pair's text gives a parameter, as wireValue writes it; undefined when the
// page has no control that shows it.
function readWireValue(parameter, text) {
  switch (parameter.type) {
    case 'bool':
      if (text === 'true' || text === '1') return true;
      if (text === 'false' || text === '0') return false;
      return undefined;
    case 'lightlist': {
      let names;
      if (text.startsWith('[')) {
        try { names = JSON.parse(text); } catch { return undefined; }
        if (!Array.isArray(names) || !names.every((n) => typeof n === 'string')) return undefined;
      } else {
        names = text === '' ? [] : text.split(',');
      }
      return [...new Set(names)].filter((name) => sceneLights.includes(name));
    }
    case 'long':
    case 'real': return text;
    default: return undefined;
  }
}

// The values that differ from the scene's, as set= pairs; the one named is left out. With
// `canonical`, numbers as numbers: 0.50 and 0.5 render the same image.
function setPairs(except = null, canonical = false) {
  const pairs = [];
  for (const parameter of parameters) {
    const name = parameter.short_name;
    if (name === except || !values.has(name) || !editable(parameter)) continue;
    const value = values.get(name);
    if (sameValue(parameter, value, sceneValues.get(name))) continue;
    let text = wireValue(parameter, value);
    if (canonical && (parameter.type === 'long' || parameter.type === 'real') &&
        text !== '' && Number.isFinite(Number(text))) {
      text = String(Number(text));
    }
    pairs.push(['set', `${name}=${text}`]);
  }
  return pairs;
}

function imageSize() {
  return { width: $('width').value.trim(), height: $('height').value.trim() };
}

function exposure() {
  const text = $('exposure').value.trim();
  return text === '' || !Number.isFinite(Number(text)) ? '0' : text;
}

const exposureGiven = (text) => Number(text) !== 0;

function tonemap() { return server.tonemap ? $('tonemap').value : 'clamp'; }

// How a kept image is encoded to be shown: it renders nothing.
function look() { return { exposure: exposure(), tonemap: tonemap() }; }

const sameLook = (a, b) => !!a && !!b && a.exposure === b.exposure && a.tonemap === b.tonemap;

function lookPairs(shownLook, format = 'png') {
  const pairs = [];
  if (exposureGiven(shownLook.exposure)) pairs.push(['exposure', shownLook.exposure]);
  if (format === 'png' && shownLook.tonemap !== 'clamp') pairs.push(['tonemap', shownLook.tonemap]);
  return pairs;
}

// What the preview shows, pixel samples and look aside: a change of it renders anew.
function viewKey() {
  const { width, height } = imageSize();
  return JSON.stringify([sceneId, sceneVersion, width, height, setPairs(null, true), cameraPairs()]);
}

// The pixel samples of each pass: doubling from 1, the last one the page's.
function passPlan() {
  const text = $('pixel-samples').value.trim() || '1';
  if (!positiveInteger(text)) return [text];   // the server says what is wrong with it
  const plan = [];
  for (let p = 1; p < Number(text); p *= 2) plan.push(String(p));
  plan.push(String(Number(text)));
  return plan;
}

// An eighth of the size, shown enlarged: what a change shows at once. None for an image so small
// that it would be the same size.
function coarseSize() {
  const { width, height } = imageSize();
  if (!positiveInteger(width) || !positiveInteger(height)) return null;
  const w = Number(width), h = Number(height);
  const cw = Math.max(1, Math.round(w / 8)), ch = Math.max(1, Math.round(h / 8));
  return cw < w || ch < h ? { width: cw, height: ch } : null;
}

