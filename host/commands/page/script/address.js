// --- the address -------------------------------------------------------------------------------

// The page's state in its address, so that a reload or a shared link shows the same view. The
// token the server's address carried is not written back: the server's cookie carries it.

function addressRequest() {
  const params = new URLSearchParams(location.search);
  return {
    scene: params.get('scene'),
    width: params.get('width'),
    height: params.get('height'),
    sets: params.getAll('set'),
    pixelSamples: params.get('pixel-samples'),
    exposure: params.get('exposure'),
    tonemap: params.get('tonemap'),
    camera: cameraFromAddress(params),
  };
}

// Percent-encoded, but with the characters a value often has left readable.
const addressText = (value) => encodeURIComponent(value)
  .replace(/%(2C|3D|3A|2F)/g, (all, hex) => String.fromCharCode(parseInt(hex, 16)));

let addressTimer = null;
let addressWritten = -Infinity;

function writeUrl() {
  if (!sceneReady) return;
  clearTimeout(addressTimer);
  const wait = addressWritten + URL_MS - performance.now();
  if (wait > 0) { addressTimer = setTimeout(writeUrl, wait); return; }
  addressWritten = performance.now();
  const { width, height } = imageSize();
  const pairs = [['scene', sceneId], ['width', width], ['height', height], ...setPairs(), ...cameraPairs()];
  const pixelSamples = $('pixel-samples').value.trim();
  if (pixelSamples !== '' && pixelSamples !== '1') pairs.push(['pixel-samples', pixelSamples]);
  const shownLook = look();
  if (exposureGiven(shownLook.exposure)) pairs.push(['exposure', shownLook.exposure]);
  if (shownLook.tonemap !== 'clamp') pairs.push(['tonemap', shownLook.tonemap]);
  const search = pairs.map(([key, value]) => `${key}=${addressText(value)}`).join('&');
  history.replaceState(history.state, '', `${location.pathname}?${search}${location.hash}`);
}

