// --- view --------------------------------------------------------------------------------------

function showView(which) {
  view = which;
  $('tab-preview').setAttribute('aria-selected', String(which === 'preview'));
  $('tab-sheet').setAttribute('aria-selected', String(which === 'sheet'));
  $('stage').hidden = which !== 'preview';
  $('sheet-image').hidden = which !== 'sheet';
  $('reproduce-block').hidden = which !== 'preview';
  $('sheet-block').hidden = which !== 'sheet';
  $('pin').hidden = which !== 'preview';
  $('pass').hidden = which !== 'preview' || !preview.shown || !preview.shown.pass;
  $('stats').hidden = which !== 'preview' || $('stats').textContent === '';
  fitImages();
}

// Pixels one to one where the image fits, smaller where it does not; a coarse image is drawn at
// the full image's size, and a pinned image in the live one's box.
function fitImages() {
  const box = $('view');
  const room = { width: box.clientWidth - 16, height: box.clientHeight - 16 };
  const place = (element, width, height) => {
    if (!(width > 0 && height > 0)) return;
    const scale = Math.min(1, room.width / width, room.height / height);
    element.style.width = `${Math.max(1, Math.floor(width * scale))}px`;
    element.style.height = `${Math.max(1, Math.floor(height * scale))}px`;
  };
  const image = $('image');
  place($('stage'), Number(image.dataset.width), Number(image.dataset.height));
  const sheet = $('sheet-image');
  if (sheet.naturalWidth) place(sheet, sheet.naturalWidth, sheet.naturalHeight);
}

