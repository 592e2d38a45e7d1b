// The page as a visitor uses it, with real (trusted) clicks and keys: Yes asks for full screen and
// starts the music, heard already during the demo's loading bar, its position moving with the
// AudioContext's clock (and standing while the context is suspended); Space moves one order on;
// Escape ends on the end screen, whose "play again" asks again; No plays in the page, scaled to fit;
// Space on to order 39 ends the demo by itself. A site without its module says so once in the
// console and runs on silent; a browser without Web Audio is told so.
// In headless Chromium by default; with "firefox", in Firefox ESR (on the X screen and sound
// server that page_firefox.sh gives it) up to the end by Escape.
//   node page.mjs SITE_DIR [firefox]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { linkSite, serve, watchSound } from './serve.mjs';

const firefox = process.argv[3] === 'firefox';
const engine = firefox ? 'Firefox' : 'Chromium';
const rate = 44100;
let failures = 0;
const started = Date.now();
const elapsed = () => `${((Date.now() - started) / 1000).toFixed(1)} s`;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${engine}: ${what} (${elapsed()})`);
  if (!ok)
    failures += 1;
}
function fatal(what) {
  console.error(`FAIL ${engine}: ${what} (${elapsed()})`);
  process.exit(1);
}
setTimeout(() => fatal('the test took longer than 180 s'), 180000).unref();

const site = path.resolve(process.argv[2] || '');
if (!fs.existsSync(path.join(site, 'index.html')) || !fs.existsSync(path.join(site, 'plomvardix.wasm')))
  fatal(`no site in ${site}: build it with scripts/web`);

// The site, and a copy of it without its module.
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plomvardix-page-'));
const root = path.join(work, 'root');
const silent = path.join(root, 'silent');
fs.mkdirSync(root);
fs.symlinkSync(site, path.join(root, 'site'));
linkSite(site, silent, ['glimo.it.gz']);

const { server, port } = await serve(root).catch((error) => fatal(error.message));
const base = `http://127.0.0.1:${port}`;

// Where the demo is: its music's order and row, frame steps run, the frame heard and the context's time.
const state = (page) => page.evaluate(() => {
  const context = Module.audioWeb && Module.audioWeb.context;
  return {
    order: Module._web_music_order(), row: Module._web_music_row(), steps: Module._web_frame_steps(),
    heard: Module._audio_web_frames_heard(), time: context ? context.currentTime : -1,
    running: !!context && context.state === 'running', sound: window.firstSound, started: window.contextRunning,
  };
});

