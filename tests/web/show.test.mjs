// The show in the browser as a viewer meets it: the track the page decodes, the music clock, the schedule,
// the ways the show starts and ends, and the messages of a browser or a server that cannot play it.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { desktopBuild, launchBrowser, openShow, site, TRACK, waitForState } from './harness.mjs';

// The music time as the show reads it, with the audio context's own times, in one step of the page.
function clocks(page) {
  return page.evaluate(() => ({
    music: Module._tesselune_test_music_time(),
    context: Module.audio.context.currentTime,
    output: Module.audio.context.getOutputTimestamp(),
  }));
}

async function start(page) {
  await page.click('#start-button');
  assert.equal(await waitForState(page, ['running', 'failed']), 'running');
}

// The whole track decoded, before the music is moved far ahead.
function decoded(page) {
  return page.evaluate((path) => Module.audio.tracks.get(path).whole, TRACK);
}

// The show ends: the closing card shown, exit code 0, the audio closed, and no error on the page.
async function endsCleanly(show) {
  assert.equal(await waitForState(show.page, ['ended', 'failed'], 15000), 'ended');
  const card = await show.page.evaluate(() => ({
    exit: document.body.dataset.exit,
    shown: !document.getElementById('end').hidden,
    audio: Module.audio.context.state,
  }));
  assert.deepEqual(card, { exit: '0', shown: true, audio: 'closed' });
  assert.deepEqual(show.errors, []);
}

