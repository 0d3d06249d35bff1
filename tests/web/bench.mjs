// The browser's benchmark rows: the download, page load to ready to start, the click to the first sound, and
// each scene's frame at 640x360 in headless chromium (WebGL 2 on SwiftShader, the CPU renderer every machine
// here has), printed as a Markdown table in the form of scripts/bench's. Nothing fails for being slow.
//   node tests/web/bench.mjs [--desktop RESULTS.json] [--baseline SITE] [--start] [--json FILE]
// With --desktop (the results.json of tesselune-bench from the same run), each scene's row is set against
// the desktop frame at the same size, drawn on the headless context as tesselune-capture draws it. With
// --baseline (the build-web folder of another build), its start is measured too, turn about with this one's.
// With --start, only the start is measured.
import { readFileSync, writeFileSync } from 'node:fs';
import { cpus, loadavg } from 'node:os';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { openShow, SCENES, site, TRACK, waitForState } from './harness.mjs';

const args = process.argv.slice(2);
const option = (name) => (args.includes(name) ? args[args.indexOf(name) + 1] : undefined);
const LOADS = 7, FRAMES = 3, WIDTH = 640, HEIGHT = 360, LEVELS = [1.5, 1, 0.7];
// The music time of each scene: where the schedule shows it, as the desktop rows take it (60 s for the three
// it never shows, and for a scene not written here).
const TIMES = { Sceneb: 60, Scenew: 202.1, Scene0: 174.67, Scene1: 13.33, Scene2: 2.67, Scene3: 60,
  Scene4: 69.33, Scene5: 37.33, Scene5_1: 48, Scene6: 60, Scene7: 8, Scene8: 80 };

function figure(value) {
  if (!Number.isFinite(value)) return '–';
  const magnitude = Math.abs(value);
  const decimals = magnitude > 0 && magnitude < 100 ? Math.min(9, Math.max(0, 2 - Math.floor(Math.log10(magnitude)))) : 0;
  return value.toFixed(decimals);
}
const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b), n = sorted.length;
  return n % 2 ? sorted[(n - 1) / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
};
const progress = (text) => process.stderr.write(`${text}\n`);

const rows = [];
const row = (benchmark, subject, values, unit, derived = '') =>
  rows.push({ benchmark, subject, median: median(values), min: Math.min(...values), unit, derived });

// The download: what a visitor's browser fetches, gzipped as a server would send it (the track as it is).
const gzipped = (names) => gzipSync(Buffer.concat(names.map((name) => readFileSync(join(site, name)))),
  { level: 9 }).length / 1024;
const wasm = gzipped(['tesselune.wasm']), js = gzipped(['tesselune.js']);
const page = gzipped(['index.html', 'show.js', 'track.js']);
const track = readFileSync(join(site, TRACK)).length / 1024;
row('download', 'tesselune.wasm, gzipped', [wasm], 'KiB');
row('download', 'tesselune.js, gzipped', [js], 'KiB');
row('download', 'index.html, show.js and track.js, gzipped', [page], 'KiB');
row('download', 'the program and the page', [wasm + js + page], 'KiB', `and the track, ${figure(track)} KiB`);

