// Drives the page of `tonemix-host serve` in Chromium as a user would, and checks that the image it
// shows is, byte for byte, the image its Reproduce line writes when run as a command.
//
//     node serve_page_test.mjs [--screenshot PATH] [--timeout S] [--page FILE] [--] PROGRAM [ARG...]
//     TONEMIX_HOST_COMMAND="qemu-i386-static build/linux-i686/tonemix-host" node serve_page_test.mjs
//
// PROGRAM [ARG...] (or TONEMIX_HOST_COMMAND, split on spaces) runs tonemix-host: the program
// itself, or an emulator and the program; a relative path is taken from the folder the test is
// started in. The test starts `serve --port 0` with it, opens the address serve prints (with its
// token), and runs the page's Reproduce line with it in place of `tonemix-host`. --screenshot
// PATH also saves the page at 1280x800 with the built-in scene at 640 wide, for the
// documentation. --timeout S bounds each wait (default 120 s: the program may run emulated, ten
// times slower or more). --page FILE shows FILE in place of the page the program carries, to try
// a change of the page without building the program again: `cmake --build BUILD --target
// tonemix_serve_page` joins host/commands/page/ into BUILD/host/commands/serve_page.html.
//
// One line per check passed; exit 0 when all passed, 1 at the first that failed (with
// what was seen), 2 for a bad command line. The servers and the browser are ended in every case.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { copyFile, mkdtemp, readFile, rename, rm, writeFile, mkdir } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import process from 'node:process';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const chromiumPath = process.env.TONEMIX_CHROMIUM || '/usr/bin/chromium';
const repoScenes = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../scenes');

function usage() {
  return 'usage: node serve_page_test.mjs [--screenshot PATH] [--timeout S] [--page FILE] [--] PROGRAM [ARG...]\n' +
         '       (or TONEMIX_HOST_COMMAND="PROGRAM [ARG...]" in place of PROGRAM [ARG...])';
}

function parseArguments(argv) {
  const options = { screenshot: null, timeout: 120, page: null, command: [] };
  for (let i = 0; i < argv.length; i++) {
    const argument = argv[i];
    if (argument === '--') { options.command = argv.slice(i + 1); break; }
    if (argument === '--screenshot' || argument === '--timeout' || argument === '--page') {
      if (i + 1 >= argv.length || argv[i + 1] === '') throw new UsageError(`${argument} needs a value`);
      const value = argv[++i];
      if (argument === '--screenshot') options.screenshot = path.resolve(value);
      else if (argument === '--page') options.page = path.resolve(value);
      else {
        options.timeout = Number(value);
        if (!(options.timeout > 0)) throw new UsageError(`--timeout ${value}: not a number of seconds`);
      }
      continue;
    }
    if (argument === '-h' || argument === '--help') { console.log(usage()); process.exit(0); }
    if (argument.startsWith('--')) throw new UsageError(`unknown option ${argument}`);
    options.command = argv.slice(i);
    break;
  }
  if (options.command.length === 0 && process.env.TONEMIX_HOST_COMMAND) {
    options.command = process.env.TONEMIX_HOST_COMMAND.split(/\s+/).filter((word) => word !== '');
  }
  if (options.command.length === 0) throw new UsageError('no tonemix-host command given');
  // The Reproduce line runs in a folder of its own: a program named by a relative path is named
  // absolutely (an emulator before it too).
  options.command = options.command.map((word) =>
    word.includes('/') && !path.isAbsolute(word) && existsSync(word) ? path.resolve(word) : word);
  return options;
}

class UsageError extends Error {}
class CheckFailed extends Error {}

function passed(what) { console.log(`passed: ${what}`); }

function check(condition, message) {
  if (!condition) throw new CheckFailed(message);
}

// --- the server --------------------------------------------------------------------------------

// serve's first line: its address with the token the page needs, or with --no-token a note that
// any local program may drive it (a server of before tokens prints the bare address).
const addressLine = new RegExp('^serving (http://127\\.0\\.0\\.1:([0-9]+)/(?:\\?token=([0-9A-Za-z_-]+))?)' +
                               '(?: \\(no token: any local program may drive it\\))?; Ctrl-C stops$');

// Starts `COMMAND serve --port 0 ARG...` in a process group of its own, so that all of it can be
// ended, and answers its address (and token) from its first line.
function startServer(command, extra, timeoutMs) {
  const child = spawn(command[0], [...command.slice(1), 'serve', '--port', '0', ...extra],
                      { stdio: ['ignore', 'pipe', 'pipe'], detached: true });
  const server = { child, stderr: '', exited: false };
  child.stderr.on('data', (data) => { server.stderr = (server.stderr + data).slice(-4000); });
  child.on('exit', () => { server.exited = true; });
  server.address = new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new CheckFailed(
      `serve printed no address in ${timeoutMs / 1000} s`)), timeoutMs);
    child.stdout.on('data', (data) => {
      out += data;
      const newline = out.indexOf('\n');
      if (newline < 0) return;
      clearTimeout(timer);
      const line = out.slice(0, newline).replace(/\r$/, '');
      const match = addressLine.exec(line);
      if (match) resolve({ address: match[1], port: match[2], token: match[3] || null, line });
      else reject(new CheckFailed(`serve's first line is not its address: "${line}"`));
    });
    child.on('error', (error) => {
      clearTimeout(timer);
      reject(new CheckFailed(`cannot start ${command[0]}: ${error.message}`));
    });
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      reject(new CheckFailed(`serve ended before it served (exit ${code ?? signal}): ${server.stderr.trim()}`));
    });
  });
  return server;
}

async function stopServer(server) {
  if (!server || server.exited) return;
  const ended = new Promise((resolve) => server.child.once('exit', resolve));
  try { process.kill(-server.child.pid, 'SIGTERM'); } catch { return; }
  const timer = setTimeout(() => { try { process.kill(-server.child.pid, 'SIGKILL'); } catch { /* gone */ } }, 10000);
  await ended;
  clearTimeout(timer);
}

// --- the Reproduce line as a command -----------------------------------------------------------

// Words of a command line as a POSIX shell splits them: quotes and backslashes, no expansion.
// Anything a shell would expand or redirect fails the check: the line is to be pasted as it is.
function shellWords(line) {
  const words = [];
  let word = null, i = 0;
  while (i < line.length) {
    const c = line[i];
    if (c === ' ' || c === '\t') { if (word !== null) words.push(word); word = null; i++; continue; }
    word ??= '';
    if (c === "'") {
      const end = line.indexOf("'", i + 1);
      check(end > 0, `the Reproduce line has an unclosed quote: ${line}`);
      word += line.slice(i + 1, end);
      i = end + 1;
    } else if (c === '"') {
      i++;
      while (i < line.length && line[i] !== '"') {
        if (line[i] === '\\' && i + 1 < line.length && '"\\$`'.includes(line[i + 1])) i++;
        check(!'$`'.includes(line[i]) || line[i - 1] === '\\', `the Reproduce line expands in a shell: ${line}`);
        word += line[i++];
      }
      check(i < line.length, `the Reproduce line has an unclosed quote: ${line}`);
      i++;
    } else if (c === '\\') {
      check(i + 1 < line.length, `the Reproduce line ends in a backslash: ${line}`);
      word += line[i + 1];
      i += 2;
    } else {
      check(!'$`;|&<>(){}*?[~#\n'.includes(c), `the Reproduce line has "${c}" unquoted: ${line}`);
      word += c;
      i++;
    }
  }
  if (word !== null) words.push(word);
  return words;
}

function runCommand(command, cwd, timeoutMs) {
  return new Promise((resolve) => {
    const child = spawn(command[0], command.slice(1), { cwd, stdio: ['ignore', 'pipe', 'pipe'] });
    let stdout = '', stderr = '';
    child.stdout.on('data', (data) => { stdout += data; });
    child.stderr.on('data', (data) => { stderr += data; });
    const timer = setTimeout(() => child.kill('SIGKILL'), timeoutMs);
    child.on('error', (error) => { clearTimeout(timer); resolve({ status: -1, stdout, stderr: error.message }); });
    child.on('close', (status, signal) => { clearTimeout(timer); resolve({ status: status ?? signal, stdout, stderr }); });
  });
}