describe('a running show', () => {
  let show;
  let work;
  before(async () => {
    work = mkdtempSync(join(tmpdir(), 'tesselune-web-'));
    execFileSync(join(desktopBuild, 'tests', 'track_tool'), ['decode', join(site, TRACK), join(work, 'desktop.f32')]);
    show = await openShow({ files: { 'desktop.f32': join(work, 'desktop.f32') } });
    assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
  });
  after(async () => {
    await show?.close();
    rmSync(work, { recursive: true, force: true });
  });

  test('the page decodes the track in pieces, joined to the desktop decoding within 1e-4, as far as the show plays',
    async () => {
      const desktopFrames = statSync(join(work, 'desktop.f32')).size / 8;
      const result = await show.page.evaluate(async (path) => {
        const desktop = new Float32Array(await (await fetch('desktop.f32')).arrayBuffer());
        const track = Module.audio.tracks.get(path);
        track.decodeRest(); // as the start does
        await track.whole;
        const joined = new Float32Array(track.frames * 2);
        track.read(0, track.frames, joined, 0);
        let worst = 0;
        for (let i = 0; i < joined.length; ++i) worst = Math.max(worst, Math.abs(joined[i] - desktop[i]));
        // The pieces as the page plays them, rendered offline: the joins are heard without a gap or a click.
        const frames = track.pieces[2].first + 1000;
        const offline = new OfflineAudioContext(2, frames, 44100);
        const channel = { base: 0, nodes: new Set() };
        for (const piece of track.pieces.slice(0, 3)) Module.audio.schedule.call({ context: offline }, channel, piece);
        const played = await offline.startRendering();
        let worstPlayed = 0;
        for (let c = 0; c < 2; ++c) {
          const samples = played.getChannelData(c);
          for (let i = 0; i < frames; ++i) {
            worstPlayed = Math.max(worstPlayed, Math.abs(samples[i] - joined[i * 2 + c]));
          }
        }
        return { frames: track.frames, channels: track.channels, rate: track.rate, pieces: track.pieces.length,
          worst, worstPlayed, shown: Module._tesselune_test_show_frames() };
      }, TRACK);
      assert.deepEqual([result.frames, result.channels, result.rate],
        [Math.min(desktopFrames, result.shown), 2, 44100]);
      assert.ok(result.pieces >= 30, `${result.pieces} pieces`);
      assert.ok(result.worst <= 1e-4, `largest difference ${result.worst}`);
      assert.ok(result.worstPlayed <= 1e-6, `largest difference as played ${result.worstPlayed}`);
    });

  test('before the start the music waits at 0; Enter on the start button starts it; the clock follows the output',
    async () => {
      assert.equal((await clocks(show.page)).music, 0);
      assert.equal(await show.page.evaluate(() => document.activeElement.id), 'start-button');
      await show.page.keyboard.press('Enter');
      assert.equal(await waitForState(show.page, ['running', 'failed']), 'running');
      const first = await clocks(show.page);
      await show.page.waitForFunction((t) => Module.audio.context.currentTime > t + 1, { timeout: 10000 },
        first.context);
      const second = await clocks(show.page);
      const music = second.music - first.music, context = second.context - first.context;
      assert.ok(Math.abs(music - context) < 0.05, `music moved ${music} s while the context moved ${context} s`);
      // The position heard: what the output played last, carried on by at most 0.1 s, and nothing the
      // context has not rendered.
      const { contextTime } = second.output;
      assert.ok(second.music > contextTime - 0.001 && second.music < contextTime + 0.11,
        `music ${second.music}, output ${contextTime}`);
      assert.ok(second.music <= second.context, `music ${second.music}, context ${second.context}`);
    });

  test('the schedule turns from Scene2 to Scene7 at its first threshold', async () => {
    // With the context suspended the music time stands still, so that a frame of the show can be drawn
    // again through the hook with the same time and levels. Frame 235200 is at 5.333333333333333 s, just
    // below the threshold 5.333333333333334 s; frame 235201 is past it.
    await show.page.evaluate(() => Module.audio.context.suspend());
    for (const [frame, shown, other] of [[235200, 'Scene2', 'Scene7'], [235201, 'Scene7', 'Scene2']]) {
      const result = await show.page.evaluate((seconds, scenes) => {
        Module._tesselune_test_seek(seconds);
        const time = Module._tesselune_test_music_time();
        const width = Module.canvas.width, height = Module.canvas.height, size = width * height * 4;
        const pointer = Module._malloc(size * 3 + 12);
        Module._tesselune_test_levels(pointer + size * 3);
        const levels = Array.from(Module.HEAPF32.subarray((pointer + size * 3) >> 2, ((pointer + size * 3) >> 2) + 3));
        Module._tesselune_test_show_frame(pointer);
        testDraw(scenes[0], time, levels, width, height, pointer + size);
        testDraw(scenes[1], time, levels, width, height, pointer + size * 2);
        const frame = Module.HEAPU8.subarray(pointer, pointer + size);
        const differs = (offset) => frame.some((value, i) => value !== Module.HEAPU8[pointer + offset + i]);
        const result = { time, shown: !differs(size), other: !differs(size * 2) };
        Module._free(pointer);
        return result;
      }, frame / 44100, [shown, other]);
      assert.equal(result.time, frame / 44100);
      assert.deepEqual({ shown: result.shown, other: result.other }, { shown: true, other: false },
        `frame ${frame}, ${result.time} s: expected ${shown}`);
    }
    await show.page.evaluate(() => Module.audio.context.resume());
  });

  test('the clock steps at every animation frame with the page\'s clock, smoothly, never back', async () => {
    const samples = await show.page.evaluate(() => new Promise((done) => {
      const taken = [];
      const sample = () => {
        taken.push({ music: Module._tesselune_test_music_time(), page: performance.now() / 1000 });
        if (taken.length < 90) requestAnimationFrame(sample);
        else done(taken);
      };
      requestAnimationFrame(sample);
    }));
    const off = [];
    for (let i = 1; i < samples.length; ++i) {
      const step = samples[i].music - samples[i - 1].music;
      assert.ok(step > 0, `frame ${i}: ${samples[i].music} after ${samples[i - 1].music}`);
      // How far each step of the music is from the step of the page's clock, however uneven the frames.
      off.push(Math.abs(step - (samples[i].page - samples[i - 1].page)));
    }
    off.sort((a, b) => a - b);
    const typical = off[Math.floor(off.length / 2)], most = off[Math.floor(off.length * 0.9)];
    assert.ok(typical < 0.0005 && most < 0.002,
      `steps off the page's by ${typical * 1000} ms (median), ${most * 1000} ms (90 %)`);
  });

  test('the end of the music ends the show with the closing card', async () => {
    await decoded(show.page);
    await show.page.evaluate(() => Module._tesselune_test_seek(206.7));
    await endsCleanly(show);
  });
});