// The start, a fresh browser each time, one that has been running a while (its GPU process up, as in a
// visitor's browser) and one just launched: navigation start to the start card (the program's first frame
// drawn and the track's first seconds decoded), and the click on it to the first sound, the moment the
// output plays the context time the music starts at (from its timestamps: the context stands still until
// the click, and the music starts there).
let renderer = '';
async function startOnce(root, running) {
  const show = await openShow({
    width: WIDTH,
    height: HEIGHT,
    program: 'tesselune',
    root,
    running,
    beforeLoad: (page) => page.evaluateOnNewDocument(() => {
      new MutationObserver(() => {
        if (document.body?.dataset.state === 'ready') window.readyAt ??= performance.now();
      }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-state'] });
      window.addEventListener('click', (event) => {
        window.clicked ??= { at: event.timeStamp, context: Module.audio.context?.currentTime ?? 0 };
      }, true);
    }),
  });
  await waitForState(show.page, ['ready']);
  const { ready, firstSeconds } = await show.page.evaluate(() => ({
    ready: window.readyAt, firstSeconds: performance.getEntriesByName('first-seconds')[0]?.startTime }));
  renderer = await show.page.evaluate(() => {
    const context = document.createElement('canvas').getContext('webgl2');
    const info = context.getExtension('WEBGL_debug_renderer_info');
    return info ? context.getParameter(info.UNMASKED_RENDERER_WEBGL) : context.getParameter(context.RENDERER);
  });
  await show.page.click((await show.page.$('#start-button')) ? '#start-button' : '#start');
  const sound = await show.page.evaluate(() => new Promise((done) => {
    const look = () => {
      const stamp = Module.audio.context.getOutputTimestamp();
      if (stamp.performanceTime > 0 && stamp.contextTime > window.clicked.context) {
        done(stamp.performanceTime - (stamp.contextTime - window.clicked.context) * 1000 - window.clicked.at);
      } else {
        setTimeout(look, 1);
      }
    };
    look();
  }));
  await show.close();
  return { ready, sound, firstSeconds };
}
const builds = [['this build', site], ...(option('--baseline') ? [['baseline', option('--baseline')]] : [])];
const BROWSERS = [['running', 'a browser running a while'], ['launched', 'a browser just launched']];
const starts = new Map();
for (let i = 0; i < LOADS; ++i) {
  for (const [browser] of BROWSERS) {
    for (const [name, root] of builds) {
      progress(`start ${i + 1} of ${LOADS}, ${browser} browser: ${name}`);
      const { ready, sound, firstSeconds } = await startOnce(root, browser === 'running');
      const figures = starts.get(`${name}, ${browser}`) ?? { ready: [], sound: [], firstSeconds: [] };
      starts.set(`${name}, ${browser}`, figures);
      figures.ready.push(ready);
      figures.sound.push(sound);
      if (firstSeconds !== undefined) figures.firstSeconds.push(firstSeconds);
    }
  }
}
for (const [measure, benchmark, subject] of [
  ['ready', 'page load to ready to start', 'navigation start to the start card'],
  ['sound', 'click to first sound', 'the click to the output playing the music\'s start']]) {
  for (const [browser, words] of BROWSERS) {
    const own = starts.get(`this build, ${browser}`), baseline = starts.get(`baseline, ${browser}`)?.[measure];
    const derived = [baseline ? `${figure((100 * median(own[measure])) / median(baseline))} % of the baseline's` : '',
      measure === 'ready' ? `the track's first seconds decoded at ${figure(median(own.firstSeconds))} ms` : ''];
    row(benchmark, `${subject}, ${words}, this build`, own[measure], 'ms', derived.filter(Boolean).join('; '));
    if (baseline) row(benchmark, `${subject}, ${words}, baseline (${option('--baseline')})`, baseline, 'ms');
  }
}

if (args.includes('--start')) {
  report();
  process.exit(0);
}

// Each scene's frame: one warm-up frame (the driver's code generation), then FRAMES frames, each drawn and
// waited for by reading a pixel back.
const desktop = option('--desktop') ? JSON.parse(readFileSync(option('--desktop'), 'utf8')).rows : [];
const show = await openShow({ width: WIDTH, height: HEIGHT });
await waitForState(show.page, ['ready']);
// The show's own first frame out of the way.
await show.page.evaluate((scene) => testDraw(scene, 0, [0, 0, 0], 1, 1, 0), SCENES[0]);
for (const scene of SCENES) {
  const times = await show.page.evaluate((name, time, levels, frames) => {
    const draw = (t) => testDraw(name, t, levels, Module.canvas.width, Module.canvas.height, 0);
    const warmUp = performance.now();
    draw(time);
    const result = { warmUp: performance.now() - warmUp, frames: [] };
    for (let i = 1; i <= frames; ++i) {
      const start = performance.now();
      draw(time + i / 60);
      result.frames.push(performance.now() - start);
    }
    return result;
  }, scene, TIMES[scene] ?? 60, LEVELS, FRAMES);
  const own = desktop.find((r) => r.benchmark === `frame ${WIDTH}x${HEIGHT}` && r.subject.startsWith(`${scene} `));
  const against = own && own.median
    ? `desktop ${figure(own.median)} ms, ${figure(median(times.frames) / own.median)} times as long; ` : '';
  row(`browser frame ${WIDTH}x${HEIGHT}`, `${scene} at ${TIMES[scene] ?? 60} s`, times.frames, 'ms',
    `${against}warm-up frame ${figure(times.warmUp)} ms`);
  progress(`  ${scene}: ${figure(median(times.frames))} ms`);
}
await show.close();

// The show at a 1280x720 canvas, as the desktop's rows drive it: the program's tour (each slot of the schedule,
// and the one after the last, for SLOT seconds from its start, on its own clock), its frame log (a line per
// presented frame: seconds since the first frame, music time, scale) on the console; per slot the median and
// 95th percentile time from each presented frame to the next, and the median scale; auto against ?scale=1.
// The tour's clock starts at the first frame, drawn before the start card is clicked, which takes a little of
// the first slot.
const SLOT = 1.5;
const schedule = readFileSync(new URL('../../scenes/schedule.txt', import.meta.url), 'utf8').split('\n')
  .map((line) => line.replace(/#.*/, '').trim().split(/\s+/)).filter((words) => words.length === 2);
const bar = Number(schedule.find(([word]) => word === 'bar')[1]);
const slots = schedule.filter(([bars]) => /^\d+$/.test(bars))
  .map(([bars, scene]) => ({ scene, threshold: Number(bars) * bar }));
const after = schedule.find(([word]) => word === 'then')[1];
const percentile = (values, share) => [...values].sort((a, b) => a - b)[Math.max(Math.ceil(share * values.length), 1) - 1];
for (const scale of ['auto', '1']) {
  progress(`show at 1280x720, ?scale=${scale}: ${slots.length + 1} slots of ${SLOT} s`);
  const frames = [];
  const show = await openShow({ width: 1280, height: 720, program: 'tesselune',
    query: `?scale=${scale}&tour=${SLOT}&frame-log=-` });
  show.page.on('console', (message) => {
    const words = message.text().split(' ').map(Number);
    if (words.length === 3 && words.every(Number.isFinite)) frames.push(words);
  });
  await waitForState(show.page, ['ready']);
  await show.page.click('#start-button');
  const state = await waitForState(show.page, ['ended', 'failed'], ((slots.length + 1) * SLOT + 120) * 1000);
  await show.close();
  const benchmark = `browser show at 1280x720, ${scale === 'auto' ? 'auto scale' : '?scale=1'}`;
  if (state !== 'ended') {
    row(benchmark, 'the show failed', [NaN], 'ms');
    continue;
  }
  const slotOf = (time) => {
    const slot = slots.findIndex(({ threshold }) => time < threshold);
    return slot < 0 ? slots.length : slot;
  };
  const intervals = slots.map(() => []).concat([[]]), scales = slots.map(() => []).concat([[]]);
  frames.forEach(([wall, time, drawn], i) => {
    const slot = slotOf(time);
    if (i > 0 && slotOf(frames[i - 1][1]) === slot) intervals[slot].push((wall - frames[i - 1][0]) * 1000);
    scales[slot].push(drawn);
  });
  intervals.forEach((times, slot) => {
    const scene = slot < slots.length ? slots[slot].scene : after;
    const from = slot === 0 ? 0 : slots[slot - 1].threshold;
    row(benchmark, `slot ${slot + 1}, ${scene} from ${figure(from)} s`, times.length ? times : [NaN], 'ms',
      `95th percentile ${figure(times.length ? percentile(times, 0.95) : NaN)} ms, scale ${
        figure(scales[slot].length ? median(scales[slot]) : NaN)}, ${times.length} frame intervals`);
  });
}

// The table on standard output, and the rows as JSON where --json asks.
function report() {
  const machine = `${cpus().length} cores, load ${loadavg().map((l) => l.toFixed(2)).join(' ')}`;
  let table = `Browser: headless chromium, WebGL renderer: ${renderer}; machine: ${machine}\n\n`;
  table += '| Benchmark | Subject | Median | Min | Unit | Derived |\n| --- | --- | ---: | ---: | --- | --- |\n';
  for (const r of rows) {
    table += `| ${r.benchmark} | ${r.subject} | ${figure(r.median)} | ${figure(r.min)} | ${r.unit} | ${r.derived} |\n`;
  }
  process.stdout.write(table);
  if (option('--json')) writeFileSync(option('--json'), `${JSON.stringify({ renderer, machine, rows }, null, 2)}\n`);
}
report();
