// The web version in headless Chromium against the native capture: frame N of the page with
// ?fps=30&keys=...&stopAt=N and frame N of plomvardix-capture with the same keys, for a frame of
// every scene, PSNR at least 20 dB each. Then the page with data files missing or damaged on the
// server (the loader says so in the console, the run goes on), and the page without WebGL.
//   node frames.mjs SITE_DIR CAPTURE_EXE
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';
import { linkSite, serve } from './serve.mjs';

const [siteArg, captureArg] = process.argv.slice(2);
const capture = captureArg && path.resolve(captureArg);
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
const fps = 30;
const minimumPsnr = 20;

// Space moves the music one order on; pressed every second frame from frame 20 it reaches a
// scene's first order, and the frame is taken some way into the scene.
const scenes = [
  { name: 'loading bar', presses: 0, frame: 8 },
  { name: 'titles', presses: 0, frame: 100 },
  { name: 'glyph blur', presses: 5, frame: 73 },
  { name: 'ring', presses: 7, frame: 77 },
  { name: 'laser tube', presses: 15, frame: 93 },
  { name: 'plasma', presses: 21, frame: 105 },
  { name: 'credits', presses: 23, frame: 109 },
];

// WEB_SCENES=ring,plasma checks only those (while working on one).
if (process.env.WEB_SCENES)
  scenes.splice(0, scenes.length, ...scenes.filter((scene) => process.env.WEB_SCENES.split(',').includes(scene.name)));

let failures = 0;
const started = Date.now();
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
  if (!ok)
    failures += 1;
}

function fatal(what) {
  console.error(`FAIL ${what}`);
  process.exit(1);
}

// The whole test is bounded, whatever hangs.
setTimeout(() => fatal('the test took longer than 240 s'), 240000).unref();

if (!siteArg || !captureArg)
  fatal('usage: node frames.mjs SITE_DIR CAPTURE_EXE');
const site = path.resolve(siteArg);
if (!fs.existsSync(path.join(site, 'index.html')) || !fs.existsSync(path.join(site, 'plomvardix.wasm')))
  fatal(`no site in ${site}: build it with scripts/web`);

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plomvardix-web-'));

function keysFor(scene) {
  const items = [];
  for (let k = 0; k < scene.presses; ++k)
    items.push(`${20 + 2 * k}:space`);
  return items;
}

// --- the native frames --------------------------------------------------------------------
for (const scene of scenes) {
  scene.out = path.join(work, `native-${scene.frame}-${scene.presses}`);
  const keys = [...keysFor(scene), `${scene.frame + 1}:escape`].join(',');
  const run = spawnSync(capture, ['--fps', String(fps), '--keys', keys, '--frames', String(scene.frame),
    '--out', scene.out, '--quiet'], { cwd: path.dirname(capture), timeout: 60000, encoding: 'utf8' });
  const png = path.join(scene.out, String(scene.frame).padStart(6, '0') + '.png');
  if (run.status !== 0 || !fs.existsSync(png))
    fatal(`native capture of ${scene.name}: status ${run.status} ${run.error || ''} ${run.stderr}`);
  scene.png = png;
}

console.log(`native frames captured (${((Date.now() - started) / 1000).toFixed(1)} s)`);

// --- a site with one texture missing and one damaged, beside the real one -----------------
const root = path.join(work, 'root');
const broken = path.join(root, 'broken');
fs.mkdirSync(root);
fs.symlinkSync(site, path.join(root, 'site'));
linkSite(site, broken, ['k.tga.gz']);
const zub = path.join(broken, 'data', 'zub03.tga.gz');
const whole = zlib.gunzipSync(fs.readFileSync(zub));
fs.unlinkSync(zub);
fs.writeFileSync(zub, zlib.gzipSync(whole.subarray(0, whole.length >> 1)));

// --- the server and the browser -------------------------------------------------------------
const { server, port } = await serve(root).catch((error) => fatal(error.message));

const common = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--hide-scrollbars'];
async function launch(extra) {
  return puppeteer.launch({ executablePath: chromium, headless: true, args: [...common, ...extra],
    protocolTimeout: 60000, timeout: 30000 });
}

