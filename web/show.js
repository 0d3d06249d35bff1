// The page of the show: it starts the program (tesselune.js and tesselune.wasm) and the soundtrack's download
// at once (web/track.js decodes it as it arrives), lets the program start once the track's first seconds are
// there, shows the start button once it has drawn its first frame (and builds its other scenes while the
// button waits), opens the audio output meanwhile, and shows the closing card when the program ends.
// Module.audio is the Web Audio side of audio/web/web_audio.cpp.
'use strict';
(() => {
  const TRACK = 'Resource/Glacierhorn.mp3';
  const PROGRAM = 'tesselune.js';
  const PROGRAM_CODE = 'tesselune.wasm';
  // The output's rate, at which the track is decoded too, so that its samples are the file's own.
  const RATE = 44100;
  // The show plays the track up to its end at 206.87 s (kShowEnd), and reads one spectrum (kFftSize frames)
  // from the last frame heard: the page decodes no more of it.
  const SHOW_END = 206.87;
  const SPECTRUM_FRAMES = 2048;
  const $ = (id) => document.getElementById(id);
  const CARDS = ['status', 'start', 'message', 'end'];

  // Shows one card over the canvas (or none), with `text` as its only text when given.
  function showCard(id, text) {
    for (const card of CARDS) $(card).hidden = card !== id;
    if (text !== undefined) $(id).textContent = text;
  }

  // The track's first seconds decoded (load() sets it; where it fails, never).
  let programMayStart = new Promise(() => {});

  // The first failure stays on the page: what follows from it says less.
  let failed = false;
  function fail(text) {
    if (failed) return;
    failed = true;
    document.body.dataset.state = 'failed';
    showCard('message', text);
  }

  const audio = {
    context: null, // once the output is open (openOutput)
    tracks: new Map(), // Soundtrack.Track by path
    // Each playing channel by handle: its track, its offset in it, the context time of its first frame once
    // the output is open, its nodes.
    playing: new Map(),
    clock: { value: 0, at: null }, // the heard time last given, and the page's clock then
    anchorContext: -1, // without output timestamps: the context time last seen, and the page's clock then
    anchorClock: 0,

    // The program's audio is open from the start: its channels sound once the output is open too.
    open() { return !failed; },
    channels(path) { return this.tracks.get(path)?.channels ?? 0; },
    rate(path) { return this.tracks.get(path).rate; },
    decoded(path) { return this.tracks.get(path).decoded; },
    read(path, first, count, pointer) {
      return this.tracks.get(path).read(first, count, Module.HEAPF32, pointer >> 2);
    },
    // Plays the track from `offset` seconds, now: the pieces decoded so far, and each one as it is joined.
    play(handle, path, offset) {
      this.stop(handle);
      const channel = { track: this.tracks.get(path), offset, base: null, nodes: new Set() };
      this.playing.set(handle, channel);
      if (this.context) this.begin(channel);
    },
    begin(channel) {
      channel.base = this.context.currentTime - channel.offset;
      for (const piece of channel.track.pieces) this.schedule(channel, piece);
    },
    // Opens the output, suspended until the start (in browsers that would let it run before), and plays the
    // channels there.
    openOutput() {
      if (this.context || failed) return;
      try {
        this.context = new AudioContext({ sampleRate: RATE });
      } catch (error) {
        fail(`This browser cannot play sound at ${RATE} Hz (${error.message}).`);
        return;
      }
      this.context.suspend();
      for (const channel of this.playing.values()) this.begin(channel);
    },
    // One piece at its place in the channel's time, or from where the channel is now when that has begun.
    schedule(channel, piece) {
      const context = this.context, now = context.currentTime;
      const start = channel.base + piece.first / context.sampleRate;
      if (start + piece.buffer.duration <= now) return;
      const node = context.createBufferSource();
      node.buffer = piece.buffer;
      node.connect(context.destination);
      node.onended = () => {
        node.disconnect();
        channel.nodes.delete(node);
      };
      if (start >= now) node.start(start);
      else node.start(now, now - start);
      channel.nodes.add(node);
    },
    joined(track, piece) {
      for (const channel of this.playing.values()) {
        if (channel.track === track && channel.base !== null) this.schedule(channel, piece);
      }
    },
    stop(handle) {
      const channel = this.playing.get(handle);
      if (!channel) return;
      for (const node of channel.nodes) {
        node.onended = null;
        node.stop();
        node.disconnect();
      }
      this.playing.delete(handle);
    },
    stopAll() { for (const handle of [...this.playing.keys()]) this.stop(handle); },
    now() { return this.context ? this.context.currentTime : 0; },
    // The context time being heard now. The output's timestamp says which context time it played when;
    // between its updates, and through their jitter, a clock at the page's rate follows it (within a quarter
    // of a second, or at once where it is 50 ms off). It holds while the context does not run, and never goes
    // back.
    heard() {
      const context = this.context, clock = this.clock;
      if (!context || context.state !== 'running') return clock.value;
      const now = performance.now() / 1000;
      const estimate = this.output(now);
      let value = estimate;
      if (clock.at !== null) {
        const predicted = clock.value + (now - clock.at), error = estimate - predicted;
        value = Math.abs(error) > 0.05 ? estimate : predicted + error * (1 - Math.exp(-(now - clock.at) / 0.25));
      }
      clock.at = now;
      clock.value = Math.max(clock.value, value, 0);
      return clock.value;
    },
    // The context time the output plays at the page's time `now` (seconds), carried on at most 0.1 s past
    // what the browser last said. Without output timestamps: the context's time less its output latency.
    output(now) {
      const context = this.context;
      const stamp = context.getOutputTimestamp?.();
      if (stamp?.performanceTime > 0) return stamp.contextTime + Math.min(now - stamp.performanceTime / 1000, 0.1);
      if (context.currentTime !== this.anchorContext) {
        this.anchorContext = context.currentTime;
        this.anchorClock = now;
      }
      return this.anchorContext + Math.min(now - this.anchorClock, 0.1) - (context.outputLatency || 0);
    },
  };

  function end(status) {
    Module.pauseMainLoop?.();
    audio.stopAll();
    audio.context?.close();
    if (document.fullscreenElement) document.exitFullscreen?.();
    document.body.dataset.exit = String(status);
    if (failed) return;
    document.body.dataset.state = 'ended';
    showCard('end');
  }

  // The program's code compiles as it downloads, from the page's start on; the program is made from it once
  // its script has run. A server that does not send it as application/wasm has it compiled whole.
  const programCode = location.protocol === 'file:' ? null
    : fetch(PROGRAM_CODE, { credentials: 'same-origin' }).then((response) => {
      if (!response.ok) throw new Error(`HTTP ${response.status}`);
      const copy = response.clone();
      return WebAssembly.compileStreaming(response)
        .catch(() => copy.arrayBuffer().then((bytes) => WebAssembly.compile(bytes)));
    });
  programCode?.catch(() => {}); // said on the page when the program asks for it

  window.Module = {
    canvas: $('canvas'),
    // The page's query is the program's command line: ?scale=0.5 stands for --scale 0.5, ?name for --name.
    arguments: [...new URLSearchParams(location.search)].flatMap(([name, value]) =>
      value ? [`--${name}`, value] : [`--${name}`]),
    audio,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    reportFailure: fail,
    instantiateWasm(imports, receive) {
      programCode.then((code) => WebAssembly.instantiate(code, imports)).then(receive,
        (error) => fail(`The show's program could not be loaded (${PROGRAM_CODE}: ${error.message}).`));
      return {};
    },
    // The program starts once the track's first seconds are there, so that its music starts with them; it
    // reads the rest as it is decoded.
    preRun: [() => {
      Module.addRunDependency('soundtrack');
      programMayStart.then(() => failed || Module.removeRunDependency('soundtrack'), () => {});
    }],
    // The first frame is on the canvas.
    showReady() {
      performance.mark('ready');
      if (failed) return;
      document.body.dataset.state = 'ready';
      showCard('start');
      $('start-button').focus();
      setTimeout(prepareScenes);
    },
    // The program's exit (Escape, the end of the music, a failed start): the closing card. The runtime ends
    // the program this way too when an error escapes it, which the page shows instead.
    quit(status, toThrow) {
      if (toThrow?.name !== 'ExitStatus') fail(`The show stopped on an error (${toThrow}).`);
      end(status);
      throw toThrow;
    },
    onAbort: (what) => fail(`The show stopped on an error (${what}).`),
  };

  // The scenes past the first frame's are built one a task while the start card waits, so that the page
  // answers between them, and between the first frames where the show starts before they are all built.
  function prepareScenes() {
    if (['ready', 'running'].includes(document.body.dataset.state) && Module._tesselune_prepare()) {
      setTimeout(prepareScenes);
    }
  }

  function start() {
    if (document.body.dataset.state !== 'ready') return;
    document.body.dataset.state = 'running';
    showCard(null);
    audio.openOutput();
    if (failed) return;
    // The rest of the track decodes once the sound has started, so as not to hold up its start.
    audio.context.resume().finally(() => audio.tracks.get(TRACK).decodeRest());
    Module._tesselune_gentle?.($('gentle').checked ? 1 : 0);
    $('canvas').focus();
    Module.resumeMainLoop();
  }

  function toggleFullScreen() {
    if (document.body.dataset.state !== 'running') return;
    if (document.fullscreenElement) document.exitFullscreen?.();
    else document.documentElement.requestFullscreen?.().catch(() => {});
  }

  function load() {
    if (location.protocol === 'file:') {
      fail('This page has to be served, not opened from disk: run scripts/web serve in the project and open '
        + 'the address it prints, or put this folder on any static web server.');
      return;
    }
    if (typeof AudioContext !== 'function') {
      fail('This show needs Web Audio, which this browser does not offer.');
      return;
    }
    // The soundtrack and the program download at once (index.html has asked for them already); the program
    // waits for the track's first seconds. Its own WebGL 2 context is the page's only one: the program says so
    // where the browser gives it none.
    const progress = $('progress');
    const track = new Soundtrack.Track(TRACK, RATE, Math.floor(SHOW_END * RATE) + 1 + SPECTRUM_FRAMES, {
      onProgress(received, total) {
        if (!total) return;
        progress.value = received / total;
        $('status-text').textContent = `Loading… ${Math.floor((100 * received) / total)} %`;
      },
      onPiece: (piece) => audio.joined(track, piece),
    });
    audio.tracks.set(TRACK, track);
    track.firstSeconds.then(() => performance.mark('first-seconds'), (error) => fail(error.message));
    const program = document.createElement('script');
    program.src = PROGRAM;
    program.onerror = () => fail(`The show's program could not be downloaded (${PROGRAM}).`);
    document.body.appendChild(program);
    programMayStart = track.firstSeconds;
    // The output opens once the browser has its audio devices at hand: asked for first (once the track's
    // first seconds are in, so as not to hold up the program), without waiting, they make opening it a matter
    // of milliseconds, where it would hold the page for tens of them. The start opens it in any case.
    track.firstSeconds.then(() => navigator.mediaDevices?.enumerateDevices()).catch(() => {})
      .then(() => audio.openOutput());
  }

  // The gentle mode is chosen on the start card: ticked where the system asks for reduced motion.
  $('gentle').checked = matchMedia('(prefers-reduced-motion: reduce)').matches;
  // No key reaches the program before the show starts: Escape on the start card leaves the page as it is.
  // The start button still takes Enter and Space, which the browser turns into its click.
  for (const type of ['keydown', 'keyup']) {
    window.addEventListener(type, (event) => {
      if (document.body.dataset.state !== 'running') event.stopImmediatePropagation();
    }, true);
  }
  // The button, or a click or tap anywhere on the start card but on its other controls.
  $('start').addEventListener('click', (event) => {
    if (event.target === $('start-button') || !event.target.closest('a, button, input, label, select')) start();
  });
  $('canvas').addEventListener('dblclick', toggleFullScreen);
  window.addEventListener('keydown', (event) => {
    if ((event.key === 'f' || event.key === 'F') && !event.ctrlKey && !event.altKey && !event.metaKey) {
      toggleFullScreen();
    }
  });
  load();
})();
