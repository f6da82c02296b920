// --- controls ----------------------------------------------------------------------------------

// Three significant digits: what a slider gives reads as a user would type it.
const tidy = (x) => Number(x.toPrecision(3));

// A slider's positions: linear for a short range, else logarithmic in the value's size on both
// sides of 0, so that a range of 0 to 100000 still has room for 0.1 to 10.
function sliderScale(parameter) {
  const lo = parameter.min, hi = parameter.max, isLong = parameter.type === 'long';
  const clamp = (v) => Math.min(hi, Math.max(lo, v));
  if (hi - lo <= (isLong ? 256 : 100)) {
    return {
      min: lo, max: hi, step: isLong ? 1 : (hi - lo) / 1000,
      toPosition: (v) => clamp(v),
      fromPosition: (p) => isLong ? Math.round(clamp(p)) : clamp(tidy(p)),
    };
  }
  const c = isLong ? 1 : 0.01;
  const f = (v) => Math.sign(v) * Math.log10(1 + Math.abs(v) / c);
  const g = (u) => Math.sign(u) * c * (Math.pow(10, Math.abs(u)) - 1);
  return {
    min: f(lo), max: f(hi), step: (f(hi) - f(lo)) / 2000,
    toPosition: (v) => f(clamp(v)),
    fromPosition: (p) => isLong ? Math.round(clamp(g(p))) : clamp(tidy(g(p))),
  };
}

const int32Min = -2147483648, int32Max = 2147483647;

function hasSliderRange(parameter) {
  if (typeof parameter.min !== 'number' || typeof parameter.max !== 'number') return false;
  if (!(parameter.max > parameter.min)) return false;
  // A long over the whole 32-bit range (a seed) is a number, not a position on a scale.
  return !(parameter.type === 'long' && parameter.min <= int32Min && parameter.max >= int32Max);
}

function label(parameter, forId) {
  const element = document.createElement('label');
  element.textContent = parameter.label || parameter.short_name;
  element.title = parameter.help || parameter.label || parameter.short_name;
  if (forId) element.htmlFor = forId;
  return element;
}

// A value set by a control. `settled` is false while a slider is dragged: the change shows as a
// coarse image, and becomes one step of the undo history only when the drag ends.
function changed(name, value, settled = true) {
  values.set(name, value);
  valuesChanged(settled);
  if (settled) finishChange();
}

function resetButton(parameter) {
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'reset';
  button.textContent = '↺';
  button.dataset.reset = parameter.short_name;
  const shown = parameter.type === 'lightlist' ? (parameter.value || []).join(', ') || 'none'
                                               : String(parameter.value);
  button.title = `back to the scene's value (${shown})`;
  button.setAttribute('aria-label', `${parameter.label || parameter.short_name}: back to the scene's value`);
  button.addEventListener('click', () => resetValue(parameter.short_name));
  return button;
}

function buildControl(parameter) {
  const name = parameter.short_name;
  const id = `parameter-${name}`;
  const row = document.createElement('div');
  row.className = 'row';
  row.title = parameter.help || '';
  let control;

  if (parameter.type === 'bool') {
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.id = id;
    box.dataset.parameter = name;
    box.addEventListener('change', () => changed(name, box.checked));
    row.append(label(parameter, id), box);
    control = { elements: [box], set: (v) => { box.checked = !!v; } };
  } else if (parameter.type === 'lightlist') {
    row.classList.add('wide');
    const list = document.createElement('div');
    list.className = 'lights';
    const boxes = [];
    for (const light of sceneLights) {
      const item = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.dataset.parameter = name;
      box.dataset.light = light;
      box.addEventListener('change', () =>
        changed(name, boxes.filter((b) => b.checked).map((b) => b.dataset.light)));
      item.append(box, document.createTextNode(light));
      list.append(item);
      boxes.push(box);
    }
    if (sceneLights.length === 0) {
      const none = document.createElement('span');
      none.className = 'none';
      none.textContent = 'the scene has no lights';
      list.append(none);
    }
    const name_ = document.createElement('span');
    name_.className = 'name';
    name_.textContent = parameter.label || name;
    row.append(name_, list);
    control = {
      elements: boxes,
      set: (v) => { for (const b of boxes) b.checked = v.includes(b.dataset.light); },
    };
  } else if (!editable(parameter)) {
    row.classList.add('wide');
    const shown = document.createElement('input');
    shown.type = 'text';
    shown.id = id;
    shown.readOnly = true;
    shown.dataset.parameter = name;
    shown.dataset.role = 'shown';
    row.append(label(parameter, id), shown);
    control = {
      elements: [shown],
      set: (v) => { shown.value = typeof v === 'string' ? v : JSON.stringify(v); },
    };
  } else if (Array.isArray(parameter.choices)) {
    row.classList.add('wide');
    const select = document.createElement('select');
    select.id = id;
    select.dataset.parameter = name;
    for (const choice of parameter.choices) {
      const option = document.createElement('option');
      option.value = String(choice.value);
      option.textContent = choice.label;
      select.append(option);
    }
    select.addEventListener('change', () => changed(name, select.value));
    row.append(label(parameter, id), select);
    control = {
      elements: [select],
      set: (v) => {
        select.value = String(v);
        // A scene value that is none of the choices still shows as itself.
        if (select.value !== String(v)) {
          const option = document.createElement('option');
          option.value = option.textContent = String(v);
          select.append(option);
          select.value = String(v);
        }
      },
    };
  } else {
    control = buildNumberControl(parameter, row, id);
  }
  if (editable(parameter)) {
    control.reset = resetButton(parameter);
    row.append(control.reset);
  }
  control.row = row;
  control.enabled = true;
  control.enable = (on) => {
    control.enabled = on;
    row.classList.toggle('disabled', !on);
    for (const element of control.elements) {
      element.disabled = !on;
    }
    updateReset(name);
  };
  controls.set(name, control);
  control.enable(parameter.enabled !== false);
  return row;
}

