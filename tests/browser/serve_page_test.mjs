// Drives the page of `tonemix-host serve` in Chromium as a user would, and checks that the image it
// shows is, byte for byte, the image its Reproduce line writes when run as a command.
//
//     node serve_page_test.mjs [--screenshot PATH] [--timeout S] [--page FILE] [--] PROGRAM [ARG...]
//     TONEMIX_HOST_COMMAND="qemu-i386-static build/linux-i686/tonemix-host" node serve_page_test.mjs
//
// PROGRAM [ARG...] (or TONEMIX_HOST_COMMAND, split on spaces) runs tonemix-host: the program
// itself, or an emulator and the program; a relative path is taken from the folder the test is
// started in. The test starts `serve --port 0` with it, and runs the page's Reproduce line with
// it in place of `tonemix-host`. --screenshot PATH also saves the page at 1280x800 with the
// built-in scene at 640 wide, for the documentation. --timeout S bounds each wait (default 120 s:
// the program may run emulated, ten times slower). --page FILE shows FILE in place of the page
// the program carries, to try a change of serve_page.html without a rebuild.
//
// One line per check passed; exit 0 when all passed, 1 at the first that failed (with what was
// seen), 2 for a bad command line. The server and the browser are ended in every case.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { mkdtemp, readFile, rm, writeFile, mkdir } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import process from 'node:process';
import { chromium } from 'playwright-core';

const chromiumPath = process.env.TONEMIX_CHROMIUM || '/usr/bin/chromium';

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

