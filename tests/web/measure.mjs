// Prints figures, never run by ctest: how long the page takes to its first frame in headless
// Chromium, and frames a second per scene there (SwiftShader) beside the native capture tool
// (llvmpipe), both on the virtual clock, so each draws as fast as it can. With "live", the page as
// a visitor has it instead (the browser's clock, its sound): the time from the click to the music
// heard, over several runs, and frames a second per scene, moved through by Space.
//   node measure.mjs SITE_DIR CAPTURE_EXE
//   node measure.mjs live SITE_DIR [RUNS]
import { spawnSync } from 'node:child_process';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { serve, watchSound } from './serve.mjs';

const [siteArg, captureArg] = process.argv.slice(2);
if (!siteArg || !captureArg) {
  console.error('usage: node measure.mjs SITE_DIR CAPTURE_EXE | node measure.mjs live SITE_DIR [RUNS]');
  process.exit(2);
}
if (siteArg === 'live') {
  await measureLive(path.resolve(captureArg), Number(process.argv[4]) || 5);
  process.exit(0);
}
const site = path.resolve(siteArg);
const capture = path.resolve(captureArg);
const fps = 30;
const span = 60;  // frames timed in each scene

// Where each scene starts: presses of Space every second frame from frame 20, then a settling time.
const scenes = [
  { name: 'titles', presses: 0, from: 40 },
  { name: 'glyph blur', presses: 5, from: 40 },
  { name: 'ring', presses: 7, from: 44 },
  { name: 'laser tube', presses: 15, from: 60 },
  { name: 'plasma', presses: 21, from: 72 },
  { name: 'credits', presses: 23, from: 76 },
];
// WEB_SCENES=ring,plasma measures only those.
if (process.env.WEB_SCENES)
  scenes.splice(0, scenes.length, ...scenes.filter((scene) => process.env.WEB_SCENES.split(',').includes(scene.name)));
const keysFor = (scene) => Array.from({ length: scene.presses }, (_, k) => `${20 + 2 * k}:space`);

// The quickest of three runs: the machine may be busy with other work.
function nativeSeconds(scene, frames) {
  return Math.min(nativeRun(scene, frames), nativeRun(scene, frames), nativeRun(scene, frames));
}

function nativeRun(scene, frames) {
  const keys = [...keysFor(scene), `${frames}:escape`].join(',');
  const start = process.hrtime.bigint();
  spawnSync(capture, ['--fps', String(fps), '--keys', keys, '--quiet'], { cwd: path.dirname(capture), timeout: 120000 });
  return Number(process.hrtime.bigint() - start) / 1e9;
}

const { server, port } = await serve(site);

const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'], protocolTimeout: 120000 });

// Swap times of one run, in ms from the page's navigation.
async function webRun(query, stopAt) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => {
    window.swapTimes = [];
    let module;
    Object.defineProperty(window, 'Module', {
      get: () => module,
      set: (value) => {
        module = value;
        module.onSwap = (frame) => { window.swapTimes[frame] = performance.now(); };
      },
    });
  });
  await page.goto(`http://127.0.0.1:${port}/index.html?${query}`);
  await page.waitForFunction((title) => document.title === title, { timeout: 120000 }, `frame ${stopAt}`);
  const times = await page.evaluate(() => window.swapTimes);
  await page.close();
  return times;
}

const first = [];
for (let k = 0; k < 3; ++k)
  first.push((await webRun(`fps=${fps}&stopAt=1`, 1))[0]);
console.log(`first frame on the canvas: ${first.map((ms) => (ms / 1000).toFixed(2)).join(', ')} s after navigation`);

console.log(`scene        Chromium (SwiftShader)  native (llvmpipe)   [frames/s, ${span} frames each]`);
for (const scene of scenes) {
  const last = scene.from + span;
  const times = await webRun(`fps=${fps}&keys=${keysFor(scene).join(',')}&stopAt=${last}`, last);
  const web = span / ((times[last - 1] - times[scene.from - 1]) / 1000);
  const native = span / (nativeSeconds(scene, last) - nativeSeconds(scene, scene.from));
  console.log(`${scene.name.padEnd(12)} ${web.toFixed(1).padStart(10)} ${native.toFixed(1).padStart(22)}`);
}
await browser.close();
server.kill();

// The live page, answered No at 640 x 480: per run, the click to the first sound out of the
// speakers (by the output timestamp) and to the first frame; then, in the last run, frames a
// second in each scene, reached by Space, over 3 s from 1 s after it became current.
async function measureLive(liveSite, runs) {
  const { server: liveServer, port: livePort } = await serve(liveSite);
  const liveBrowser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true, protocolTimeout: 120000,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'] });
  const look = (page) => page.evaluate(() => ({ order: Module._web_music_order(), steps: Module._web_frame_steps(),
    now: performance.now(), sound: window.firstSound, clicked: window.clickTime }));
  async function until(page, test, ms) {
    for (const limit = Date.now() + ms; Date.now() < limit; await new Promise((r) => setTimeout(r, 20))) {
      const now = await look(page);
      if (test(now))
        return now;
    }
    throw new Error('the page did not get there in time');
  }
  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  const sounds = [];
  const frames = [];
  let page;
  for (let run = 0; run < runs; ++run) {
    if (page)
      await page.close();
    page = await liveBrowser.newPage();
    await page.setViewport({ width: 640, height: 480 });
    await page.evaluateOnNewDocument(watchSound);
    await page.goto(`http://127.0.0.1:${livePort}/index.html`);
    await page.waitForSelector('#no', { visible: true, timeout: 60000 });
    await page.click('#no');
    const first = await until(page, (s) => s.steps > 0, 30000);
    const heard = await until(page, (s) => s.sound, 10000);
    sounds.push(heard.sound.afterClick);
    frames.push((first.now - first.clicked) / 1000);
  }
  const range = (list) => `${Math.min(...list).toFixed(2)} to ${Math.max(...list).toFixed(2)} s`;
  console.log(`click to the music heard: ${range(sounds)} over ${runs} runs (${sounds.map((t) => t.toFixed(2)).join(', ')})`);
  console.log(`click to the first frame: ${range(frames)}`);
  console.log('scene        frames/s (live, Chromium on SwiftShader, real clock and sound)');
  for (const scene of [['titles', 0], ['glyph blur', 5], ['ring', 7], ['laser tube', 15], ['plasma', 21], ['credits', 23]]) {
    for (let at = await look(page); at.order < scene[1];) {
      const before = at.order;
      await page.keyboard.press(' ');
      at = await until(page, (s) => s.order !== before, 10000);
    }
    await sleep(1000);
    const a = await look(page);
    await sleep(3000);
    const b = await look(page);
    console.log(`${scene[0].padEnd(12)} ${((b.steps - a.steps) / ((b.now - a.now) / 1000)).toFixed(1).padStart(8)}`);
  }
  await liveBrowser.close();
  liveServer.kill();
}