// The file the Reproduce line writes, run in a folder of its own, with what the command printed.
// `output` replaces the line's own -o tonemix.png (the EXR link is that line with -o tonemix.exr).
async function reproduceRun(line, program, folder, timeoutMs, output = 'tonemix.png') {
  const words = shellWords(line);
  check(words[0] === 'tonemix-host', `the Reproduce line does not start with tonemix-host: ${line}`);
  const named = words.length >= 2 && words[words.length - 2] === '-o' ? words[words.length - 1] : null;
  check(named === 'tonemix.png', `the Reproduce line does not end in -o tonemix.png: ${line}`);
  await rm(folder, { recursive: true, force: true });
  await mkdir(folder, { recursive: true });
  const result = await runCommand([...program, ...words.slice(1, -1), output], folder, timeoutMs);
  check(result.status === 0, `the Reproduce line failed (exit ${result.status}): ${result.stderr.trim()}`);
  return { bytes: await readFile(path.join(folder, output)), printed: result.stdout + result.stderr };
}

async function reproduce(line, program, folder, timeoutMs) {
  return (await reproduceRun(line, program, folder, timeoutMs)).bytes;
}

// A PNG's size from its header, read here rather than by any code under test.
function pngSize(bytes) {
  const signature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
  if (bytes.length < 24 || signature.some((b, i) => bytes[i] !== b)) return null;
  if (bytes.toString('latin1', 12, 16) !== 'IHDR') return null;
  return { width: bytes.readUInt32BE(16), height: bytes.readUInt32BE(20) };
}

function firstDifference(a, b) {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; i++) if (a[i] !== b[i]) return i;
  return n;
}

function sameBytes(shown, written, what) {
  check(shown.equals(written),
        `${what}: the image shown (${shown.length} bytes) differs from the command's ` +
        `(${written.length} bytes) from byte ${firstDifference(shown, written)}`);
}

// --- the page ----------------------------------------------------------------------------------

// Counts, inside the page, the render and sheet requests that are in flight and not aborted when
// another starts: the page must never have two. Also keeps every image #image has shown.
function watchRenders() {
  const live = [];
  window.__renders = { started: 0, most: 0 };
  const fetch = window.fetch.bind(window);
  window.fetch = (input, init = {}) => {
    const url = String(input instanceof Request ? input.url : input);
    if (!/\/api\/(render|sheet)\?/.test(url)) return fetch(input, init);
    const entry = { signal: init.signal, settled: false };
    const running = live.filter((e) => !e.settled && !(e.signal && e.signal.aborted)).length;
    window.__renders.started++;
    window.__renders.most = Math.max(window.__renders.most, running + 1);
    live.push(entry);
    const answer = fetch(input, init);
    answer.then(() => { entry.settled = true; }, () => { entry.settled = true; });
    return answer;
  };
  window.__shown = [];
  document.addEventListener('DOMContentLoaded', () => {
    const image = document.getElementById('image');
    image.addEventListener('load', () => window.__shown.push(
      { kind: image.dataset.kind || '', src: image.src, at: performance.now() }));
  });
}

// What a test run sees of one page: the browser's page and the requests it made.
class PageRun {
  constructor(page, options) {
    this.page = page;
    this.options = options;
    this.timeoutMs = options.timeout * 1000;
    this.renderUrls = [];      // URL of each /api/render request, in order
    this.renderAnswers = new Map();   // image id -> the search params of its render
    this.requests = [];        // every /api/ request's URL
    this.failedRenders = [];   // render requests that failed or were aborted
    page.on('request', (request) => {
      const url = new URL(request.url());
      if (url.pathname.startsWith('/api/')) this.requests.push(url);
      if (url.pathname === '/api/render') this.renderUrls.push(url);
    });
    page.on('requestfailed', (request) => {
      const url = new URL(request.url());
      if (url.pathname === '/api/render') this.failedRenders.push(url);
    });
    page.on('response', async (response) => {
      const url = new URL(response.url());
      if (url.pathname !== '/api/render' || response.status() !== 200) return;
      try {
        const answer = await response.json();
        if (answer && typeof answer.image === 'string') this.renderAnswers.set(answer.image, url.searchParams);
      } catch { /* the page went away */ }
    });
  }

  state() { return this.page.evaluate(() => document.body.dataset.state); }
  status() { return this.page.evaluate(() => document.getElementById('status').textContent); }

  // Waits for the final image after a change; an error state fails at once with the status line.
  async waitDone(what) {
    await this.waitState(['done'], what);
  }

  async waitState(states, what) {
    try {
      await this.page.waitForFunction((wanted) => [...wanted, 'error'].includes(document.body.dataset.state),
                                      states, { timeout: this.timeoutMs, polling: 50 });
    } catch (error) {
      throw new CheckFailed(`${what}: not ${states.join(' or ')} within ${this.options.timeout} s ` +
                            `(state ${await this.state()}, status "${await this.status()}")`);
    }
    const state = await this.state();
    check(states.includes(state), `${what}: the page says "${await this.status()}"`);
  }

  async waitFor(what, fn, arg) {
    try {
      await this.page.waitForFunction(fn, arg, { timeout: this.timeoutMs, polling: 50 });
    } catch (error) {
      throw new CheckFailed(`${what} (within ${this.options.timeout} s; state ${await this.state()}, ` +
                            `status "${await this.status()}")`);
    }
  }

  reproduceLine() { return this.page.evaluate(() => document.getElementById('reproduce').textContent.trim()); }

  // The bytes behind an image element's src (a blob: URL of the page), fetched inside the page.
  async imageBytes(id = 'image') {
    return Buffer.from(await this.page.evaluate(async (element) => {
      const response = await fetch(document.getElementById(element).src);
      const bytes = new Uint8Array(await response.arrayBuffer());
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return btoa(text);
    }, id), 'base64');
  }

  // The bytes a link of the page downloads, fetched inside the page (with its cookie).
  async linkBytes(id) {
    const href = await this.page.getAttribute(`#${id}`, 'href');
    check(href, `the ${id} link has no address`);
    return Buffer.from(await this.page.evaluate(async (url) => {
      const response = await fetch(url);
      if (!response.ok) return null;
      const bytes = new Uint8Array(await response.arrayBuffer());
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return btoa(text);
    }, href) ?? '', 'base64');
  }

  async enter(selector, value) {
    await this.page.fill(selector, value);
    await this.page.press(selector, 'Enter');
  }

  // The set= pairs of the page's address, by name.
  async addressSets() {
    const url = new URL(this.page.url());
    return new Map(url.searchParams.getAll('set').map((pair) => {
      const equals = pair.indexOf('=');
      return [pair.slice(0, equals), pair.slice(equals + 1)];
    }));
  }

  async waitAddress(what, test) {
    try {
      await this.page.waitForFunction(test, null, { timeout: this.timeoutMs, polling: 50 });
    } catch (error) {
      throw new CheckFailed(`${what}; the address is ${this.page.url()}`);
    }
  }

  async checkOneRender() {
    const renders = await this.page.evaluate(() => window.__renders);
    check(renders.most === 1, `the page had ${renders.most} renders in flight at once`);
    return renders.started;
  }
}

// The coarse renders of a drag, and their answers held back a while (a slower machine's render),
// so that the pointer moves while one is in flight.
const isCoarse = (url) => url.pathname === '/api/render' && url.searchParams.get('width') === '30';
async function slowCoarse(route) {
  try {
    const response = await route.fetch();
    await new Promise((resolve) => setTimeout(resolve, 250));
    await route.fulfill({ response });
  } catch { /* the page aborted it: each test counts its cancelled renders */ }
}

const number = (name) => `[data-parameter="${name}"][data-role="number"]`;
const slider = (name) => `[data-parameter="${name}"][data-role="slider"]`;