// Polls `test` on the demo's state until it holds; null when it never does within `ms`.
async function until(page, test, ms) {
  const limit = Date.now() + ms;
  while (Date.now() < limit) {
    const now = await state(page).catch(() => null);
    if (now && test(now))
      return now;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return null;
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function endScreen(page) {
  return page.waitForSelector('#end:not([hidden])', { timeout: 20000 }).then(() => page.evaluate(() => ({
    text: document.getElementById('ending').textContent,
    canvasShown: document.getElementById('canvas').style.display !== 'none',
    button: document.getElementById('again').textContent,
  }))).catch(() => null);
}

async function open(browser, url, viewport) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  const lines = [];
  page.on('console', (message) => lines.push(message.text()));
  page.on('pageerror', (error) => lines.push(`page error: ${error.message}`));
  await page.evaluateOnNewDocument(watchSound);
  // Headless Chromium may not take full screen for real: what counts is that the canvas asked.
  await page.evaluateOnNewDocument(() => {
    window.fullscreenAsked = [];
    const request = Element.prototype.requestFullscreen;
    Element.prototype.requestFullscreen = function (...options) {
      window.fullscreenAsked.push(this.id);
      return request.apply(this, options);
    };
  });
  await page.goto(url, { timeout: 30000 });
  return { page, lines };
}

async function answer(page, button, lines) {
  await page.waitForSelector(`${button}:not([hidden])`, { visible: true, timeout: 60000 })
    .catch(() => fatal(`the question never came; console:\n${lines.join('\n')}`));
  const clicked = Date.now();
  await page.click(button);
  const first = await until(page, (s) => s.steps > 0, 30000);
  const shown = (Date.now() - clicked) / 1000;
  const playing = first && await until(page, (s) => s.running && (s.order > 0 || s.row > 0), 30000);
  if (!playing)
    fatal(`the music did not start after ${button}; console:\n${lines.join('\n')}`);
  return { shown, sound: playing.sound, started: playing.started };
}

// Firefox runs with a display (headless it finds no GL driver for WebGL here) and reaches the sound
// server from its own process, through PulseAudio: through the sandbox's audio remoting its context
// now and then never left "suspended" on the test's private server, or its page stopped answering.
const launch = () => firefox
  ? puppeteer.launch({ browser: 'firefox', executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
    headless: !process.env.DISPLAY, protocolTimeout: 60000, timeout: 30000,
    extraPrefsFirefox: { 'media.cubeb.sandbox': false, 'media.cubeb.backend': 'pulse' } })
  : puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
    protocolTimeout: 60000, timeout: 30000,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--hide-scrollbars'] });

// Space once, and the order it reached; null when the order did not change within 10 s.
async function space(page) {
  const before = await state(page);
  await page.keyboard.press(' ');
  return until(page, (s) => s.order !== before.order, 10000);
}

let browser;
try {
  browser = await launch();

  // --- Yes --------------------------------------------------------------------------------------
  const { page, lines } = await open(browser, `${base}/site/index.html`, { width: 800, height: 600 });
  const yes = await answer(page, '#yes', lines);
  // Natively the music plays from its load on, under the loading bar: so here, before the first
  // frame. Firefox's context now and then starts running on the sound server only after the
  // loading sequence (up to 1.5 s after the click); then the music is heard from its start.
  const late = firefox && yes.started && yes.started.steps > 0;
  check(!!yes.sound && (yes.sound.steps === 0 || late), `Yes: the music is heard ` +
    `${late ? `from the context's late start (${yes.started.afterClick.toFixed(2)} s after the click, frame ${yes.started.steps})` : 'during the loading bar'}` +
    ` ${yes.sound && yes.sound.afterClick.toFixed(2)} s after the click (the context running after ` +
    `${yes.started ? yes.started.afterClick.toFixed(2) : '?'} s), the first frame ${yes.shown.toFixed(2)} s after it`);
  // Where the browser takes full screen (headless Chromium 156 does), the canvas keeps its aspect.
  const full = await page.evaluate(() => ({ asked: window.fullscreenAsked,
    element: document.fullscreenElement && document.fullscreenElement.id,
    fit: getComputedStyle(document.getElementById('canvas')).objectFit }));
  check(full.asked.includes('canvas') && (!full.element || (full.element === 'canvas' && full.fit === 'contain')),
    `Yes asks full screen for the canvas (in full screen: ${full.element || 'no'}, object-fit ${full.fit})`);

  const a = await state(page);
  await sleep(1500);
  const b = await state(page);
  const ratio = (b.heard - a.heard) / rate / (b.time - a.time);
  check(b.time > a.time && ratio > 0.9 && ratio < 1.1,
    `the frame heard keeps the context's pace (${ratio.toFixed(3)} of it over ${(b.time - a.time).toFixed(2)} s)`);
  check(b.order * 1000 + b.row > a.order * 1000 + a.row, `the position advances (${a.order}.${a.row} to ${b.order}.${b.row})`);

  await page.evaluate(() => Module.audioWeb.context.suspend());
  // A frame drawn before the suspension may still be the last one reported.
  const suspended = await state(page);
  const held = await until(page, (s) => s.steps >= suspended.steps + 2, 10000) || suspended;
  await sleep(600);
  const still = await until(page, (s) => s.steps >= held.steps + 3, 10000) || held;
  check(still.steps > held.steps && still.order === held.order && still.row === held.row,
    `with the context suspended the frames go on and the position stands (${held.order}.${held.row}, ` +
    `${still.order}.${still.row} 0.6 s later)`);
  await page.evaluate(() => Module.audioWeb.context.resume());
  check(!!(await until(page, (s) => s.order * 1000 + s.row > held.order * 1000 + held.row, 10000)),
    'resumed, the position moves again');

  const before = await state(page);
  const after = await space(page);
  check(after && after.order === before.order + 1, `Space moves one order on (${before.order} to ${after && after.order})`);

  // Without a keyboard lock (Firefox has none) the browser keeps the first Escape in full screen
  // for itself: it leaves full screen, and the demo plays on in the page until the next one.
  const unlocked = await page.evaluate(() => !!document.fullscreenElement && !(navigator.keyboard && navigator.keyboard.lock));
  if (unlocked) {
    await page.keyboard.press('Escape');
    const inPage = await page.waitForFunction(() => !document.fullscreenElement,
      { timeout: 10000 }).then(() => sleep(300)).then(() => state(page)).catch(() => null);
    check(inPage && inPage.steps > before.steps && await page.evaluate(() => document.getElementById('end').hidden),
      'without a keyboard lock the first Escape only leaves full screen, and the demo plays on in the page');
  }
  await page.keyboard.press('Escape');
  const end = await endScreen(page);
  check(end && end.text === 'zub.plomvardix' && !end.canvasShown && end.button === 'play again',
    `Escape ends on the end screen ("${end && end.text}")`);
  check(await page.evaluate(() => !Module.audioWeb.context), 'the sound is closed at the end');
  if (firefox)
    throw null;  // the rest is the page's own, the same in any browser

  // --- play again, then No ----------------------------------------------------------------------
  lines.length = 0;
  await page.setViewport({ width: 1000, height: 500 });
  await Promise.all([page.waitForNavigation({ timeout: 30000 }), page.click('#again')]);
  await answer(page, '#no', lines);
  const fit = await page.evaluate(() => {
    const box = document.getElementById('canvas').getBoundingClientRect();
    return { width: box.width, height: box.height, asked: window.fullscreenAsked.length };
  });
  check(fit.asked === 0 && Math.abs(fit.height - 500) < 1 && Math.abs(fit.width - 500 * 4 / 3) < 1,
    `"play again" asks again; No plays in the page, scaled to fit (${fit.width.toFixed(0)} x ${fit.height.toFixed(0)})`);
  // Space up to order 38 (a press a frame, each from row 0, so the music itself never gets there
  // first), then once more: order 39 ends the demo.
  let at = await state(page);
  for (let k = at.order; k < 38 && at; ++k)
    at = await space(page);
  const ended = at && at.order === 38 && !(await page.evaluate(() => !document.getElementById('end').hidden)) &&
    await page.keyboard.press(' ').then(() => endScreen(page));
  check(!!ended && ended.text === 'zub.plomvardix' && !ended.canvasShown,
    `Space during order 38 reaches order 39, which ends on the end screen (${at && at.order}, "${ended && ended.text}")`);
  await page.close();

  // --- no module ----------------------------------------------------------------------------------
  const quiet = await open(browser, `${base}/silent/index.html`, { width: 640, height: 480 });
  await quiet.page.waitForSelector('#no', { visible: true, timeout: 60000 });
  await quiet.page.click('#no');
  const running = await until(quiet.page, (s) => s.steps > 30, 30000);
  const said = quiet.lines.filter((line) => line.includes('module data/glimo.it could not be loaded'));
  check(running && running.order === 0 && running.row === 0 && said.length === 1,
    `without its module one line says so and the demo runs on silent: "${said[0]}"`);
  await quiet.page.keyboard.press('Escape');
  check((await endScreen(quiet.page) || {}).text === 'zub.plomvardix', 'and Escape ends it');
  await quiet.page.close();

  // --- no Web Audio -------------------------------------------------------------------------------
  const deaf = await browser.newPage();
  await deaf.evaluateOnNewDocument(() => { delete window.AudioContext; delete window.webkitAudioContext; });
  await deaf.goto(`${base}/site/index.html`, { timeout: 30000 });
  const sentence = await deaf.evaluate(() => document.getElementById('message').textContent);
  check(/no Web Audio/.test(sentence), `without Web Audio the page says: "${sentence}"`);
} catch (error) {
  if (error !== null)
    check(false, `the browser run: ${error.message}`);
} finally {
  if (browser)
    await browser.close().catch(() => {});
  server.kill();
  fs.rmSync(work, { recursive: true, force: true });
}
process.exit(failures === 0 ? 0 : 1);
