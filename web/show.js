// The page of the show: it checks for WebGL 2, downloads and decodes the track, starts the program
// (tesselune.js and tesselune.wasm), waits for a click to start the sound, and shows the closing card when the
// program ends. Module.audio is the Web Audio side of audio/web/web_audio.cpp.
'use strict';
(() => {
  const TRACK = 'Resource/Glacierhorn.mp3';
  const PROGRAM = 'tesselune.js';
  const $ = (id) => document.getElementById(id);
  const CARDS = ['status', 'start', 'message', 'end'];

  // Shows one card over the canvas (or none), with `text` as its only paragraph when given.
  function showCard(id, text) {
    for (const card of CARDS) $(card).hidden = card !== id;
    if (text !== undefined) $(id).textContent = text;
  }

  let failed = false;
  function fail(text) {
    failed = true;
    document.body.dataset.state = 'failed';
    showCard('message', text);
  }

  const audio = {
    context: null,
    tracks: new Map(), // decoded AudioBuffers by path
    nodes: new Map(), // the source node of each playing channel, by handle
    anchorContext: -1, // the context time last seen, and the page clock when it was first seen
    anchorClock: 0,
    lastHeard: 0,

    open() { return this.context !== null; },
    channels(path) { const b = this.tracks.get(path); return b ? b.numberOfChannels : 0; },
    rate(path) { return this.tracks.get(path).sampleRate; },
    frames(path) { return this.tracks.get(path).length; },
    copy(path, channel, first, count, pointer) {
      const samples = this.tracks.get(path).getChannelData(channel).subarray(first, first + count);
      Module.HEAPF32.set(samples, pointer >> 2);
    },
    play(handle, path, offset) {
      this.stop(handle);
      const node = this.context.createBufferSource();
      node.buffer = this.tracks.get(path);
      node.connect(this.context.destination);
      node.start(0, offset);
      this.nodes.set(handle, node);
    },
    stop(handle) {
      const node = this.nodes.get(handle);
      if (!node) return;
      node.stop();
      node.disconnect();
      this.nodes.delete(handle);
    },
    stopAll() { for (const handle of [...this.nodes.keys()]) this.stop(handle); },
    now() { return this.context ? this.context.currentTime : 0; },
    // The context time being heard: its current time less the output latency. The current time moves in
    // steps of what the context renders at once; between steps the page's clock carries it on (at most
    // 0.1 s), and it never goes back.
    heard() {
      const context = this.context;
      if (!context) return 0;
      const clock = performance.now() / 1000;
      if (context.currentTime !== this.anchorContext) {
        this.anchorContext = context.currentTime;
        this.anchorClock = clock;
      }
      const carried = context.state === 'running' ? Math.min(clock - this.anchorClock, 0.1) : 0;
      const heard = this.anchorContext + carried - (context.outputLatency || 0);
      this.lastHeard = Math.max(this.lastHeard, heard, 0);
      return this.lastHeard;
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

  window.Module = {
    canvas: $('canvas'),
    audio,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    reportFailure: fail,
    // The first frame is on the canvas.
    showReady() {
      performance.mark('first-frame');
      if (failed) return;
      document.body.dataset.state = 'ready';
      showCard('start');
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

  function start(event) {
    if (document.body.dataset.state !== 'ready' || event?.target.closest('label')) return;
    document.body.dataset.state = 'running';
    showCard(null);
    audio.context.resume();
    Module._tesselune_gentle?.($('gentle').checked ? 1 : 0);
    $('canvas').focus();
    Module.resumeMainLoop();
  }

  function toggleFullScreen() {
    if (document.body.dataset.state !== 'running') return;
    if (document.fullscreenElement) document.exitFullscreen?.();
    else document.documentElement.requestFullscreen?.().catch(() => {});
  }

  function hasWebGL2() {
    try {
      return Boolean(document.createElement('canvas').getContext('webgl2'));
    } catch {
      return false;
    }
  }

  async function decodeTrack() {
    let response;
    try {
      response = await fetch(TRACK);
    } catch (error) {
      throw new Error(`The soundtrack could not be downloaded (${TRACK}: ${error.message}).`);
    }
    if (!response.ok) {
      throw new Error(`The soundtrack could not be downloaded (${TRACK}: HTTP ${response.status}).`);
    }
    const bytes = await response.arrayBuffer();
    try {
      return await audio.context.decodeAudioData(bytes);
    } catch (error) {
      throw new Error(`The soundtrack could not be decoded (${TRACK}: ${error.message}).`);
    }
  }

  async function load() {
    if (!hasWebGL2()) {
      fail('This show needs WebGL 2, which this browser does not offer or has turned off.');
      return;
    }
    if (typeof AudioContext !== 'function') {
      fail('This show needs Web Audio, which this browser does not offer.');
      return;
    }
    // The track is decoded at the output's rate, so that the samples are the file's own. The context is
    // suspended until the click that starts the show, in browsers that would let it run before.
    try {
      audio.context = new AudioContext({ sampleRate: 44100 });
    } catch (error) {
      fail(`This browser cannot play sound at 44100 Hz (${error.message}).`);
      return;
    }
    audio.context.suspend();
    showCard('status', 'Loading the soundtrack…');
    try {
      audio.tracks.set(TRACK, await decodeTrack());
      performance.mark('track-decoded');
    } catch (error) {
      fail(error.message);
      return;
    }
    showCard('status', 'Building the scenes…');
    const program = document.createElement('script');
    program.src = PROGRAM;
    program.onerror = () => fail(`The show's program could not be downloaded (${PROGRAM}).`);
    document.body.appendChild(program);
  }

  // The gentle mode is chosen on the start card: ticked where the system asks for reduced motion.
  $('gentle').checked = matchMedia('(prefers-reduced-motion: reduce)').matches;
  $('start').addEventListener('click', start);
  $('canvas').addEventListener('dblclick', toggleFullScreen);
  window.addEventListener('keydown', (event) => {
    if ((event.key === 'f' || event.key === 'F') && !event.ctrlKey && !event.altKey && !event.metaKey) {
      toggleFullScreen();
    }
  });
  load();
})();