async function openPage(context, address, options) {
  const page = await context.newPage();
  const pageRun = new PageRun(page, options);
  pageRun.errors = [];
  pageRun.consoleErrors = [];
  page.on('pageerror', (error) => pageRun.errors.push(error.message));
  page.on('console', (message) => { if (message.type() === 'error') pageRun.consoleErrors.push(message.text()); });
  await page.addInitScript(watchRenders);
  if (options.page) {
    // The server still answers the address (and hands over its token's cookie); only the page
    // it sends is replaced.
    const html = await readFile(options.page);
    await page.route((url) => url.pathname === '/', async (route) => {
      const response = await route.fetch();
      await route.fulfill({ response, body: html, contentType: 'text/html; charset=utf-8' });
    });
  }
  await page.goto(address);
  return pageRun;
}

async function waitControls(run, what) {
  await run.page.waitForFunction(
    (selector) => document.querySelector(selector) || document.body.dataset.state === 'error',
    number('samples'), { polling: 50, timeout: run.timeoutMs })
    .catch(() => { throw new CheckFailed(`${what}: the page built no controls in ${run.options.timeout} s`); });
  check((await run.state()) !== 'error', `${what}: the page says "${await run.status()}"`);
}

// --- the checks --------------------------------------------------------------------------------

// The built-in scene: the controls, the coarse image then the full one, the Reproduce line run as
// a command, exposure, the EXR link, an exposure's image that comes late.
async function builtinScene(run, options, folder) {
  const { page } = run;
  const timeoutMs = run.timeoutMs;
  // The built-in scene (640 x 360) at 160 wide: its shape makes 90 high. The first render
  // (at 640) may still be running, and is replaced.
  await waitControls(run, 'the built-in scene');
  check(await page.inputValue('#width') === '640' && await page.inputValue('#height') === '360',
        `the built-in scene opens at ${await page.inputValue('#width')}x${await page.inputValue('#height')}, ` +
        'not its own 640x360');
  await run.enter('#width', '160');
  const height = await page.inputValue('#height');
  check(height === '90', `160 wide gave ${height} high, not 90`);
  await run.waitDone('the first image');
  const first = pngSize(await run.imageBytes());
  check(first && first.width === 160 && first.height === 90,
        `the first image shown is ${first ? `${first.width}x${first.height}` : 'no PNG'}, not 160x90`);
  passed('the page shows a full 160x90 image of the built-in scene');

  // Jitter counts only along the normal.
  const jitterDisabled = () => page.evaluate(() => document.querySelector('[data-parameter="jitter"]').disabled);
  check(await jitterDisabled(), 'jitter is enabled while mode is scatter');
  await page.selectOption('select[data-parameter="mode"]', '1');
  await page.waitForFunction(() => !document.querySelector('[data-parameter="jitter"]').disabled)
    .catch(() => { throw new CheckFailed('jitter stays disabled with mode "along the normal"'); });
  await page.selectOption('select[data-parameter="mode"]', '0');
  await page.waitForFunction(() => document.querySelector('[data-parameter="jitter"]').disabled)
    .catch(() => { throw new CheckFailed('jitter stays enabled with mode "scatter" again'); });
  passed('jitter is disabled at mode 0, enabled at mode 1, disabled at mode 0 again');

  // A quick drag along the samples slider.
  const samplesSlider = await page.$(slider('samples'));
  check(samplesSlider, 'samples has no slider');
  const box = await samplesSlider.boundingBox();
  const y = box.y + box.height / 2;
  await page.mouse.move(box.x + box.width * 0.2, y);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.7, y, { steps: 12 });
  await page.mouse.up();

  // The values typed, each committed with Enter.
  await run.enter(number('samples'), '4');
  await run.enter(number('distance'), '0.5');
  await run.waitDone('the image after samples=4 and distance=0.5');
  const line = await run.reproduceLine();
  // Only what differs from the scene's own values: the size, samples and distance (mode is back
  // at the scene's 0, and pixel samples at 1).
  const expected = new RegExp('^tonemix-host render --width 160 --height 90 ' +
    '(--set samples=4 --set distance=0\\.5|--set distance=0\\.5 --set samples=4) -o tonemix\\.png$');
  check(expected.test(line),
        `the Reproduce line is not the render at 160x90 with samples=4 and distance=0.5 alone: ${line}`);
  passed(`the Reproduce line names only what changed: ${line}`);

  const last = run.renderUrls.slice(-2).map((url) => url.searchParams);
  check(last.length === 2 && last[0].get('width') === '20' && last[0].get('height') === '11' &&
        last[0].get('pixel-samples') === '1' && last[1].get('width') === '160' &&
        last[1].get('height') === '90' && !last[1].has('pixel-samples'),
        `the last change was not rendered at 20x11 and then at 160x90: ${run.renderUrls.slice(-2).join(' ')}`);
  passed('a change is rendered at 1/8 of the size first, then in full');

  const shown = await run.imageBytes();
  const written = await reproduce(line, options.command, path.join(folder, 'exposure-0'), timeoutMs);
  check(pngSize(written)?.width === 160 && pngSize(written)?.height === 90, 'the command wrote no 160x90 PNG');
  sameBytes(shown, written, 'at exposure 0');
  passed(`the image shown is byte for byte what the Reproduce line writes (${written.length} bytes)`);

  // Exposure encodes the same render again; nothing is rendered.
  const rendersBefore = run.renderUrls.length;
  await run.enter('#exposure', '1.5');
  await run.waitFor('the Reproduce line does not take the exposure',
                    () => document.getElementById('reproduce').textContent.includes('--exposure'));
  await run.waitDone('the image at exposure 1.5');
  const exposedLine = await run.reproduceLine();
  check(exposedLine === line.replace(/ -o tonemix\.png$/, ' --exposure 1.5 -o tonemix.png'),
        `at exposure 1.5 the Reproduce line is: ${exposedLine}`);
  check(run.renderUrls.length === rendersBefore, 'a new exposure rendered again');
  const exposedShown = await run.imageBytes();
  const exposedWritten = await reproduce(exposedLine, options.command, path.join(folder, 'exposure-1.5'),
                                         timeoutMs);
  check(!exposedWritten.equals(written), 'the exposure changed nothing in the image');
  sameBytes(exposedShown, exposedWritten, 'at exposure 1.5');
  passed('at exposure 1.5 the image shown is the Reproduce line\'s, with no new render');

  // The EXR link is the Reproduce line with -o tonemix.exr: the exposure included.
  const exr = await run.linkBytes('download-exr');
  const exrWritten = await reproduceRun(exposedLine, options.command, path.join(folder, 'exr'), timeoutMs,
                                        'tonemix.exr');
  check(exr.length > 0, 'the EXR link answers no file');
  check(exr.equals(exrWritten.bytes),
        `the EXR link's file (${exr.length} bytes) is not what the Reproduce line writes as tonemix.exr ` +
        `(${exrWritten.bytes.length} bytes), from byte ${firstDifference(exr, exrWritten.bytes)}`);
  passed('the EXR link is byte for byte the Reproduce line\'s image written as tonemix.exr');

  // A re-encode at a new exposure that comes back after a newer render has been shown must not
  // replace it: its answer is held back until the render at 120 wide is on screen.
  let held = null;
  let heldRequest = null;
  const heldEnded = new Promise((resolve) => {
    const ended = (request) => { if (request === heldRequest) resolve(); };
    page.on('requestfinished', ended);
    page.on('requestfailed', ended);
  });
  await page.route((url) => !held && url.pathname === '/api/image' && url.searchParams.get('exposure') === '2',
                   (route) => { held = route; heldRequest = route.request(); });
  await run.enter('#exposure', '2');
  await page.waitForFunction(() => document.body.dataset.state === 'rendering', null, { polling: 20 });
  await run.enter('#width', '120');
  await run.waitDone('the image at 120 wide');
  check(held, 'the page asked for no image at exposure 2');
  await held.continue().catch(() => {});
  await heldEnded;
  await page.waitForTimeout(300);
  const latest = pngSize(await run.imageBytes());
  check(latest && latest.width === 120,
        `a re-encode that came late replaced the newer render: ${latest ? latest.width : 'no'} wide is shown`);
  passed('an exposure\'s image that comes after a newer render does not replace it');

  if (options.screenshot) {
    await run.enter('#exposure', '0');
    await run.waitDone('the image at exposure 0');
    await run.enter('#width', '640');
    await run.waitDone('the image at 640 wide');
    // No focus ring, caret or hover in the picture.
    await page.evaluate(() => document.activeElement && document.activeElement.blur());
    await page.mouse.move(640, 790);
    await mkdir(path.dirname(options.screenshot), { recursive: true });
    const picture = await page.screenshot({ type: 'png', animations: 'disabled', caret: 'hide' });
    const size = pngSize(picture);
    check(size && size.width === 1280 && size.height === 800,
          `the page's screenshot is not a 1280x800 PNG: ${size ? `${size.width}x${size.height}` : 'no PNG'}`);
    await writeFile(options.screenshot, picture);
    passed(`saved the page at 1280x800 in ${options.screenshot}`);
  }
}