test('a tab hidden for minutes draws nothing, then draws again at the music\'s time and still ends with the music',
  async () => {
    // Each draw of the page's WebGL records the music time the show reads then. Another tab brought to the
    // front hides the show's, which stops its animation frames as any hidden tab's; the music is moved on
    // through the hook meanwhile.
    const show = await openShow({
      beforeLoad: (page) => page.evaluateOnNewDocument(() => {
        window.draws = [];
        const drawArrays = WebGL2RenderingContext.prototype.drawArrays;
        WebGL2RenderingContext.prototype.drawArrays = function (...args) {
          window.draws.push(Module._tesselune_test_music_time?.());
          return drawArrays.apply(this, args);
        };
      }),
    });
    const drawn = () => show.page.evaluate(() => ({ count: draws.length, music: Module._tesselune_test_music_time() }));
    const hide = async () => {
      const other = await show.page.browser().newPage();
      await other.bringToFront();
      assert.equal(await show.page.evaluate(() => document.visibilityState), 'hidden');
      return other;
    };
    try {
      assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
      await start(show.page);
      await decoded(show.page);
      await show.page.waitForFunction(() => draws.length > 0);
      let other = await hide();
      const hidden = await drawn();
      // Three minutes on, while hidden.
      await show.page.evaluate((seconds) => Module._tesselune_test_seek(seconds), hidden.music + 180);
      const moved = await drawn();
      assert.equal(moved.count, hidden.count, 'no frame drawn while hidden');
      assert.ok(moved.music >= hidden.music + 180, `music at ${moved.music} s after ${hidden.music} s`);
      await show.page.bringToFront();
      await other.close();
      await show.page.waitForFunction((count) => draws.length >= count + 10, { timeout: 15000 }, moved.count);
      const after = await show.page.evaluate((count) => draws.slice(count), moved.count);
      const now = await drawn();
      assert.ok(after[0] >= moved.music && after.at(-1) <= now.music,
        `frames at ${after[0]} to ${after.at(-1)} s, music from ${moved.music} to ${now.music} s`);
      assert.ok(after.every((music, i) => i === 0 || music >= after[i - 1]), 'frames in the music\'s order');
      assert.equal(await show.page.evaluate(() => document.body.dataset.state), 'running');
      // Hidden again as the music passes the show's end: shown, the show ends at once.
      other = await hide();
      await show.page.evaluate(() => Module._tesselune_test_seek(206.9));
      await show.page.bringToFront();
      await other.close();
      await endsCleanly(show);
    } finally {
      await show.close();
    }
  });

test('the canvas follows the page; F and a double-click toggle full screen; Escape ends the show', async () => {
  const show = await openShow();
  const fullScreen = (on) => show.page.waitForFunction((wanted) => Boolean(document.fullscreenElement) === wanted,
    { timeout: 5000 }, on);
  try {
    assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
    await start(show.page);
    await show.page.setViewport({ width: 200, height: 120, deviceScaleFactor: 1 });
    await show.page.waitForFunction(() => Module.canvas.width === 200 && Module.canvas.height === 120,
      { timeout: 5000 });
    await show.page.keyboard.press('f');
    await fullScreen(true);
    await show.page.click('#canvas', { count: 2 });
    await fullScreen(false);
    await show.page.keyboard.press('Escape');
    await endsCleanly(show);
  } finally {
    await show.close();
  }
});