// A number box, with a slider when the range allows one. The box shows the value in effect: what
// the user typed and committed, the slider's value, or what the server says it uses.
function buildNumberControl(parameter, row, id) {
  const name = parameter.short_name;
  const number = document.createElement('input');
  number.type = 'number';
  number.id = id;
  number.step = parameter.type === 'long' ? '1' : 'any';
  if (typeof parameter.min === 'number') number.min = String(parameter.min);
  if (typeof parameter.max === 'number') number.max = String(parameter.max);
  number.dataset.parameter = name;
  number.dataset.role = 'number';
  const elements = [number];
  let slider = null, scale = null;
  if (hasSliderRange(parameter)) {
    scale = sliderScale(parameter);
    slider = document.createElement('input');
    slider.type = 'range';
    slider.min = String(scale.min);
    slider.max = String(scale.max);
    slider.step = String(scale.step);
    slider.dataset.parameter = name;
    slider.dataset.role = 'slider';
    slider.title = parameter.help || '';
    slider.addEventListener('input', () => {
      const text = String(scale.fromPosition(Number(slider.value)));
      if (text === number.value) return;
      number.value = text;
      delete number.dataset.typing;
      changed(name, text, false);
    });
    // The drag ended (or a key moved the slider one step): one change, and the passes begin.
    slider.addEventListener('change', () => { finishChange(); settleNow(); });
    elements.unshift(slider);
    row.append(label(parameter, id), slider, number);
  } else {
    row.classList.add('wide');
    row.append(label(parameter, id), number);
  }
  const moveSlider = (text) => {
    const v = Number(text);
    if (slider && text.trim() !== '' && Number.isFinite(v)) slider.value = String(scale.toPosition(v));
  };
  // Typing is committed by Enter or by leaving the box, not at every key.
  const commit = () => {
    delete number.dataset.typing;
    const text = number.value.trim();
    if (text === '') {  // no number (or one the box cannot read): back to the value in effect
      number.value = String(values.get(name));
      return;
    }
    if (text === String(values.get(name))) return;
    moveSlider(text);
    changed(name, text);
  };
  number.addEventListener('input', () => { number.dataset.typing = '1'; });
  // Left with the value in effect (typed over and back): nothing is being typed any more.
  number.addEventListener('blur', () => {
    if (number.value.trim() === String(values.get(name))) delete number.dataset.typing;
  });
  number.addEventListener('change', commit);
  number.addEventListener('keydown', (event) => { if (event.key === 'Enter') commit(); });
  return {
    elements,
    set: (v) => { number.value = String(v); delete number.dataset.typing; moveSlider(String(v)); },
    // The server's value, unless the user is typing over it.
    serverValue: (v) => {
      if (typeof v !== 'number' || number.dataset.typing) return;
      const text = String(v);
      if (text === values.get(name)) return;
      respell(name, text);
      number.value = text;
      moveSlider(text);
    },
  };
}

