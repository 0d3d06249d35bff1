// What the browser tests share: Debian's chromium, headless on SwiftShader, opening the show's page from a
// server of the test's own, with the tests' program (tesselune-web-test, with its hooks) in place of the
// show's. Paths come from scripts/web test:
//   TESSELUNE_WEB_SITE   the show's folder (build-web)
//   TESSELUNE_WEB_BUILD  emscripten's build folder, holding the tests' program
//   TESSELUNE_BUILD_DIR  the desktop build, holding the capture tool and track_tool
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { startServer } from '../../web/server.mjs';

const repo = fileURLToPath(new URL('../..', import.meta.url));
export const site = process.env.TESSELUNE_WEB_SITE ?? join(repo, 'build-web');
export const webBuild = process.env.TESSELUNE_WEB_BUILD ?? join(repo, 'build-emscripten');
export const desktopBuild = process.env.TESSELUNE_BUILD_DIR ?? join(repo, 'build');
export const TRACK = 'Resource/Glacierhorn.mp3';

// The scenes' class names in the order of the scene list, read from its rows as the build reads them.
export const SCENES = [...readFileSync(join(repo, 'shaders/scene_list.h'), 'utf8')
  .matchAll(/^ *X\(([A-Za-z0-9_]+),/gm)].map((row) => row[1]);

export const CHROMIUM_ARGS = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
  '--mute-audio'];

export async function launchBrowser() {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: CHROMIUM_ARGS,
  });
}

// A page of the show at width x height CSS pixels (device pixel ratio 1), on a touch screen with `touch`. `program`
// names the build's program served as tesselune.js and tesselune.wasm: the tests' own by default, or 'tesselune' for
// the show's. `files` maps more names to files served in their place; `root` is the folder served (the show's by
// default). `query` is the page's command line: by default every frame at the canvas's full size, as the desktop's
// stills are drawn. The page's errors fail the test through `errors`. With `running`, the browser is one that has been
// running a while, as a visitor's is: another tab has had a WebGL context, so its GPU process is up (a browser just
// launched starts it for the first context, which then waits for it).
export async function openShow({ width = 160, height = 90, touch = false, program = 'tesselune-web-test',
  files = {}, root = site, beforeLoad, query = '?scale=1', running = false } = {}) {
  const overrides = program === 'tesselune' ? { ...files } : {
    'tesselune.js': join(webBuild, `${program}.js`),
    'tesselune.wasm': join(webBuild, `${program}.wasm`),
    ...files,
  };
  const server = await startServer({ root, overrides });
  const browser = await launchBrowser();
  if (running) {
    const other = await browser.newPage();
    await other.evaluate(() => document.createElement('canvas').getContext('webgl2'));
  }
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.setViewport({ width, height, deviceScaleFactor: 1, hasTouch: touch, isMobile: touch });
  if (program !== 'tesselune') await page.evaluateOnNewDocument(defineTestDraw);
  if (beforeLoad) await beforeLoad(page);
  const url = `http://127.0.0.1:${server.address().port}/${query}`;
  const started = Date.now();
  await page.goto(url);
  return {
    page,
    url,
    errors,
    started,
    async close() {
      await browser.close();
      server.close();
    },
  };
}

// In the page of the tests' program: testDraw(scene, time, levels, width, height, rgba) draws a scene by its
// name through the hook (rgba: a pointer to width x height pixels, or 0), and throws for a name of no scene.
function defineTestDraw() {
  window.testDraw = (scene, time, [low, middle, high], width, height, rgba) => {
    const bytes = new TextEncoder().encode(`${scene}\0`);
    const name = Module._malloc(bytes.length);
    Module.HEAPU8.set(bytes, name);
    const drawn = Module._tesselune_test_draw(name, time, low, middle, high, width, height, rgba);
    Module._free(name);
    if (!drawn) throw new Error(`no scene ${scene}`);
  };
}

// Waits until the page's state (body data-state) is one of `states`; returns it.
export async function waitForState(page, states, timeout = 60000) {
  await page.waitForFunction((wanted) => wanted.includes(document.body.dataset.state), { timeout }, states);
  return page.evaluate(() => document.body.dataset.state);
}

// A scene drawn by the hook at the canvas's size: RGB rows, top row first, as a PNG reads.
export async function drawInBrowser(page, scene, time, levels) {
  const rgba = await page.evaluate((name, t, levels) => {
    const width = Module.canvas.width, height = Module.canvas.height;
    const pointer = Module._malloc(width * height * 4);
    testDraw(name, t, levels, width, height, pointer);
    const pixels = Array.from(Module.HEAPU8.subarray(pointer, pointer + width * height * 4));
    Module._free(pointer);
    return { width, height, pixels };
  }, scene, time, levels);
  const { width, height, pixels } = rgba;
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const from = ((height - 1 - y) * width + x) * 4, to = (y * width + x) * 3;
      rgb[to] = pixels[from];
      rgb[to + 1] = pixels[from + 1];
      rgb[to + 2] = pixels[from + 2];
    }
  }
  return { width, height, rgb };
}

// The desktop capture tool's still of the same scene, time and levels, as RGB rows, top row first.
export function desktopStill(scene, time, levels, width, height, directory) {
  const png = join(directory, `${scene}-${time}.png`);
  execFileSync(join(desktopBuild, 'tesselune-capture'), ['still', '--scene', scene, '--time', String(time),
    '--levels', levels.join(','), '--size', `${width}x${height}`, '--output', png], { stdio: 'pipe' });
  return execFileSync('convert', [png, '-depth', '8', 'rgb:-'], { maxBuffer: 1 << 26 });
}

// How far two RGB pictures of width x height are apart: the mean absolute difference of their channels
// (0 to 255), and the same of their means over blocks of 10 x 10 pixels, which is what the eye compares in
// the scenes whose fine grain is chaotic (a long iteration or a running random value: a last-bit difference
// between two renderers moves every grain, not the picture).
export function difference(a, b, width, height) {
  if (a.length !== b.length || a.length !== width * height * 3) {
    throw new Error(`pictures of ${a.length} and ${b.length} bytes, ${width}x${height} expected`);
  }
  const BLOCK = 10;
  const blocksX = Math.ceil(width / BLOCK), blocksY = Math.ceil(height / BLOCK);
  const blockSums = new Float64Array(blocksX * blocksY * 3), blockCounts = new Float64Array(blocksX * blocksY);
  let sum = 0;
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const i = (y * width + x) * 3, block = Math.floor(y / BLOCK) * blocksX + Math.floor(x / BLOCK);
      blockCounts[block] += 1;
      for (let c = 0; c < 3; ++c) {
        sum += Math.abs(a[i + c] - b[i + c]);
        blockSums[block * 3 + c] += a[i + c] - b[i + c];
      }
    }
  }
  let blockSum = 0;
  for (let block = 0; block < blockCounts.length; ++block) {
    for (let c = 0; c < 3; ++c) blockSum += Math.abs(blockSums[block * 3 + c] / blockCounts[block]);
  }
  return { mean: sum / a.length, blockMean: blockSum / (blockCounts.length * 3) };
}
