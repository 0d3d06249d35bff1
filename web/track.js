// The show's soundtrack in the page: downloaded and decoded a piece at a time as it arrives, so that the show
// can start once its first seconds are there, and only as far as the show plays, so that the tab's memory does
// not grow with the track's length. An MP3 at the output's rate is split into pieces of whole MPEG frames, each
// decoded with a few frames before it (the decoder's bit reservoir and its overlap from frame to frame), and
// the pieces are joined without those: the samples are the same as decoding the whole file gives. Any other
// file is decoded whole, as it comes.
'use strict';
window.Soundtrack = (() => {
  const START_SECONDS = 1; // decoded before the program starts: more than it reads when the music starts
  const AHEAD_SECONDS = 5; // decoded before the start too, after the first piece; the rest once the sound starts
  const PIECE_SECONDS = 6; // each piece's, but for the first: START_SECONDS, so that it is there soon
  const OVERLAP_BYTES = 1024; // decoded before a piece: the bit reservoir reaches at most 511 bytes back
  const OVERLAP_FRAMES = 2; // ... and the frame before a frame carries over into it
  const IN_FLIGHT = 2; // pieces decoded at once: a piece's end waits for the page's thread, which may be drawing
  const DECODER_DELAY = 529; // the samples an MP3 decoder puts out before the encoder's first

  const BITRATES = { // kbit/s by MPEG version (1, or 2 and 2.5) and layer, for bitrate indexes 1 to 14
    '1,1': [32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    '1,2': [32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    '1,3': [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    '2,1': [32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    '2,2': [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
  };
  const RATES = [[11025, 12000, 8000], null, [22050, 24000, 16000], [44100, 48000, 32000]];

  // The MPEG audio frame header at `at`, or null where there is none (free-format frames count as none).
  function frameHeader(bytes, at) {
    if (at + 4 > bytes.length || bytes[at] !== 0xff || (bytes[at + 1] & 0xe0) !== 0xe0) return null;
    const version = (bytes[at + 1] >> 3) & 3, layer = 4 - ((bytes[at + 1] >> 1) & 3);
    const bitrateIndex = bytes[at + 2] >> 4, rateIndex = (bytes[at + 2] >> 2) & 3, padding = (bytes[at + 2] >> 1) & 1;
    if (version === 1 || layer === 4 || bitrateIndex === 0 || bitrateIndex === 15 || rateIndex === 3) return null;
    const mpeg1 = version === 3;
    const bitrate = BITRATES[`${mpeg1 ? 1 : 2},${mpeg1 ? layer : Math.min(layer, 2)}`][bitrateIndex - 1] * 1000;
    const rate = RATES[version][rateIndex];
    const samples = layer === 1 ? 384 : layer === 3 && !mpeg1 ? 576 : 1152;
    const length = layer === 1 ? (Math.floor((12 * bitrate) / rate) + padding) * 4
      : Math.floor((samples / 8) * bitrate / rate) + padding;
    const sideInfo = mpeg1 ? ((bytes[at + 3] >> 6) === 3 ? 17 : 32) : ((bytes[at + 3] >> 6) === 3 ? 9 : 17);
    return { mpeg1, layer, rate, samples, length, sideInfo };
  }

  // The Xing or Info tag a first frame may be instead of audio: the track's frames and, where an encoder that
  // writes its delay and padding wrote the tag, the samples of the decoding to skip at the start and the end
  // (as the browsers' decoders do for the whole file). Null for an audio frame.
  function infoTag(bytes, at, header) {
    const tag = at + 4 + header.sideInfo;
    const name = String.fromCharCode(...bytes.subarray(tag, tag + 4));
    if (name !== 'Xing' && name !== 'Info') return null;
    const view = new DataView(bytes.buffer, bytes.byteOffset);
    const flags = view.getUint32(tag + 4);
    let field = tag + 8, frames = 0;
    if (flags & 1) frames = view.getUint32(field), field += 4;
    if (flags & 2) field += 4;
    if (flags & 4) field += 100;
    if (flags & 8) field += 4;
    const encoder = String.fromCharCode(...bytes.subarray(field, field + 4));
    if (!['LAME', 'Lavf', 'Lavc'].includes(encoder) || field + 24 > at + header.length) {
      return { skip: 0, end: Infinity };
    }
    const delays = (bytes[field + 21] << 16) | (bytes[field + 22] << 8) | bytes[field + 23];
    const delay = delays >> 12, padding = delays & 0xfff;
    return { skip: delay + DECODER_DELAY,
      end: frames ? frames * header.samples - padding + DECODER_DELAY : Infinity };
  }

  // A track being loaded from `path` at `rate` (the output's: decoding resamples to it), `wanted` frames of it
  // at most. It decodes on an offline context of its own, which needs no audio device. `onProgress` (bytes
  // received, bytes in all or 0) follows the download; `onPiece` (piece) each piece as it is joined.
  class Track {
    constructor(path, rate, wanted, { onProgress = () => {}, onPiece = () => {} } = {}) {
      Object.assign(this, { path, rate, wanted, onProgress, onPiece });
      this.decoder = new OfflineAudioContext(1, 1, rate);
      this.channels = 0;
      this.pieces = []; // { first, buffer }: the frames decoded so far, in order, with no gap
      this.frames = 0;
      this.complete = false;
      this.bytes = new Uint8Array(1 << 16);
      this.received = 0;
      this.format = null; // 'mp3' (split into frames) or 'whole', once the first bytes tell
      this.scan = 0; // where the next frame header is looked for
      this.starts = []; // each audio frame's offset in the bytes
      this.tag = { skip: 0, end: Infinity };
      this.issued = 0; // audio frames given to a piece
      this.decoding = []; // the pieces being decoded (promises of their joining), in order
      this.running = 0; // decodings under way
      this.waiting = []; // the starts of those waiting for their turn
      // The pieces past AHEAD_SECONDS wait for decodeRest(), so that they leave the cores to the
      // program's start and to the sound's.
      this.rest = new Promise((resolve) => { this.decodeRest = resolve; });
      this.firstSeconds = new Promise((resolve, reject) => Object.assign(this, { started: resolve, failed: reject }));
      this.whole = new Promise((resolve) => { this.completed = resolve; });
      this.firstSeconds.catch(() => {});
      this.download().catch((error) => this.stop(error));
    }

    // Frames [first, first + count) into `heap` from `index` on, `channels` interleaved; frames not decoded yet
    // read as silence. Returns the frames given: fewer only once the track is complete and ends in them.
    read(first, count, heap, index) {
      const channels = this.channels;
      heap.fill(0, index, index + count * channels);
      let p = this.pieces.findLastIndex((piece) => piece.first <= first);
      for (p = Math.max(p, 0); p < this.pieces.length; ++p) {
        const { first: start, buffer } = this.pieces[p];
        const from = Math.max(first, start), to = Math.min(first + count, start + buffer.length);
        if (from >= first + count) break;
        for (let c = 0; c < channels; ++c) {
          const samples = buffer.getChannelData(c);
          for (let f = from; f < to; ++f) heap[index + (f - first) * channels + c] = samples[f - start];
        }
      }
      return this.complete ? Math.max(0, Math.min(count, this.frames - first)) : count;
    }

    // The frames decoded so far, or -1 once the track is complete.
    get decoded() {
      return this.complete ? -1 : this.frames;
    }

    async download() {
      let response;
      try {
        response = await fetch(this.path);
      } catch (error) {
        throw new Error(`The soundtrack could not be downloaded (${this.path}: ${error.message}).`);
      }
      if (!response.ok) {
        throw new Error(`The soundtrack could not be downloaded (${this.path}: HTTP ${response.status}).`);
      }
      const total = Number(response.headers.get('Content-Length')) || 0;
      const reader = response.body.getReader();
      for (;;) {
        let chunk;
        try {
          chunk = await reader.read();
        } catch (error) {
          throw new Error(`The soundtrack could not be downloaded (${this.path}: ${error.message}).`);
        }
        if (this.complete) return; // stopped on a decoding failure
        if (chunk.done) break;
        this.append(chunk.value);
        this.onProgress(this.received, total);
        if (this.format === 'mp3') this.split(false);
        if (this.enough()) {
          reader.cancel().catch(() => {});
          break;
        }
        // Once the first piece is on its way, the rest waits for it: nothing else takes the cores from its
        // decoding and from the program it lets start.
        if (this.issued > 0) await this.decoding[0].catch(() => {});
      }
      if (this.format === 'mp3') this.split(true);
      else await this.decodeWhole();
      this.finish();
    }

    append(chunk) {
      if (this.received + chunk.length > this.bytes.length) {
        const grown = new Uint8Array(Math.max(this.bytes.length * 2, this.received + chunk.length));
        grown.set(this.bytes.subarray(0, this.received));
        this.bytes = grown;
      }
      this.bytes.set(chunk, this.received);
      this.received += chunk.length;
      if (this.format === null) this.recognise();
    }

    // An MP3 of MPEG-1 layer III frames at the output's rate, after any ID3v2 tag, is split; anything else is
    // decoded whole.
    recognise() {
      const bytes = this.bytes.subarray(0, this.received);
      let at = 0;
      if (bytes.length < 10) return;
      if (bytes[0] === 0x49 && bytes[1] === 0x44 && bytes[2] === 0x33) {
        at = 10 + ((bytes[6] << 21) | (bytes[7] << 14) | (bytes[8] << 7) | bytes[9]) + (bytes[5] & 0x10 ? 10 : 0);
      }
      const header = frameHeader(bytes, at);
      if (at + 4 > bytes.length || (header && at + header.length + 4 > bytes.length)) return; // more to come
      const next = header && frameHeader(bytes, at + header.length);
      const splits = header && next && header.mpeg1 && header.layer === 3 && header.rate === this.rate
        && next.rate === header.rate;
      this.format = splits ? 'mp3' : 'whole';
      if (!splits) return;
      this.header = header;
      const tag = infoTag(bytes, at, header);
      if (tag) this.tag = tag;
      this.scan = tag ? at + header.length : at;
    }

    // Finds the whole frames received, and gives them to pieces as they fill (the last as it ends).
    split(ended) {
      const bytes = this.bytes.subarray(0, this.received);
      const samples = this.header.samples;
      const pieceFrames = Math.ceil((PIECE_SECONDS * this.rate) / samples);
      const firstFrames = Math.ceil((START_SECONDS * this.rate + this.tag.skip) / samples);
      while (this.scan < bytes.length && !this.enoughFrames()) {
        let header = frameHeader(bytes, this.scan);
        if (!header || header.rate !== this.header.rate || header.layer !== 3) {
          // Not a frame where one should be: the next one further on, if any.
          let sync = this.scan + 1;
          for (; sync < bytes.length; ++sync) {
            header = frameHeader(bytes, sync);
            if (header && header.rate === this.header.rate && header.layer === 3) break;
          }
          if (sync >= bytes.length) {
            if (ended) this.scan = bytes.length;
            break;
          }
          this.scan = sync;
        }
        if (this.scan + header.length > bytes.length) break;
        this.starts.push(this.scan);
        this.scan += header.length;
        if (this.starts.length - this.issued >= (this.issued ? pieceFrames : firstFrames)) {
          this.issue(this.starts.length);
        }
      }
      if (ended && this.starts.length > this.issued) this.issue(this.starts.length);
    }

    // The frames received are all the show plays.
    enoughFrames() {
      return this.starts.length * this.header.samples >= Math.min(this.tag.skip + this.wanted, this.tag.end);
    }

    enough() {
      return this.format === 'mp3' && this.enoughFrames();
    }

    // Decodes the audio frames [issued, end) with the frames before them that the decoder needs, and keeps
    // the samples of those frames alone.
    issue(end) {
      const first = this.issued, samples = this.header.samples;
      let from = first;
      while (from > 0 && (first - from < OVERLAP_FRAMES || this.starts[first] - this.starts[from] < OVERLAP_BYTES)) {
        --from;
      }
      const to = end < this.starts.length ? this.starts[end] : this.scan;
      const bytes = this.bytes.slice(this.starts[from], to);
      this.issued = end;
      // The samples of the decoding, counted from the first audio frame, that the track keeps from this piece.
      const keepFrom = Math.max(first * samples, this.tag.skip);
      const keepTo = Math.min(end * samples, this.tag.end, this.tag.skip + this.wanted);
      const previous = this.decoding.at(-1) ?? Promise.resolve();
      const turn = first === 0 ? Promise.resolve()
        : keepFrom - this.tag.skip < AHEAD_SECONDS * this.rate ? this.decoding[0].catch(() => {}) : this.rest;
      const decoded = turn.then(() => this.throttle(() => this.decoder.decodeAudioData(bytes.buffer)));
      const kept = decoded.then((buffer) => {
        if (buffer.length !== (end - from) * samples) {
          throw new Error(`${buffer.length} samples from ${end - from} frames`);
        }
        return this.cut(buffer, keepFrom - from * samples, keepTo - from * samples);
      });
      const joined = Promise.all([previous, kept]).then(([, piece]) => this.join(piece));
      this.decoding.push(joined);
      const at = ((keepFrom - this.tag.skip) / this.rate).toFixed(3);
      joined.catch((error) => this.stop(
        new Error(`The soundtrack could not be decoded (${this.path}: at ${at} s: ${error.message}).`)));
    }

    throttle(decode) {
      const start = () => {
        ++this.running;
        return decode().finally(() => {
          --this.running;
          this.waiting.shift()?.();
        });
      };
      if (this.running < IN_FLIGHT) return start();
      return new Promise((resolve) => this.waiting.push(resolve)).then(start);
    }

    // Samples [from, to) of `buffer` as a buffer of their own.
    cut(buffer, from, to) {
      if (to <= from) return null;
      const piece = new AudioBuffer({ numberOfChannels: buffer.numberOfChannels, length: to - from,
        sampleRate: buffer.sampleRate });
      for (let c = 0; c < buffer.numberOfChannels; ++c) {
        piece.copyToChannel(buffer.getChannelData(c).subarray(from, to), c);
      }
      return piece;
    }

    join(buffer) {
      if (!buffer || this.complete) return;
      this.channels = buffer.numberOfChannels;
      const piece = { first: this.frames, buffer };
      this.pieces.push(piece);
      this.frames += buffer.length;
      this.onPiece(piece);
      if (this.frames >= START_SECONDS * this.rate) this.started();
    }

    async decodeWhole() {
      let buffer;
      try {
        buffer = await this.decoder.decodeAudioData(this.bytes.buffer.slice(0, this.received));
      } catch (error) {
        throw new Error(`The soundtrack could not be decoded (${this.path}: ${error.message}).`);
      }
      this.bytes = null;
      this.join(this.cut(buffer, 0, Math.min(buffer.length, this.wanted)));
    }

    // Once every piece is joined, the track is complete.
    async finish() {
      await Promise.allSettled(this.decoding);
      if (this.complete) return;
      this.complete = true;
      this.bytes = null;
      if (this.frames === 0) {
        this.failed(new Error(`The soundtrack could not be decoded (${this.path}: no audio in it).`));
      }
      this.started();
      this.completed();
    }

    // Decoding or downloading stopped on `error`: before the first seconds the page says so; later the
    // track ends there (and what follows is silent), with one line on the console.
    stop(error) {
      if (this.complete) return;
      this.complete = true;
      this.bytes = null;
      if (this.frames < START_SECONDS * this.rate) this.failed(error);
      else console.warn(error.message);
      this.completed();
    }
  }

  return { Track };
})();