function initialValue(parameter) {
  switch (parameter.type) {
    case 'bool': return !!parameter.value;
    case 'lightlist': return (parameter.value || []).filter((n) => sceneLights.includes(n));
    case 'long':
    case 'real': return parameter.value === null || parameter.value === undefined ? '' : String(parameter.value);
    default: return parameter.value;
  }
}

function buildControls() {
  const groups = $('groups');
  groups.replaceChildren();
  controls.clear();
  values.clear();
  sceneValues.clear();
  const byGroup = new Map();
  for (const parameter of parameters) {
    const group = parameter.group || 'Other';
    if (!byGroup.has(group)) {
      const details = document.createElement('details');
      details.open = true;
      const summary = document.createElement('summary');
      summary.textContent = group;
      details.append(summary);
      groups.append(details);
      byGroup.set(group, details);
    }
    sceneValues.set(parameter.short_name, parameter.value);
    values.set(parameter.short_name, initialValue(parameter));
    byGroup.get(group).append(buildControl(parameter));
    controls.get(parameter.short_name).set(values.get(parameter.short_name));
  }

  const vary = $('sheet-parameter');
  const previous = vary.value;
  vary.replaceChildren();
  for (const parameter of parameters) {
    if (parameter.type === 'lightlist') continue;
    const option = document.createElement('option');
    option.value = parameter.short_name;
    option.textContent = parameter.label || parameter.short_name;
    vary.append(option);
  }
  if ([...vary.options].some((o) => o.value === previous)) vary.value = previous;
  suggestSheetValues();
}

// set= pairs (as the address or setPairs write them) over the scene's values; a name the scene
// has no control for, or a value no control can show, is left out.
function applyPairs(texts) {
  for (const text of texts) {
    const equals = text.indexOf('=');
    if (equals <= 0) continue;
    const name = text.slice(0, equals);
    const parameter = parameters.find((p) => p.short_name === name || p.name === name);
    if (!parameter || !editable(parameter)) continue;
    const value = readWireValue(parameter, text.slice(equals + 1));
    if (value === undefined) continue;
    values.set(parameter.short_name, value);
    controls.get(parameter.short_name).set(value);
  }
}

function updateReset(name) {
  const control = controls.get(name);
  const parameter = parameterNamed(name);
  if (!control || !control.reset || !parameter || !values.has(name)) return;
  control.reset.disabled = !control.enabled ||
                           sameValue(parameter, values.get(name), sceneValues.get(name));
}

function resetValue(name) {
  const parameter = parameterNamed(name);
  if (!parameter) return;
  const value = initialValue(parameter);
  controls.get(name).set(value);
  changed(name, value);
}

// A value the server spells another way than the page (9.05e-3 is 0.00905), or rounds (a real
// is kept in single precision): the page takes the server's, which renders the same image, so
// what was rendered for the old spelling stands for the new one.
function respell(name, text) {
  const before = viewKey();
  values.set(name, text);
  const after = viewKey();
  if (after !== before) {
    if (preview.coarseKey === before) preview.coarseKey = after;
    if (preview.passes.key === before) preview.passes.key = after;
    if (preview.running && preview.running.key === before) preview.running.key = after;
    if (preview.shown && preview.shown.key === before) preview.shown.key = after;
    if (preview.last && preview.last.key === before) preview.last.key = after;
  }
  updateReset(name);
  updateSceneFileLink();
  writeUrl();
}

let enabledController = null;

// Asks the server which parameters count with the values now, and what value it takes for each.
async function refreshEnabled() {
  if (enabledController) enabledController.abort();
  const controller = enabledController = new AbortController();
  const asked = JSON.stringify(setPairs());
  try {
    const answer = await get(`/api/parameters?${query([['scene', sceneId], ...setPairs()])}`,
                             controller.signal);
    if (controller !== enabledController || asked !== JSON.stringify(setPairs())) return;
    for (const parameter of answer.parameters || []) {
      const control = controls.get(parameter.short_name);
      if (!control) continue;
      control.enable(parameter.enabled !== false);
      if (control.serverValue) control.serverValue(parameter.value);
    }
  } catch {
    // A bad value is said by the render of the same values; a lost server too.
  }
}

function valuesChanged(settled = true) {
  for (const name of controls.keys()) updateReset(name);
  updateResetView();
  refreshEnabled();
  updateSceneFileLink();
  writeUrl();
  viewChanged(settled);
}