// The built-in scene again: a warning shown whole, the server's own value in a number box, the
// reset buttons, the tone map.
async function builtinValues(run, options, folder) {
  const { page } = run;
  const timeoutMs = run.timeoutMs;
  await run.enter('#exposure', '0');
  await run.enter('#width', '160');
  await run.waitDone('the image at 160 wide and exposure 0');

  // A distance far beyond the scene's extent: the program warns in a line longer than the page.
  await run.enter(number('distance'), '100000');
  await run.waitDone('the image at distance 100000');
  const farLine = await run.reproduceLine();
  const far = await reproduceRun(farLine, options.command, path.join(folder, 'far'), timeoutMs);
  const warning = /tonemix-host: warning: (.*)/.exec(far.printed);
  check(warning, `the command at distance 100000 warned of nothing: ${far.printed.trim()}`);
  const box = await page.evaluate(() => {
    const element = document.getElementById('warnings');
    return { hidden: element.hidden, text: element.textContent, scroll: element.scrollWidth,
             client: element.clientWidth, height: element.getBoundingClientRect().height };
  });
  check(!box.hidden, 'the page shows no warning at distance 100000');
  check(box.text.includes(warning[1]),
        `the page's warning is not the program's whole line "${warning[1]}": "${box.text}"`);
  check(box.scroll <= box.client && box.height > 0, 'the warning does not wrap in its box');
  passed(`the warning is shown whole: "${box.text}"`);

  // Each value has a reset button that puts back the scene's value.
  await page.click('[data-reset="distance"]');
  await run.waitDone('the image after distance was reset');
  check(await page.inputValue(number('distance')) === '0.8',
        `distance reset shows ${await page.inputValue(number('distance'))}, not the scene's 0.8`);
  check(!(await run.reproduceLine()).includes('distance'), 'the Reproduce line still sets distance after its reset');
  check(await page.evaluate(() => document.getElementById('warnings').hidden), 'the warning stays after the reset');
  check(await page.isDisabled('[data-reset="distance"]'), 'the reset button of distance is enabled at the scene\'s value');
  passed('the reset button puts back the scene\'s distance, and the warning goes');

  // The box shows the number the server uses, as the server writes it.
  const described = await describeJson(options, ['--set', 'offset=9.05e-3'], folder, timeoutMs);
  const serverOffset = String(described.parameters.find((p) => p.short_name === 'offset').value);
  await run.enter(number('offset'), '9.05e-3');
  await run.waitFor(`the offset box does not come to show the server's ${serverOffset}`,
                    ([selector, wanted]) => document.querySelector(selector).value === wanted,
                    [number('offset'), serverOffset]);
  await run.waitDone('the image at offset 9.05e-3');
  await run.waitAddress(`the address does not hold the server's offset=${serverOffset}`,
                        new Function(`return new URLSearchParams(location.search).getAll('set')` +
                                     `.includes('offset=${serverOffset}');`));
  passed(`typed 9.05e-3, the offset box shows the server's value ${serverOffset}`);
  await page.click('[data-reset="offset"]');
  await run.waitDone('the image after offset was reset');

  // A tone map encodes the same render again, and the Reproduce line names it.
  check(!(await page.isDisabled('#tonemap')), 'the tone map choice is disabled');
  const before = run.renderUrls.length;
  const plainLine = await run.reproduceLine();
  await run.enter('#exposure', '1');
  await page.selectOption('#tonemap', 'reinhard');
  await run.waitFor('the Reproduce line does not take the tone map',
                    () => document.getElementById('reproduce').textContent.includes('--tonemap reinhard'));
  await run.waitDone('the image with reinhard');
  const mapped = await run.reproduceLine();
  check(mapped === plainLine.replace(/ -o tonemix\.png$/, ' --exposure 1 --tonemap reinhard -o tonemix.png'),
        `with reinhard the Reproduce line is: ${mapped}`);
  check(run.renderUrls.length === before, 'a tone map rendered again');
  const mappedShown = await run.imageBytes();
  const mappedWritten = await reproduce(mapped, options.command, path.join(folder, 'reinhard'), timeoutMs);
  sameBytes(mappedShown, mappedWritten, 'with reinhard');
  const png = await run.linkBytes('download-png');
  check(png.equals(mappedWritten), 'the PNG link is not the image with reinhard');
  const exrHref = await page.getAttribute('#download-exr', 'href');
  check(!exrHref.includes('tonemap'), `the EXR link asks for a tone map: ${exrHref}`);
  passed('reinhard re-encodes the image shown without a render, as its Reproduce line writes it');
  await page.selectOption('#tonemap', 'clamp');
  await run.enter('#exposure', '0');
  await run.waitDone('the image with clamp again');
  check(!(await run.reproduceLine()).includes('--tonemap'), 'clamp is named in the Reproduce line');
}

// describe --json's answer, through the program the server runs.
async function describeJson(options, extra, folder, timeoutMs) {
  const result = await runCommand([...options.command, 'describe', '--json', ...extra], folder, timeoutMs);
  check(result.status === 0, `describe failed (exit ${result.status}): ${result.stderr.trim()}`);
  return JSON.parse(result.stdout);
}

