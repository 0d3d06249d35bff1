// The show in the browser as a viewer meets it: the track the page decodes, the music clock, the schedule,
// the ways the show ends, and the messages of a browser or a server that cannot play it.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { desktopBuild, openShow, site, TRACK, waitForState } from './harness.mjs';

// The music time as the show reads it, with the audio context's own times, in one step of the page.
function clocks(page) {
  return page.evaluate(() => ({
    music: Module._tesselune_test_music_time(),
    context: Module.audio.context.currentTime,
    latency: Module.audio.context.outputLatency || 0,
  }));
}

async function start(page) {
  await page.click('#start');
  assert.equal(await waitForState(page, ['running', 'failed']), 'running');
}

async function endCard(page) {
  return page.evaluate(() => ({
    exit: document.body.dataset.exit,
    shown: !document.getElementById('end').hidden,
    audio: Module.audio.context.state,
  }));
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

  test('the page decodes the track to the desktop decoding, within 1e-4', async () => {
    const frames = statSync(join(work, 'desktop.f32')).size / 8;
    const result = await show.page.evaluate(async (path) => {
      const desktop = new Float32Array(await (await fetch('desktop.f32')).arrayBuffer());
      const track = Module.audio.tracks.get(path);
      let worst = 0;
      for (let c = 0; c < track.numberOfChannels; ++c) {
        const samples = track.getChannelData(c);
        for (let i = 0; i < samples.length; ++i) {
          worst = Math.max(worst, Math.abs(samples[i] - desktop[i * 2 + c]));
        }
      }
      return { frames: track.length, channels: track.numberOfChannels, rate: track.sampleRate, worst };
    }, TRACK);
    assert.deepEqual([result.frames, result.channels, result.rate], [frames, 2, 44100]);
    assert.ok(result.worst <= 1e-4, `largest difference ${result.worst}`);
  });

  test('before the click the music waits at 0; after it the clock follows the audio context', async () => {
    assert.equal((await clocks(show.page)).music, 0);
    await start(show.page);
    const first = await clocks(show.page);
    await show.page.waitForFunction((t) => Module.audio.context.currentTime > t + 1, { timeout: 10000 },
      first.context);
    const second = await clocks(show.page);
    const music = second.music - first.music, context = second.context - first.context;
    assert.ok(Math.abs(music - context) < 0.05, `music moved ${music} s while the context moved ${context} s`);
    // The position heard: the context's time less its output latency, carried on by at most 0.1 s.
    const heard = second.context - second.latency;
    assert.ok(second.music > heard - 0.01 && second.music < heard + 0.11, `music ${second.music}, heard ${heard}`);
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

  test('the clock moves on at every animation frame, never back', async () => {
    const times = await show.page.evaluate(() => new Promise((done) => {
      const samples = [];
      const sample = () => {
        samples.push(Module._tesselune_test_music_time());
        if (samples.length < 10) requestAnimationFrame(sample);
        else done(samples);
      };
      requestAnimationFrame(sample);
    }));
    for (let i = 1; i < times.length; ++i) {
      assert.ok(times[i] > times[i - 1], `frame ${i}: ${times[i]} after ${times[i - 1]}`);
    }
  });

  test('the end of the music ends the show with the closing card', async () => {
    await show.page.evaluate(() => Module._tesselune_test_seek(206.7));
    assert.equal(await waitForState(show.page, ['ended', 'failed'], 15000), 'ended');
    assert.deepEqual(await endCard(show.page), { exit: '0', shown: true, audio: 'closed' });
    assert.deepEqual(show.errors, []);
  });
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
    assert.equal(await waitForState(show.page, ['ended', 'failed'], 15000), 'ended');
    assert.deepEqual(await endCard(show.page), { exit: '0', shown: true, audio: 'closed' });
    assert.deepEqual(show.errors, []);
  } finally {
    await show.close();
  }
});

describe('a browser or server that cannot play the show', () => {
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