// Opens the page and waits for its title to say the frame is on the canvas; returns the console.
async function runPage(browser, url, frame) {
  const page = await browser.newPage();
  await page.setViewport({ width: 640, height: 480 });
  const lines = [];
  page.on('console', (message) => lines.push(message.text()));
  page.on('pageerror', (error) => lines.push(`page error: ${error.message}`));
  await page.goto(url, { timeout: 30000 });
  await page.waitForFunction((title) => document.title === title, { timeout: 90000, polling: 100 },
    `frame ${frame}`).catch(() => fatal(`${url} did not reach frame ${frame}; console:\n${lines.join('\n')}`));
  return { page, lines };
}

// PSNR of the canvas against a PNG, both read through a 2D canvas in the page.
async function psnrAgainst(page, pngPath, savePath) {
  const png = 'data:image/png;base64,' + fs.readFileSync(pngPath).toString('base64');
  const result = await page.evaluate(async (png) => {
    const scratch = document.createElement('canvas');
    scratch.width = 640;
    scratch.height = 480;
    const context = scratch.getContext('2d', { willReadFrequently: true });
    context.drawImage(document.getElementById('canvas'), 0, 0);
    const web = context.getImageData(0, 0, 640, 480).data;
    const saved = scratch.toDataURL('image/png');
    const image = new Image();
    image.src = png;
    await image.decode();
    context.drawImage(image, 0, 0);
    const native = context.getImageData(0, 0, 640, 480).data;
    let sum = 0;
    for (let i = 0; i < web.length; i += 4)
      for (let c = 0; c < 3; ++c)
        sum += (web[i + c] - native[i + c]) ** 2;
    const mse = sum / (640 * 480 * 3);
    return { psnr: mse === 0 ? 99 : 10 * Math.log10(255 * 255 / mse), saved };
  }, png);
  fs.writeFileSync(savePath, Buffer.from(result.saved.split(',')[1], 'base64'));
  return result.psnr;
}

const base = `http://127.0.0.1:${port}`;
let browser;
try {
  browser = await launch([]);
  for (const scene of scenes) {
    const keys = keysFor(scene).join(',');
    const url = `${base}/site/index.html?fps=${fps}&keys=${keys}&stopAt=${scene.frame}`;
    const { page } = await runPage(browser, url, scene.frame);
    const psnr = await psnrAgainst(page, scene.png, path.join(scene.out, 'web.png'));
    check(psnr >= minimumPsnr, `${scene.name}, frame ${scene.frame}: PSNR ${psnr.toFixed(1)} dB`);
    await page.close();
  }

  // Missing and damaged data: the loader's lines in the console, and the run goes on.
  const { page, lines } = await runPage(browser, `${base}/broken/index.html?fps=${fps}&stopAt=20`, 20);
  const text = lines.join('\n');
  check(/data\/k\.tga could not be fetched/.test(text), 'a missing file is named in the console');
  check(text.includes('Loading texture data/k.tga') && !text.includes('Loading texture data/k.tga-> ok'),
    'the loader reports the missing texture as not loaded');
  check(text.includes('Loading texture data/zub03.tga') && !text.includes('Loading texture data/zub03.tga-> ok'),
    'the loader reports the damaged texture as not loaded');
  check(text.includes('Loading texture data/minik.tga-> ok'), 'the other textures load');
  await page.close();
  await browser.close();

  // No WebGL: a sentence on the page instead of a blank canvas.
  browser = await launch(['--disable-webgl', '--disable-3d-apis']);
  const plain = await browser.newPage();
  await plain.goto(`${base}/site/index.html`, { timeout: 30000 });
  const sentence = await plain.waitForFunction(() => document.getElementById('message').textContent,
    { timeout: 20000 }).then((handle) => handle.jsonValue()).catch(() => '');
  check(/no WebGL/.test(sentence), `without WebGL the page says: "${sentence}"`);
} catch (error) {
  check(false, `the browser run: ${error.message}`);
} finally {
  if (browser)
    await browser.close().catch(() => {});
  server.kill();
}

if (failures === 0 && !process.env.WEB_FRAMES_KEEP)
  fs.rmSync(work, { recursive: true, force: true });
else
  console.log(`frames kept in ${work}`);
process.exit(failures === 0 ? 0 : 1);