// The mesh scene: its own size, a drag that shows images as it goes, undo and redo, passes up to
// 4 pixel samples, Stop, the address brought back by a reload, A/B.
async function meshScene(run, options, folder) {
  const { page } = run;
  const timeoutMs = run.timeoutMs;
  const scene = 'mesh_torus_knot.json';
  const rendersAtSwitch = run.renderUrls.length;
  const shownAtSwitch = await page.evaluate(() => window.__shown.length);
  await page.selectOption('#scene', scene);
  await run.waitFor('the mesh scene does not open at its own size 360x270',
                    () => document.getElementById('width').value === '360' &&
                          document.getElementById('height').value === '270');
  await run.waitFor('the mesh scene is not rendered coarse first',
                    (from) => window.__shown.length > from && window.__shown[from].kind === 'coarse', shownAtSwitch);
  const firstRender = run.renderUrls[rendersAtSwitch]?.searchParams;
  check(firstRender && firstRender.get('scene') === scene && firstRender.get('width') === '45' &&
        firstRender.get('height') === '34',
        `the mesh scene's first render is not at 45x34: ${run.renderUrls[rendersAtSwitch]}`);
  passed('the mesh scene opens at its own size, 360x270, and renders at 45x34 first');
  await run.enter('#width', '240');
  check(await page.inputValue('#height') === '180', 'the mesh scene at 240 wide is not 180 high');
  await run.waitDone('the mesh scene at 240x180');
  const sceneDistance = await page.inputValue(number('distance'));

  // A drag of about 2 s along distance, the mouse button held: coarse images appear as it goes,
  // and none of their renders is cancelled by the next move. Each coarse answer is held back a
  // while (a slower machine's render), so that moves come while one is in flight.
  await page.route(isCoarse, slowCoarse);
  const handle = await page.$(slider('distance'));
  const box = await handle.boundingBox();
  const position = await handle.evaluate((s) => (Number(s.value) - Number(s.min)) / (Number(s.max) - Number(s.min)));
  const y = box.y + box.height / 2;
  // Chromium's thumb is 16 px wide: its centre runs from 8 px to width - 8 px.
  const x0 = box.x + 8 + (box.width - 16) * position;
  const failedBefore = run.failedRenders.length;
  await page.mouse.move(x0, y);
  const dragStart = await page.evaluate(() => performance.now());
  await page.mouse.down();
  for (let step = 1; step <= 40; step++) {
    await page.mouse.move(x0 + box.width * 0.08 * step / 40, y);
    await page.waitForTimeout(50);
  }
  const dragEnd = await page.evaluate(() => performance.now());
  await page.mouse.up();
  const shownDuring = await page.evaluate(([from, to]) =>
    window.__shown.filter((s) => s.at >= from && s.at <= to).map((s) => s.kind), [dragStart, dragEnd]);
  const dragged = await page.inputValue(number('distance'));
  check(dragged !== sceneDistance, `the drag left distance at ${dragged}`);
  check(shownDuring.filter((kind) => kind === 'coarse').length >= 2,
        `a 2 s drag showed ${shownDuring.length} images (${shownDuring.join(', ') || 'none'}), not two coarse ones`);
  await run.waitDone(`the image at distance ${dragged}`);
  await page.unroute(isCoarse, slowCoarse);
  const coarseCancelled = run.failedRenders.slice(failedBefore).filter(isCoarse);
  check(coarseCancelled.length === 0, `${coarseCancelled.length} coarse renders were cancelled by the drag`);
  const lastFull = run.renderUrls.filter((url) => url.searchParams.get('width') === '240').at(-1).searchParams;
  check(lastFull.getAll('set').includes(`distance=${dragged}`),
        `the full image after the drag is not of distance=${dragged}: set ${lastFull.getAll('set').join(' ')}`);
  passed(`a 2 s drag showed ${shownDuring.length} images (${shownDuring.filter((k) => k === 'coarse').length} ` +
         `coarse, none cancelled); then the full image of distance=${dragged}`);

  // Undo and redo: the whole drag is one step; keys and buttons.
  const distanceIs = (wanted, what) => run.waitFor(`${what}: distance is not ${wanted}`,
    ([selector, value]) => document.querySelector(selector).value === value, [number('distance'), wanted]);
  const addressDistance = async (wanted, what) => {
    const test = wanted === null
      ? "return !new URLSearchParams(location.search).getAll('set').some((p) => p.startsWith('distance='));"
      : `return new URLSearchParams(location.search).getAll('set').includes('distance=${wanted}');`;
    await run.waitAddress(`${what}: the address does not hold distance ${wanted ?? 'unset'}`, new Function(test));
  };
  await page.keyboard.press('Control+z');
  await distanceIs(sceneDistance, 'Ctrl+Z after the drag');
  await addressDistance(null, 'Ctrl+Z after the drag');
  await page.keyboard.press('Control+Shift+z');
  await distanceIs(dragged, 'Ctrl+Shift+Z');
  await addressDistance(dragged, 'Ctrl+Shift+Z');
  await page.click('#undo');
  await distanceIs(sceneDistance, 'the Undo button');
  await page.keyboard.press('Control+y');
  await distanceIs(dragged, 'Ctrl+Y');
  await addressDistance(dragged, 'Ctrl+Y');
  check(await page.isDisabled('#redo'), 'Redo is enabled with nothing to redo');
  // Ctrl+Z while typing in a box undoes the typing, not a change of the values.
  await page.fill(number('distance'), '7');
  await page.focus(number('distance'));
  await page.keyboard.press('Control+z');
  await page.waitForTimeout(200);
  check((await run.addressSets()).get('distance') === dragged, 'Ctrl+Z while typing undid a change of the values');
  await run.enter(number('distance'), dragged);
  await run.waitDone(`the image at distance ${dragged} again`);
  passed('Undo and Redo (Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y, the buttons) step over the whole drag, not over typing');

  // The scene file carries the values and the page's size: rendered as it is, it makes the image
  // shown (here at 1 pixel sample).
  const sceneFile = await run.linkBytes('download-scene');
  let parsed = null;
  try { parsed = JSON.parse(sceneFile.toString('utf8')); } catch { /* checked below */ }
  check(parsed && parsed.shader && Number(parsed.shader.TONEMIX_DISTANCE) === Number(dragged),
        `the scene file does not carry distance ${dragged}: ${sceneFile.toString('utf8').slice(0, 200)}`);
  check(parsed.image && parsed.image.width === 240 && parsed.image.height === 180,
        `the scene file's image is ${JSON.stringify(parsed.image)}, not 240x180`);
  const saved = path.join(folder, 'scene-file');
  await mkdir(saved, { recursive: true });
  await writeFile(path.join(saved, 'saved.json'), sceneFile);
  const result = await runCommand([...options.command, 'render', 'saved.json', '-o', 'tonemix.png'], saved, timeoutMs);
  check(result.status === 0, `rendering the scene file failed: ${result.stderr.trim()}`);
  sameBytes(await run.imageBytes(), await readFile(path.join(saved, 'tonemix.png')), 'the scene file rendered');
  passed('the scene file carries the values and the size: rendered, it is the page\'s image');

  // Passes of 1, 2, 4 pixel samples; the last is the image of --pixel-samples 4.
  const rendersBefore = run.renderUrls.length;
  const requestsBefore = run.requests.length;
  await run.enter('#pixel-samples', '4');
  await run.waitDone('the image at 4 pixel samples');
  const pass = await page.evaluate(() => ({ text: document.getElementById('pass').textContent,
                                            of: document.getElementById('pass').dataset.pass }));
  check(pass.of === '3/3' && /pass 3 of 3/.test(pass.text) && /4 pixel samples/.test(pass.text),
        `at 4 pixel samples the page says "${pass.text}" (${pass.of}), not pass 3 of 3`);
  const passes = run.renderUrls.slice(rendersBefore).map((url) => url.searchParams.get('pixel-samples') ?? '1');
  check(passes.length >= 2 && passes.at(-1) === '4' && passes.at(-2) === '2' &&
        passes.every((p, i) => ['1', '2', '4'].includes(p) && (i === 0 || Number(p) > Number(passes[i - 1]))),
        `the passes asked for ${passes.join(', ')} pixel samples, not 1, 2, 4 (or 2, 4 after pass 1)`);
  const line = await run.reproduceLine();
  check(line.includes(' --pixel-samples 4 ') && line.includes(`--set distance=${dragged}`),
        `the Reproduce line does not render 4 pixel samples at distance ${dragged}: ${line}`);
  const shown = await run.imageBytes();
  const written = await reproduceRun(line, options.command, path.join(folder, 'passes'), timeoutMs);
  sameBytes(shown, written.bytes, 'after the passes');
  passed(`after passes of ${passes.join(', ')} pixel samples the image is byte for byte the Reproduce line's: ${line}`);

  // The rows of a running pass are asked for over the pass before it.
  const partials = run.requests.slice(requestsBefore).filter((url) => url.pathname === '/api/partial');
  for (const url of partials) {
    const under = run.renderAnswers.get(url.searchParams.get('under'));
    check(under && Number(under.get('pixel-samples') ?? '1') < 4 && under.get('width') === '240',
          `a partial image was asked for over ${url.searchParams.get('under')}, not over an earlier pass`);
  }
  const kinds = await page.evaluate(() => window.__shown.map((s) => s.kind));
  check(partials.length > 0 && kinds.includes('partial'),
        `no partial image was shown during the passes (${partials.length} asked for)`);
  passed(`${partials.length} partial images were asked for over the pass before, and shown`);
  const printed = /([0-9]+) points shaded/.exec(written.printed);
  const stats = await page.evaluate(() => ({ hidden: document.getElementById('stats').hidden,
                                             text: document.getElementById('stats').textContent }));
  check(printed, `the command did not say how many points it shaded: ${written.printed.trim()}`);
  const points = new Intl.NumberFormat('en-US').format(Number(printed[1]));
  check(!stats.hidden && new RegExp(`^[0-9.]+ s · ${points} points$`).test(stats.text),
        `the page shows "${stats.text}", not the render time and the command's ${points} points`);
  passed(`the page shows the last pass's time and points: ${stats.text}`);

  // Stop during a pass: held before it reaches the server, it is cancelled, and nothing more runs.
  // At 6 pixel samples the passes are 1, 2, 4 and 6: the last one is the page's own count.
  let held = null;
  const matchesHeld = (url) => url.pathname === '/api/render' && url.searchParams.get('pixel-samples') === '6';
  await page.route(matchesHeld, (route) => { held = route; });
  const srcBefore = await page.getAttribute('#image', 'src');
  await run.enter('#pixel-samples', '6');
  await run.waitFor('the pass of 6 pixel samples was not asked for', () => document.body.dataset.state === 'rendering');
  for (const started = Date.now(); !held && Date.now() - started < timeoutMs;) await page.waitForTimeout(20);
  check(held, 'the page asked for no pass of 6 pixel samples');
  check(/pass 4 of 4 · 6 pixel samples/.test(await page.textContent('#pass')),
        `the pass of 6 is not pass 4 of 4: ${await page.textContent('#pass')}`);
  const failedBeforeStop = run.failedRenders.length;
  const requestsAtStop = run.requests.length;
  await page.click('#stop');
  await run.waitState(['stopped'], 'Stop');
  for (const started = Date.now(); run.failedRenders.length === failedBeforeStop && Date.now() - started < timeoutMs;) {
    await page.waitForTimeout(20);
  }
  check(run.failedRenders.slice(failedBeforeStop).some(matchesHeld), 'Stop left the pass\'s request running');
  const cancels = run.requests.slice(requestsAtStop).filter((url) => url.pathname === '/api/cancel');
  check(cancels.length === 1, `Stop sent ${cancels.length} /api/cancel requests`);
  const rendersAtStop = run.renderUrls.length;
  await page.waitForTimeout(1000);
  check(run.renderUrls.length === rendersAtStop, 'a render was asked for after Stop');
  check(await page.getAttribute('#image', 'src') === srcBefore, 'Stop changed the image shown');
  check(await run.reproduceLine() === line, `after Stop the Reproduce line is ${await run.reproduceLine()}`);
  check(await page.textContent('#stop') === 'Continue', 'after Stop its button does not offer to continue');
  await page.unroute(matchesHeld);
  await held.abort().catch(() => {});
  // Back to 4: the passes done are kept, and shown again with no render.
  await run.enter('#pixel-samples', '4');
  await run.waitDone('4 pixel samples after Stop');
  check(run.renderUrls.length === rendersAtStop, 'going back to 4 pixel samples rendered again');
  sameBytes(await run.imageBytes(), written.bytes, 'at 4 pixel samples after Stop');
  passed('Stop cancels the running pass (/api/cancel, the request aborted), keeps the image, and starts nothing more');

  // A/B: the pinned image on the left of a split that can be dragged, the live one on the right.
  await page.click('#pin');
  const pinnedSrc = await page.getAttribute('#pinned-image', 'src');
  check(await page.isVisible('#split') && await page.isVisible('#pinned-image') && pinnedSrc,
        'pinning shows no split');
  await run.enter('#pixel-samples', '2');
  await run.enter(number('distance'), '0.8');
  await run.waitDone('the image at distance 0.8 beside the pinned one');
  check(await page.getAttribute('#pinned-image', 'src') === pinnedSrc, 'the pinned image changed with the values');
  sameBytes(await run.imageBytes('pinned-image'), written.bytes, 'the pinned image');
  check(!(await run.imageBytes()).equals(written.bytes), 'the live image did not change');
  const stage = await (await page.$('#stage')).boundingBox();
  await page.mouse.move(stage.x + stage.width / 2, stage.y + stage.height / 2);
  await page.mouse.down();
  await page.mouse.move(stage.x + stage.width / 4, stage.y + stage.height / 2, { steps: 5 });
  await page.mouse.up();
  const split = Number(await page.getAttribute('#split', 'aria-valuenow'));
  check(split >= 23 && split <= 27, `the split dragged to a quarter is at ${split}%`);
  const splitLeft = await page.evaluate(() => document.getElementById('split').getBoundingClientRect().left);
  check(Math.abs(splitLeft + 8 - (stage.x + stage.width / 4)) <= 3, 'the split line is not where it was dragged');
  await run.enter('#exposure', '1');
  await run.waitDone('the live image at exposure 1');
  check(await page.getAttribute('#pinned-image', 'src') === pinnedSrc, 'the pinned image took the new exposure');
  await run.enter('#exposure', '0');
  await run.waitDone('the live image at exposure 0');
  await page.click('#pin');
  check(!(await page.isVisible('#split')) && !(await page.isVisible('#pinned-image')), 'unpinning leaves the split');
  passed('A/B: the pinned image keeps its bytes and exposure beside the live one; the split drags; unpin ends it');

  const started = await run.checkOneRender();
  passed(`never more than one render in flight (${started} started)`);

  // The address holds the view: a reload (the token now in a cookie) brings it back, the values
  // in the controls before the first render.
  const address = new URL(page.url());
  check(!address.searchParams.has('token'), `the page's address keeps the token: ${address}`);
  check(address.searchParams.get('scene') === scene && address.searchParams.get('width') === '240' &&
        address.searchParams.get('height') === '180' && address.searchParams.get('pixel-samples') === '2' &&
        (await run.addressSets()).get('distance') === '0.8',
        `the address does not hold the scene, size, pixel samples and distance: ${address}`);
  const lineBefore = await run.reproduceLine();
  const imageBefore = await run.imageBytes();
  const rendersBeforeReload = run.renderUrls.length;
  await page.goto(address.toString());
  await waitControls(run, 'the reloaded page');
  check(await page.inputValue('#scene') === scene, `the reload opened ${await page.inputValue('#scene')}`);
  check(await page.inputValue(number('distance')) === '0.8',
        `the reload shows distance ${await page.inputValue(number('distance'))}, not 0.8`);
  check(await page.inputValue('#width') === '240' && await page.inputValue('#pixel-samples') === '2',
        'the reload lost the size or the pixel samples');
  await run.waitDone('the reloaded page');
  const firstAfter = run.renderUrls[rendersBeforeReload];
  check(firstAfter && firstAfter.searchParams.get('scene') === scene &&
        firstAfter.searchParams.getAll('set').includes('distance=0.8'),
        `the reloaded page's first render is not of the address's values: ${firstAfter}`);
  check(await run.reproduceLine() === lineBefore, `after the reload the Reproduce line is ${await run.reproduceLine()}`);
  sameBytes(await run.imageBytes(), imageBefore, 'after the reload');
  passed(`the reloaded address ${address.pathname}${address.search} shows the same image`);
  return run.checkOneRender();
}