// Starts `COMMAND serve --port 0` in a process group of its own, so that all of it can be ended,
// and answers its address from its first line.
function startServer(command, timeoutMs) {
  const child = spawn(command[0], [...command.slice(1), 'serve', '--port', '0'],
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
      const match = /^serving (http:\/\/127\.0\.0\.1:([0-9]+)\/); Ctrl-C stops$/.exec(line);
      if (match) resolve(match[1]);
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

function run(command, cwd, timeoutMs) {
  return new Promise((resolve) => {
    const child = spawn(command[0], command.slice(1), { cwd, stdio: ['ignore', 'pipe', 'pipe'] });
    let stderr = '';
    child.stderr.on('data', (data) => { stderr += data; });
    child.stdout.resume();
    const timer = setTimeout(() => child.kill('SIGKILL'), timeoutMs);
    child.on('error', (error) => { clearTimeout(timer); resolve({ status: -1, stderr: error.message }); });
    child.on('close', (status, signal) => { clearTimeout(timer); resolve({ status: status ?? signal, stderr }); });
  });
}

// The file the Reproduce line writes, run in a folder of its own.
async function reproduce(line, program, folder, timeoutMs) {
  const words = shellWords(line);
  check(words[0] === 'tonemix-host', `the Reproduce line does not start with tonemix-host: ${line}`);
  const output = words.length >= 2 && words[words.length - 2] === '-o' ? words[words.length - 1] : null;
  check(output === 'tonemix.png', `the Reproduce line does not end in -o tonemix.png: ${line}`);
  await rm(folder, { recursive: true, force: true });
  await mkdir(folder, { recursive: true });
  const result = await run([...program, ...words.slice(1)], folder, timeoutMs);
  check(result.status === 0, `the Reproduce line failed (exit ${result.status}): ${result.stderr.trim()}`);
  return readFile(path.join(folder, output));
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

// --- the page ----------------------------------------------------------------------------------

// Counts, inside the page, the render and sheet requests that are in flight and not aborted when
// another starts: the page must never have two.
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
  let server = null, browser = null, folder = null;
  const pageErrors = [];
  const consoleErrors = [];
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
    server = startServer(options.command, timeoutMs);
    const address = await server.address;
    passed(`serve answers at ${address}`);

    browser = await chromium.launch({
      executablePath: chromiumPath, args: ['--no-sandbox', '--disable-dev-shm-usage'],
      timeout: timeoutMs,
    });
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, deviceScaleFactor: 1 });
    context.setDefaultTimeout(timeoutMs);
    const page = await context.newPage();
    page.on('pageerror', (error) => pageErrors.push(error.message));
    page.on('console', (message) => { if (message.type() === 'error') consoleErrors.push(message.text()); });
    const renderUrls = [];
    page.on('request', (request) => {
      if (/\/api\/render\?/.test(request.url())) renderUrls.push(new URL(request.url()));
    });
    await page.addInitScript(watchRenders);
    if (options.page) {
      const html = await readFile(options.page);
      await page.route((url) => url.pathname === '/', (route) =>
        route.fulfill({ status: 200, contentType: 'text/html; charset=utf-8', body: html }));
    }
    await page.goto(address);

    const state = () => page.evaluate(() => document.body.dataset.state);
    const status = () => page.evaluate(() => document.getElementById('status').textContent);
    // Waits for the full image after a change; an error state fails at once with the status line.
    const waitDone = async (what) => {
      try {
        await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state),
                                   null, { timeout: timeoutMs, polling: 50 });
      } catch (error) {
        throw new CheckFailed(`${what}: no image within ${options.timeout} s (state ${await state()}, ` +
                              `status "${await status()}")`);
      }
      check((await state()) === 'done', `${what}: the page says "${await status()}"`);
    };
    const reproduceLine = () => page.evaluate(() => document.getElementById('reproduce').textContent.trim());
    const shownImage = async () => Buffer.from(await page.evaluate(async () => {
      const response = await fetch(document.getElementById('image').src);
      const bytes = new Uint8Array(await response.arrayBuffer());
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return btoa(text);
    }), 'base64');
    const enter = async (selector, value) => {
      await page.fill(selector, value);
      await page.press(selector, 'Enter');
    };
    const number = (name) => `[data-parameter="${name}"][data-role="number"]`;

    // The built-in scene (640 x 360) at 160 wide: its shape makes 90 high. The first render
    // (at 640) may still be running, and is replaced.
    await page.waitForFunction(
      (selector) => document.querySelector(selector) || document.body.dataset.state === 'error',
      number('samples'), { polling: 50 })
      .catch(() => { throw new CheckFailed(`the page built no controls in ${options.timeout} s`); });
    check((await state()) !== 'error', `the page says "${await status()}"`);
    await enter('#width', '160');
    const height = await page.inputValue('#height');
    check(height === '90', `160 wide gave ${height} high, not 90`);
    await waitDone('the first image');
    const first = pngSize(await shownImage());
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

    // A drag along the samples slider: every step replaces the render before it.
    const slider = await page.$('[data-parameter="samples"][data-role="slider"]');
    check(slider, 'samples has no slider');
    const box = await slider.boundingBox();
    const y = box.y + box.height / 2;
    await page.mouse.move(box.x + box.width * 0.2, y);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.7, y, { steps: 12 });
    await page.mouse.up();

    // The values typed, each committed with Enter.
    await enter(number('samples'), '4');
    await enter(number('distance'), '0.5');
    await waitDone('the image after samples=4 and distance=0.5');
    const line = await reproduceLine();
    // Only what differs from the scene's own values: the size, samples and distance (mode is back
    // at the scene's 0, and pixel samples at 1).
    const expected = new RegExp('^tonemix-host render --width 160 --height 90 ' +
      '(--set samples=4 --set distance=0\\.5|--set distance=0\\.5 --set samples=4) -o tonemix\\.png$');
    check(expected.test(line),
          `the Reproduce line is not the render at 160x90 with samples=4 and distance=0.5 alone: ${line}`);
    passed(`the Reproduce line names only what changed: ${line}`);

    const last = renderUrls.slice(-2).map((url) => url.searchParams);
    check(last.length === 2 && last[0].get('width') === '20' && last[0].get('height') === '11' &&
          last[0].get('pixel-samples') === '1' && last[1].get('width') === '160' &&
          last[1].get('height') === '90',
          `the last change was not rendered at 20x11 and then at 160x90: ${renderUrls.slice(-2).join(' ')}`);
    passed('a change is rendered at 1/8 of the size first, then in full');

    const shown = await shownImage();
    const written = await reproduce(line, options.command, path.join(folder, 'exposure-0'), timeoutMs);
    check(pngSize(written)?.width === 160 && pngSize(written)?.height === 90, 'the command wrote no 160x90 PNG');
    check(shown.equals(written),
          `the image shown (${shown.length} bytes) differs from the command's (${written.length} bytes) ` +
          `from byte ${firstDifference(shown, written)}`);
    passed(`the image shown is byte for byte what the Reproduce line writes (${written.length} bytes)`);

    // Exposure encodes the same render again; nothing is rendered.
    const rendersBefore = renderUrls.length;
    await enter('#exposure', '1.5');
    await page.waitForFunction(() => document.getElementById('reproduce').textContent.includes('--exposure'), null,
                               { polling: 50 })
      .catch(() => { throw new CheckFailed('the Reproduce line does not take the exposure'); });
    await waitDone('the image at exposure 1.5');
    const exposedLine = await reproduceLine();
    check(exposedLine === line.replace(/ -o tonemix\.png$/, ' --exposure 1.5 -o tonemix.png'),
          `at exposure 1.5 the Reproduce line is: ${exposedLine}`);
    check(renderUrls.length === rendersBefore, 'a new exposure rendered again');
    const exposedShown = await shownImage();
    const exposedWritten = await reproduce(exposedLine, options.command, path.join(folder, 'exposure-1.5'),
                                           timeoutMs);
    check(!exposedWritten.equals(written), 'the exposure changed nothing in the image');
    check(exposedShown.equals(exposedWritten),
          'at exposure 1.5 the image shown differs from the command\'s from byte ' +
          firstDifference(exposedShown, exposedWritten));
    passed('at exposure 1.5 the image shown is the Reproduce line\'s, with no new render');

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
    await enter('#exposure', '2');
    await page.waitForFunction(() => document.body.dataset.state === 'rendering', null, { polling: 20 });
    await enter('#width', '120');
    await waitDone('the image at 120 wide');
    check(held, 'the page asked for no image at exposure 2');
    await held.continue().catch(() => {});
    await heldEnded;
    await page.waitForTimeout(300);
    const latest = pngSize(await shownImage());
    check(latest && latest.width === 120,
          `a re-encode that came late replaced the newer render: ${latest ? latest.width : 'no'} wide is shown`);
    passed('an exposure\'s image that comes after a newer render does not replace it');

    const renders = await page.evaluate(() => window.__renders);
    check(renders.most === 1, `the page had ${renders.most} renders in flight at once`);
    passed(`never more than one render in flight (${renders.started} started)`);

    if (options.screenshot) {
      await enter('#exposure', '0');
      await waitDone('the image at exposure 0');
      await enter('#width', '640');
      await waitDone('the image at 640 wide');
      // No focus ring, caret or hover in the picture.
      await page.evaluate(() => document.activeElement && document.activeElement.blur());
      await page.mouse.move(640, 790);
      await mkdir(path.dirname(options.screenshot), { recursive: true });
      const picture = await page.screenshot({ type: 'png', animations: 'disabled', caret: 'hide' });
      await writeFile(options.screenshot, picture);
      passed(`saved the page at 1280x800 in ${options.screenshot}`);
    }

    check(pageErrors.length === 0, `the page's script failed: ${pageErrors.join('; ')}`);
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
    if (pageErrors.length) console.log(`the page's script raised: ${pageErrors.join('; ')}`);
    const unexpected = consoleErrors.filter((text) => !/status of 409/.test(text));
    if (unexpected.length) console.log(`the browser's console said: ${unexpected.slice(-5).join(' | ')}`);
    if (server && server.stderr.trim()) console.log(`serve's standard error: ${server.stderr.trim().slice(-1500)}`);
    return 1;
  } finally {
    await stop();
  }
}

process.exitCode = await main();