test('keys and a tap before the start do nothing; on a touch screen the hints say tap; Space starts', async () => {
  // The track is held back, so that the page is still loading while the visitor presses keys and taps.
  let release;
  const held = new Promise((resolve) => { release = resolve; });
  const show = await openShow({
    width: 360,
    height: 640,
    touch: true,
    beforeLoad: async (page) => {
      await page.setRequestInterception(true);
      page.on('request', (request) => (request.url().endsWith(TRACK) ? held.then(() => request.continue())
        : request.continue()));
    },
  });
  const state = () => show.page.evaluate(() => ({
    state: document.body.dataset.state,
    exit: document.body.dataset.exit ?? null,
    full: Boolean(document.fullscreenElement),
  }));
  try {
    // The program is there, waiting for the track.
    await show.page.waitForFunction(() => Module.preRun.length === 0);
    for (const key of ['Escape', 'Enter', 'f']) await show.page.keyboard.press(key);
    await show.page.touchscreen.tap(180, 320);
    release();
    assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
    const hints = await show.page.evaluate(() => [...document.querySelectorAll('#start-hints span')]
      .filter((hint) => getComputedStyle(hint).display !== 'none').map((hint) => hint.textContent));
    assert.deepEqual(hints, ['Tap to start · double-tap: full screen']);
    // Escape on the start card leaves the page as it is.
    await show.page.keyboard.press('Escape');
    assert.deepEqual(await state(), { state: 'ready', exit: null, full: false });
    await show.page.keyboard.press('Space');
    assert.equal(await waitForState(show.page, ['running', 'failed']), 'running');
    // The show runs on: no Escape from before the start is played back.
    await show.page.waitForFunction(() => Module._tesselune_test_music_time() > 0.3
      || document.body.dataset.state !== 'running', { timeout: 15000 });
    assert.deepEqual(await state(), { state: 'running', exit: null, full: false });
    await decoded(show.page); // the rest of the track, once the music has started
    await show.page.keyboard.press('Escape');
    assert.equal(await waitForState(show.page, ['ended', 'failed'], 15000), 'ended');
    assert.deepEqual(show.errors, []);
  } finally {
    release();
    await show.close();
  }
});

test('of a track longer than the show, the page downloads and decodes only what the show plays', async () => {
  // The track twice over (the second time without its first frame, the Info tag: 626 bytes at 192 kbit/s
  // and 44100 Hz), 7 minutes.
  const work = mkdtempSync(join(tmpdir(), 'tesselune-web-'));
  const bytes = readFileSync(join(site, TRACK));
  const FIRST_FRAME_BYTES = 626;
  assert.deepEqual([...bytes.subarray(FIRST_FRAME_BYTES, FIRST_FRAME_BYTES + 2)], [0xff, 0xfb]);
  const long = join(work, 'long.mp3');
  writeFileSync(long, Buffer.concat([bytes, bytes.subarray(FIRST_FRAME_BYTES)]));
  const show = await openShow({ files: { [TRACK]: long } });
  try {
    assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
    const track = await show.page.evaluate(async (path) => {
      const loaded = Module.audio.tracks.get(path);
      loaded.decodeRest(); // as the start does
      await loaded.whole;
      return { frames: loaded.frames, received: loaded.received, shown: Module._tesselune_test_show_frames() };
    }, TRACK);
    assert.equal(track.frames, track.shown);
    // The download stops with the chunk that holds the show's end.
    assert.ok(track.received < 1.5 * bytes.length, `${track.received} bytes of ${2 * bytes.length} downloaded`);
  } finally {
    await show.close();
    rmSync(work, { recursive: true, force: true });
  }
});