// The camera query pairs of a request (or of the page's address), null where left out.
function cameraQuery(url) {
  const params = url instanceof URL ? url.searchParams : new URL(url).searchParams;
  return { orbit: params.get('orbit'), zoom: params.get('zoom'), pan: params.get('pan') };
}

const sameCameraQuery = (a, b) => a.orbit === b.orbit && a.zoom === b.zoom && a.pan === b.pan;
const cameraText = (c) => `orbit=${c.orbit} zoom=${c.zoom} pan=${c.pan}`;

// The figures of a --camera-* option of the Reproduce line, as numbers; null when it is absent.
function cameraOption(line, name) {
  const match = new RegExp(`(?:^| )--camera-${name} (\\S+)(?= |$)`).exec(line);
  return match ? match[1].split(',').map(Number) : null;
}

function checkCameraLine(line, wanted) {
  const figures = (text) => text === null ? null : text.split(',').map(Number);
  for (const [option, query] of [['orbit', wanted.orbit], ['zoom', wanted.zoom], ['pan', wanted.pan]]) {
    const given = cameraOption(line, option);
    const expected = figures(query);
    const same = given !== null && expected !== null && given.length === expected.length &&
                 given.every((v, i) => v === expected[i]);
    check(expected === null ? given === null : same,
          expected === null ? `the Reproduce line carries --camera-${option}: ${line}`
                            : `the Reproduce line does not carry --camera-${option} ${query}: ${line}`);
  }
}

