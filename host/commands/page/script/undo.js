// --- undo --------------------------------------------------------------------------------------

// Each step is the values and the camera as they were after a finished change: a committed
// number, a box, a choice, a whole slider drag, a whole drag on the image or run of the wheel.
const edits = { undo: [], redo: [], committed: null };

const snapshot = () => JSON.stringify({ values: [...values], camera });

function resetEdits() {
  edits.undo = [];
  edits.redo = [];
  edits.committed = snapshot();
  updateUndoButtons();
}

function finishChange() {
  const now = snapshot();
  if (edits.committed === null || now === edits.committed) return;
  edits.undo.push(edits.committed);
  edits.redo = [];
  edits.committed = now;
  updateUndoButtons();
}

function restoreSnapshot(text) {
  const step = JSON.parse(text);
  for (const [name, value] of step.values) {
    if (!controls.has(name)) continue;
    values.set(name, value);
    controls.get(name).set(value);
  }
  camera = cameraOf(step.camera);
  valuesChanged(true);
}

function undo() {
  endCameraGestures();
  finishChange();
  if (edits.undo.length === 0) return;
  edits.redo.push(edits.committed);
  edits.committed = edits.undo.pop();
  restoreSnapshot(edits.committed);
  updateUndoButtons();
}

function redo() {
  endCameraGestures();
  finishChange();
  if (edits.redo.length === 0) return;
  edits.undo.push(edits.committed);
  edits.committed = edits.redo.pop();
  restoreSnapshot(edits.committed);
  updateUndoButtons();
}

function updateUndoButtons() {
  $('undo').disabled = edits.undo.length === 0;
  $('redo').disabled = edits.redo.length === 0;
}

// Ctrl+Z in a box being typed in undoes the typing, as in any text box.
function typingIn(element) {
  if (!element || element.tagName === 'TEXTAREA') return !!element;
  if (element.tagName !== 'INPUT') return false;
  if (element.type === 'number') return element.dataset.typing === '1';
  return !['checkbox', 'range', 'button'].includes(element.type);
}