// How many scenes are built as the start card shows (window.atReady); with `startAtOnce`, the start button is
// clicked there and then (a click of the page's own, which starts the show but cannot start the sound).
function countScenes(page, startAtOnce = false) {
  return page.evaluateOnNewDocument((click) => {
    new MutationObserver(() => {
      if (document.body?.dataset.state !== 'ready' || window.atReady !== undefined) return;
      window.atReady = Module._tesselune_test_scenes_built();
      if (click) document.getElementById('start-button').click();
    }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-state'] });
  }, startAtOnce);
}

test('the start card comes with the first frame\'s scene built; the others are built, and the output opened, while '
  + 'it waits', async () => {
  const show = await openShow({ beforeLoad: (page) => countScenes(page) });
  try {
    assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
    assert.equal(await show.page.evaluate(() => window.atReady), 1);
    await show.page.waitForFunction(() => Module._tesselune_test_scenes_built() === 12, { timeout: 20000 });
    await show.page.waitForFunction(() => Module.audio.context?.state === 'suspended', { timeout: 20000 });
    assert.equal(await show.page.evaluate(() => document.body.dataset.state), 'ready');
    assert.equal((await clocks(show.page)).music, 0);
    assert.deepEqual(show.errors, []);
  } finally {
    await show.close();
  }
});

test('a start as soon as the card shows draws on, and the other scenes are built as the show runs', async () => {
  const show = await openShow({ beforeLoad: (page) => countScenes(page, true) });
  try {
    assert.equal(await waitForState(show.page, ['running', 'failed']), 'running');
    assert.equal(await show.page.evaluate(() => window.atReady), 1);
    await show.page.waitForFunction(() => Module._tesselune_test_scenes_built() === 12, { timeout: 20000 });
    // Frames go on being drawn.
    const drawn = () => show.page.evaluate(() => Module.canvas.toDataURL());
    await show.page.evaluate(() => Module._tesselune_test_seek(6));
    const first = await drawn();
    await show.page.evaluate(() => Module._tesselune_test_seek(60));
    await show.page.waitForFunction((before) => Module.canvas.toDataURL() !== before, { timeout: 20000 }, first);
    assert.equal(await show.page.evaluate(() => document.body.dataset.state), 'running');
    assert.deepEqual(show.errors, []);
  } finally {
    await show.close();
  }
});

test('a track whose tag says it is shorter than its frames is as short as its tag says, and ready', async () => {
  // The Info tag of the first frame (at byte 36, after the stereo side information) counts the frames: 20 of
  // them instead of 8041, under half a second of audio, less than the first piece would hold.
  const work = mkdtempSync(join(tmpdir(), 'tesselune-web-'));
  const bytes = Buffer.from(readFileSync(join(site, TRACK)));
  assert.equal(bytes.toString('latin1', 36, 40), 'Info');
  assert.ok(bytes.readUInt32BE(40) & 1, 'the tag counts the frames');
  bytes.writeUInt32BE(20, 44);
  const short = join(work, 'short.mp3');
  writeFileSync(short, bytes);
  const show = await openShow({ files: { [TRACK]: short } });
  try {
    assert.equal(await waitForState(show.page, ['ready', 'failed'], 20000), 'ready');
    const track = await show.page.evaluate(async (path) => {
      const loaded = Module.audio.tracks.get(path);
      await loaded.whole;
      return { frames: loaded.frames, complete: loaded.complete, skip: loaded.tag.skip, end: loaded.tag.end };
    }, TRACK);
    assert.equal(track.complete, true);
    assert.equal(track.frames, track.end - track.skip);
    assert.ok(track.frames > 0 && track.frames < 44100 / 2, `${track.frames} frames`);
    assert.deepEqual(show.errors, []);
  } finally {
    await show.close();
    rmSync(work, { recursive: true, force: true });
  }
});

test('"Reduce flashing" is ticked where the system asks for reduced motion, and chooses the gentle mode', async () => {
  for (const reduce of [false, true]) {
    const value = reduce ? 'reduce' : 'no-preference';
    const show = await openShow({
      width: 800,
      height: 450,
      beforeLoad: (page) => page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value }]),
    });
    const warnings = [];
    show.page.on('console', (message) => warnings.push(message.text()));
    try {
      assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
      assert.equal(await show.page.$eval('#gentle', (box) => box.checked), reduce, value);
      // Ticking the box does not start the show; the show starts with the choice made last.
      await show.page.click('label');
      await show.page.click('label');
      assert.equal(await show.page.evaluate(() => document.body.dataset.state), 'ready');
      await show.page.evaluate(() => {
        const choose = Module._tesselune_gentle;
        Module._tesselune_gentle = (gentle) => choose((window.gentleChosen = gentle));
      });
      await start(show.page);
      assert.equal(await show.page.evaluate(() => window.gentleChosen), reduce ? 1 : 0, value);
      await show.page.evaluate(() => new Promise((drawn) => requestAnimationFrame(() => requestAnimationFrame(drawn))));
      assert.deepEqual(warnings.filter((text) => text.includes('Gentle')), [], 'the gentle pass builds');
      assert.deepEqual(show.errors, []);
    } finally {
      await show.close();
    }
  }
});