// The camera turned on the image of the mesh scene (at 240x180, shown one to one): a drag orbits
// (across the image's height, 180 degrees), the wheel zooms by 1.1 a notch, Shift or the middle
// button pans (the image's height, 1). Each travels as orbit=, zoom=, pan= in the page's requests
// and address, the Reproduce line carries them, and the image shown is the line's.
async function cameraView(run, options, folder) {
  const { page } = run;
  const timeoutMs = run.timeoutMs;
  await run.waitDone('the mesh scene before the camera turns');
  const sceneLine = await run.reproduceLine();
  const sceneImage = await run.imageBytes();
  const none = { orbit: null, zoom: null, pan: null };
  check(sameCameraQuery(cameraQuery(page.url()), none), `the address names a camera already: ${page.url()}`);
  checkCameraLine(sceneLine, none);
  check(await page.isDisabled('#reset-view'), 'Reset view is enabled at the scene\'s own camera');
  const stage = await (await page.$('#stage')).boundingBox();
  check(Math.abs(stage.height - 180) < 0.01 && Math.abs(stage.width - 240) < 0.01,
        `the 240x180 image is shown ${stage.width}x${stage.height}, not one to one`);
  const cx = Math.round(stage.x + stage.width / 2), cy = Math.round(stage.y + stage.height / 2);

  // The image renders at what the page asks for: all of it, and the line is the command's.
  const checkImage = async (wanted, what) => {
    await run.waitDone(what);
    const full = run.renderUrls.filter((url) => url.searchParams.get('width') === '240').at(-1);
    check(sameCameraQuery(cameraQuery(full), wanted), `${what}: the last full render asked for ` +
          `${cameraText(cameraQuery(full))}, not ${cameraText(wanted)}`);
    await run.waitAddress(`${what}: the address does not hold ${cameraText(wanted)}`,
      new Function(`const p = new URLSearchParams(location.search);
                    return p.get('orbit') === ${JSON.stringify(wanted.orbit)} &&
                           p.get('zoom') === ${JSON.stringify(wanted.zoom)} &&
                           p.get('pan') === ${JSON.stringify(wanted.pan)};`));
    const line = await run.reproduceLine();
    checkCameraLine(line, wanted);
    const shown = await run.imageBytes();
    sameBytes(shown, await reproduce(line, options.command, path.join(folder, 'camera'), timeoutMs), what);
    return { line, shown };
  };

  // A drag right and up with the button held, coarse answers held back a while: coarse images
  // follow it, one render at a time and none cancelled, and nothing renders in full before the
  // button is let go, however long the pointer rests.
  await page.route(isCoarse, slowCoarse);
  const rendersAtDown = run.renderUrls.length;
  const failedBefore = run.failedRenders.length;
  await page.mouse.move(cx, cy);
  const dragStart = await page.evaluate(() => performance.now());
  await page.mouse.down();
  for (let step = 1; step <= 20; step++) {
    await page.mouse.move(cx + 45 * step / 20, cy - 18 * step / 20);
    await page.waitForTimeout(50);
  }
  await page.waitForTimeout(800);
  const dragEnd = await page.evaluate(() => performance.now());
  const duringDrag = run.renderUrls.slice(rendersAtDown);
  await page.mouse.up();
  const turned = { orbit: '45,18', zoom: null, pan: null };
  const shownDuring = await page.evaluate(([from, to]) =>
    window.__shown.filter((s) => s.at >= from && s.at <= to).map((s) => s.kind), [dragStart, dragEnd]);
  const widths = duringDrag.map((url) => url.searchParams.get('width')).join(', ') || 'no';
  check(duringDrag.length >= 2 && duringDrag.every(isCoarse),
        `during the drag the page asked for ${widths} wide renders, not coarse ones alone`);
  check(shownDuring.filter((kind) => kind === 'coarse').length >= 2,
        `the drag showed ${shownDuring.length} images (${shownDuring.join(', ') || 'none'}), ` +
        'not two coarse ones');
  const turnedImage = await checkImage(turned, 'after the drag');
  await page.unroute(isCoarse, slowCoarse);
  const coarse = run.renderUrls.slice(rendersAtDown).filter(isCoarse);
  check(sameCameraQuery(cameraQuery(coarse.at(-1)), turned),
        `the last coarse image is of ${cameraText(cameraQuery(coarse.at(-1)))}, not of the drag's end`);
  const cancelled = run.failedRenders.slice(failedBefore).filter(isCoarse);
  check(cancelled.length === 0, `${cancelled.length} coarse renders were cancelled by the drag`);
  check(!turnedImage.shown.equals(sceneImage), 'the orbit changed nothing in the image');
  check(!(await page.isDisabled('#reset-view')), 'Reset view is disabled with the camera turned');
  passed(`a drag of 45 px right and 18 px up orbits by 45,18 degrees (${duringDrag.length} coarse renders ` +
         `during it, none cancelled); the image is the Reproduce line's: ${turnedImage.line}`);

  // Three notches in and one out: 1.1 squared, one step of the history. The notches are sent in
  // one go: sent one by one, a busy machine may hold one back past the page's rest between runs.
  await page.evaluate(([x, y]) => {
    for (const deltaY of [-100, -100, -100, 100]) {
      document.getElementById('stage').dispatchEvent(new WheelEvent('wheel', {
        deltaY, deltaMode: 0, clientX: x, clientY: y, bubbles: true, cancelable: true }));
    }
  }, [cx, cy]);
  const zoomed = { orbit: '45,18', zoom: '1.21', pan: null };
  await checkImage(zoomed, 'after the wheel');
  await page.keyboard.press('Control+z');
  await run.waitAddress('Ctrl+Z does not take back the whole turn of the wheel',
    () => new URLSearchParams(location.search).get('zoom') === null &&
          new URLSearchParams(location.search).get('orbit') === '45,18');
  await page.keyboard.press('Control+Shift+z');
  await run.waitAddress('Ctrl+Shift+Z does not bring the zoom back',
    () => new URLSearchParams(location.search).get('zoom') === '1.21');
  passed('the wheel zooms by 1.1 a notch (three in, one out: zoom=1.21), undone and redone as one step');

  // Shift and a drag left and down, then the middle button and a drag right: the scene follows
  // the pointer, the camera goes the other way.
  await page.mouse.move(cx, cy);
  await page.keyboard.down('Shift');
  await page.mouse.down();
  await page.mouse.move(cx - 36, cy + 18, { steps: 6 });
  await page.mouse.up();
  await page.keyboard.up('Shift');
  await run.waitAddress('Shift and a drag did not pan by 0.2,0.1',
    () => new URLSearchParams(location.search).get('pan') === '0.2,0.1' &&
          new URLSearchParams(location.search).get('orbit') === '45,18');
  await page.mouse.move(cx, cy);
  await page.mouse.down({ button: 'middle' });
  await page.mouse.move(cx + 18, cy, { steps: 6 });
  await page.mouse.up({ button: 'middle' });
  const panned = { orbit: '45,18', zoom: '1.21', pan: '0.1,0.1' };
  const pannedImage = await checkImage(panned, 'after the pans');
  const sceneFile = new URL(await page.getAttribute('#download-scene', 'href'), page.url());
  check(sameCameraQuery(cameraQuery(sceneFile), panned),
        `the scene file is asked for with ${cameraText(cameraQuery(sceneFile))}, not the page's camera`);
  passed(`Shift+drag and the middle button pan (pan=0.1,0.1); the scene file link and the Reproduce line ` +
         `carry the camera: ${pannedImage.line}`);

  // The camera is in the address: a reload turns it the same way.
  const rendersBeforeReload = run.renderUrls.length;
  await page.goto(page.url());
  await waitControls(run, 'the reloaded page with a camera');
  await run.waitDone('the reloaded page with a camera');
  const firstAfter = run.renderUrls[rendersBeforeReload];
  check(firstAfter && sameCameraQuery(cameraQuery(firstAfter), panned),
        `the reloaded page's first render is not of the address's camera: ${firstAfter}`);
  check(await run.reproduceLine() === pannedImage.line,
        `after the reload the Reproduce line is ${await run.reproduceLine()}`);
  sameBytes(await run.imageBytes(), pannedImage.shown, 'after the reload with a camera');
  passed('the reloaded address brings back the camera and its image');

  // Reset view beside a pinned image: the live image is the scene's own view again, the pinned
  // one keeps its camera; Undo turns the camera back.
  await page.click('#pin');
  const rendersBeforeReset = run.renderUrls.length;
  await page.click('#reset-view');
  const reset = await checkImage(none, 'after Reset view');
  check(run.renderUrls.slice(rendersBeforeReset).every((url) => sameCameraQuery(cameraQuery(url), none)),
        'a render after Reset view still asked for a camera');
  check(reset.line === sceneLine, `after Reset view the Reproduce line is ${reset.line}, not ${sceneLine}`);
  sameBytes(reset.shown, sceneImage, 'after Reset view');
  sameBytes(await run.imageBytes('pinned-image'), pannedImage.shown, 'the pinned image after Reset view');
  check(await page.isDisabled('#reset-view'), 'Reset view stays enabled at the scene\'s own camera');
  await page.click('#undo');
  await checkImage(panned, 'Undo after Reset view');
  await page.click('#pin');
  passed('Reset view renders the scene\'s own view with no camera pairs, beside the pinned image; ' +
         'Undo turns back');

  // Another scene is seen from its own camera.
  const rendersBeforeSwitch = run.renderUrls.length;
  await page.selectOption('#scene', 'builtin');
  await run.waitDone('the built-in scene after the mesh scene\'s camera');
  const switched = run.renderUrls.slice(rendersBeforeSwitch);
  check(switched.length > 0 && switched.every((url) => sameCameraQuery(cameraQuery(url), none)),
        'the built-in scene was rendered with the mesh scene\'s camera');
  check(sameCameraQuery(cameraQuery(page.url()), none),
        `the built-in scene's address names a camera: ${page.url()}`);
  check(await page.isDisabled('#reset-view'), 'Reset view is enabled on the new scene');
  checkCameraLine(await run.reproduceLine(), none);
  passed('another scene opens at its own camera');
  return run.checkOneRender();
}

// serve --watch --no-token: a change of the scene's file renders again, the page's own values kept.
async function watchedScene(context, options, folder) {
  const watched = path.join(folder, 'watched');
  await mkdir(watched, { recursive: true });
  const file = path.join(watched, 'watched.json');
  await copyFile(path.join(repoScenes, 'box_on_plane.json'), file);
  const server = startServer(options.command, ['--watch', '--no-token', '--scenes', watched], options.timeout * 1000);
  try {
    const { address, token, line } = await server.address;
    check(!token && line.includes('(no token: any local program may drive it)'),
          `serve --no-token printed: ${line}`);
    const run = await openPage(context, `${address}?scene=watched.json&width=120`, options);
    await waitControls(run, 'the watched scene');
    await run.waitDone('the watched scene');
    check(await run.page.inputValue(number('samples')) === '12', 'the watched scene does not have 12 samples');
    await run.enter(number('distance'), '2');
    await run.waitDone('the watched scene at distance 2');
    const before = run.renderUrls.length;
    const text = (await readFile(file, 'utf8')).replace('"TONEMIX_SAMPLES": 12', '"TONEMIX_SAMPLES": 5');
    check(text.includes('"TONEMIX_SAMPLES": 5'), 'box_on_plane.json has no TONEMIX_SAMPLES of 12 to change');
    // Written beside it and renamed over it, so that the server never reads half a file.
    await writeFile(path.join(watched, 'next.tmp'), text);
    await rename(path.join(watched, 'next.tmp'), file);
    await run.waitFor('the page did not take the scene\'s new samples=5',
                      (selector) => document.querySelector(selector).value === '5', number('samples'));
    await run.waitDone('the watched scene after its change');
    check(run.renderUrls.length > before, 'the change of the scene file rendered nothing');
    check(await run.page.inputValue(number('distance')) === '2', 'the page lost its own distance=2');
    const line2 = await run.reproduceLine();
    check(!line2.includes('samples') && line2.includes('--set distance=2'),
          `after the change the Reproduce line is ${line2}`);
    passed('serve --watch: the changed scene file renders again, the page\'s distance=2 kept');
    check(run.errors.length === 0, `the page's script failed: ${run.errors.join('; ')}`);
    await run.page.close();
  } finally {
    await stopServer(server);
  }
}

async function main() {
  let options;
  try {
    options = parseArguments(process.argv.slice(2));
  } catch (error) {
    if (!(error instanceof UsageError)) throw error;
    console.error(`serve_page_test: ${error.message}\n${usage()}`);
    return 2;
  }
  const timeoutMs = options.timeout * 1000;
  const started = Date.now();
  let server = null, browser = null, folder = null, run = null;
  const stop = async () => {
    if (browser) await browser.close().catch(() => {});
    browser = null;
    await stopServer(server);
    if (folder) await rm(folder, { recursive: true, force: true }).catch(() => {});
  };
  let interrupted = null;
  const onSignal = (signal) => {
    interrupted = signal;
    stop().finally(() => process.exit(signal === 'SIGINT' ? 130 : 143));
  };
  process.once('SIGINT', onSignal);
  process.once('SIGTERM', onSignal);

  try {
    folder = await mkdtemp(path.join(tmpdir(), 'tonemix-serve-page-'));
    server = startServer(options.command, [], timeoutMs);
    const { address, port, token } = await server.address;
    passed(`serve answers at ${address}`);
    if (token) {
      // Only the page opened at the printed address drives the server.
      const refused = await fetch(`http://127.0.0.1:${port}/api/scenes`).then((r) => r.status, () => -1);
      check(refused === 403, `a request without the token was answered ${refused}, not 403`);
      passed('a request without the token is refused (403)');
    } else {
      throw new CheckFailed('serve printed no token in its address');
    }

    browser = await chromium.launch({
      executablePath: chromiumPath, args: ['--no-sandbox', '--disable-dev-shm-usage'],
      timeout: timeoutMs,
    });
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, deviceScaleFactor: 1 });
    context.setDefaultTimeout(timeoutMs);
    run = await openPage(context, address, options);

    await builtinScene(run, options, folder);
    await builtinValues(run, options, folder);
    await meshScene(run, options, folder);
    const rendered = await cameraView(run, options, folder);
    passed(`never more than one render in flight while the camera turned (${rendered} started)`);
    await watchedScene(context, options, folder);

    check(run.errors.length === 0, `the page's script failed: ${run.errors.join('; ')}`);
    passed('the page\'s script raised no error');
    console.log(`all checks passed in ${((Date.now() - started) / 1000).toFixed(1)} s`);
    return 0;
  } catch (error) {
    if (interrupted) {
      console.log(`stopped by ${interrupted}`);
      return 1;
    }
    if (!(error instanceof CheckFailed)) console.error(error);
    console.log(`FAILED: ${error.message}`);
    if (run && run.errors.length) console.log(`the page's script raised: ${run.errors.join('; ')}`);
    const unexpected = run ? run.consoleErrors.filter((text) => !/status of (409|404)/.test(text)) : [];
    if (unexpected.length) console.log(`the browser's console said: ${unexpected.slice(-5).join(' | ')}`);
    if (server && server.stderr.trim()) console.log(`serve's standard error: ${server.stderr.trim().slice(-1500)}`);
    return 1;
  } finally {
    await stop();
  }
}

process.exitCode = await main();