describe('a browser or server that cannot play the show', () => {
  test('a page opened from disk says how to serve it', async () => {
    const browser = await launchBrowser();
    try {
      const page = await browser.newPage();
      await page.goto(`file://${join(site, 'index.html')}`);
      assert.equal(await waitForState(page, ['ready', 'failed']), 'failed');
      const message = await page.$eval('#message', (card) => (card.hidden ? '' : card.textContent));
      assert.match(message, /has to be served.*scripts\/web serve.*any static web server/);
    } finally {
      await browser.close();
    }
  });

  test('without WebGL 2 the page says so', async () => {
    const show = await openShow({
      beforeLoad: (page) => page.evaluateOnNewDocument(() => {
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
          return type === 'webgl2' ? null : getContext.call(this, type, ...rest);
        };
      }),
    });
    try {
      assert.equal(await waitForState(show.page, ['ready', 'failed']), 'failed');
      const message = await show.page.$eval('#message', (card) => (card.hidden ? '' : card.textContent));
      assert.match(message, /needs WebGL 2/);
    } finally {
      await show.close();
    }
  });

  test('a program whose code cannot be downloaded is named on the page', async () => {
    const show = await openShow({ files: { 'tesselune.wasm': '/nonexistent/tesselune.wasm' } });
    try {
      assert.equal(await waitForState(show.page, ['ready', 'failed']), 'failed');
      const message = await show.page.$eval('#message', (card) => (card.hidden ? '' : card.textContent));
      assert.match(message, /program could not be loaded \(tesselune\.wasm: HTTP 404\)/);
    } finally {
      await show.close();
    }
  });

  test('a track that cannot be downloaded is named on the page', async () => {
    const show = await openShow({ files: { [TRACK]: '/nonexistent/track.mp3' } });
    try {
      assert.equal(await waitForState(show.page, ['ready', 'failed']), 'failed');
      const message = await show.page.$eval('#message', (card) => (card.hidden ? '' : card.textContent));
      assert.match(message, /soundtrack could not be downloaded \(Resource\/Glacierhorn\.mp3: HTTP 404\)/);
    } finally {
      await show.close();
    }
  });
});

describe('a show drawn below the canvas size', () => {
  test('at half scale the frame is drawn small and scaled up over the whole canvas', async () => {
    // Scene1 at 14.5 s: a picture that is not the same upside down. Compared in 10x10-pixel means, which the
    // detail lost at half size hardly moves.
    const show = await openShow({ query: '?scale=0.5' });
    try {
      assert.equal(await waitForState(show.page, ['ready', 'failed']), 'ready');
      // Started, then held still: the music time stands where it is moved, once the track is there.
      await start(show.page);
      await show.page.evaluate(() => Module.audio.context.suspend());
      await decoded(show.page);
      const result = await show.page.evaluate(() => {
        Module._tesselune_test_seek(14.5);
        const width = Module.canvas.width, height = Module.canvas.height, size = width * height * 4;
        const pointer = Module._malloc(size * 2 + 12);
        Module._tesselune_test_levels(pointer + size * 2);
        const levels = Array.from(Module.HEAPF32.subarray((pointer + size * 2) >> 2, ((pointer + size * 2) >> 2) + 3));
        Module._tesselune_test_show_frame(pointer);
        testDraw('Scene1', Module._tesselune_test_music_time(), levels, width, height, pointer + size);
        const frame = Module.HEAPU8.slice(pointer, pointer + size);
        const full = Module.HEAPU8.slice(pointer + size, pointer + size * 2);
        Module._free(pointer);
        const blocks = [width / 10, height / 10];
        const mean = (pixels, bx, by, c) => {
          let sum = 0;
          for (let y = by * 10; y < by * 10 + 10; ++y) {
            for (let x = bx * 10; x < bx * 10 + 10; ++x) sum += pixels[(y * width + x) * 4 + c];
          }
          return sum / 100;
        };
        let difference = 0, flipped = 0, count = 0;
        for (let by = 0; by < blocks[1]; ++by) {
          for (let bx = 0; bx < blocks[0]; ++bx) {
            for (let c = 0; c < 3; ++c, ++count) {
              difference += Math.abs(mean(frame, bx, by, c) - mean(full, bx, by, c));
              flipped += Math.abs(mean(frame, bx, by, c) - mean(full, bx, blocks[1] - 1 - by, c));
            }
          }
        }
        const same = frame.every((value, i) => value === full[i]);
        return { difference: difference / count, flipped: flipped / count, same };
      });
      assert.ok(!result.same, 'not the full-size frame');
      assert.ok(result.difference < 4, `mean difference ${result.difference} in 10x10 means`);
      assert.ok(result.flipped > 20, `a picture that would show being upside down (${result.flipped})`);
      assert.deepEqual(show.errors, []);
    } finally {
      await show.close();
    }
  });
});
