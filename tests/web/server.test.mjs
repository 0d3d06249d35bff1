// The local web server as its own process: requests that are not paths, files it may not read, downloads cut
// short and links out of its folder each get their answer, and the server goes on; a port it cannot have is
// one line.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { chmodSync, mkdirSync, mkdtempSync, readdirSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { get } from 'node:http';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';

const serverScript = fileURLToPath(new URL('../../web/server.mjs', import.meta.url));
// As root every file is readable: the server then runs as nobody, for whom the folder is made readable.
const asRoot = process.getuid() === 0;

// Runs the server on `dir` with `port`; resolves with the process and, once it listens, its port.
function runServer(dir, port = '0') {
  const child = spawn(process.execPath, [serverScript, dir, port], {
    stdio: ['ignore', 'pipe', 'pipe'],
    ...(asRoot ? { uid: 65534, gid: 65534 } : {}),
  });
  let out = '';
  let err = '';
  child.stdout.on('data', (data) => (out += data));
  child.stderr.on('data', (data) => (err += data));
  const listening = new Promise((done) => {
    child.stdout.on('data', () => {
      const port = /127\.0\.0\.1:(\d+)\//.exec(out)?.[1];
      if (port) done(Number(port));
    });
  });
  const ended = once(child, 'exit').then(([code]) => ({ code, err }));
  return { child, listening, ended };
}

// The whole reply to a raw request `text`, sent as it is (asking the server to close the connection).
async function rawRequest(port, text) {
  const socket = connect(port, '127.0.0.1');
  await once(socket, 'connect');
  socket.write(text);
  let reply = '';
  socket.on('data', (data) => (reply += data));
  await once(socket, 'close');
  return reply;
}

async function status(port, path) {
  const reply = await rawRequest(port, `GET ${path} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n`);
  return Number(reply.split(' ')[1]);
}

const openFiles = (pid) => readdirSync(`/proc/${pid}/fd`).length;

describe('the local web server', () => {
  let dir;
  let server;
  let port;
  before(async () => {
    dir = mkdtempSync(join(tmpdir(), 'server_test_'));
    chmodSync(dir, 0o755);
    mkdirSync(join(dir, 'site'));
    writeFileSync(join(dir, 'site', 'index.html'), '<p>show</p>');
    writeFileSync(join(dir, 'site', 'track.mp3'), Buffer.alloc(16 << 20, 1));
    writeFileSync(join(dir, 'site', 'secret.mp3'), 'not for anyone');
    chmodSync(join(dir, 'site', 'secret.mp3'), 0o000);
    writeFileSync(join(dir, 'outside.txt'), 'beside the folder');
    symlinkSync('/etc', join(dir, 'site', 'etc'));
    symlinkSync('../outside.txt', join(dir, 'site', 'out.txt'));
    symlinkSync('index.html', join(dir, 'site', 'home.html'));
    server = runServer(join(dir, 'site'));
    port = await server.listening;
  });
  after(() => {
    server.child.kill();
    rmSync(dir, { recursive: true, force: true });
  });

  test('malformed targets are 400, an unreadable file 403, and the server goes on', async () => {
    assert.equal(await status(port, '/%'), 400);
    assert.equal(await status(port, '/%zz'), 400);
    assert.equal(await status(port, '/a%00b'), 400);
    assert.match(await rawRequest(port, 'GET http://[::1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n'),
      /^HTTP\/1\.1 400 /);
    assert.equal(await status(port, '/secret.mp3'), 403);
    assert.equal(await status(port, '/missing.mp3'), 404);
    assert.equal(await status(port, '/'), 200);
    assert.equal(server.child.exitCode, null);
  });

  test('only what resolves inside the folder is served', async () => {
    assert.equal(await status(port, '/etc/passwd'), 403);
    assert.equal(await status(port, '/out.txt'), 403);
    assert.equal(await status(port, '/../outside.txt'), 404);
    assert.equal(await status(port, '/home.html'), 200);
  });

  test('downloads cut short leave no descriptor open', async () => {
    const pid = server.child.pid;
    const before = openFiles(pid);
    for (let i = 0; i < 40; ++i) {
      const request = get({ host: '127.0.0.1', port, path: '/track.mp3' });
      const [response] = await once(request, 'response');
      await once(response, 'data');
      request.destroy();
      await once(request, 'close');
    }
    // The server sees each close a moment after the client; it then has nothing more open than before.
    const deadline = Date.now() + 10000;
    while (openFiles(pid) > before && Date.now() < deadline) await status(port, '/index.html');
    assert.ok(openFiles(pid) <= before, `${openFiles(pid) - before} more descriptors than before`);
  });

  test('a port that is not a number, or one in use, is one line', async () => {
    for (const [portArgument, says] of [['http', /not a port number/], [String(port), /port \d+ is in use/]]) {
      const { code, err } = await runServer(join(dir, 'site'), portArgument).ended;
      assert.notEqual(code, 0);
      assert.match(err, says);
      assert.equal(err.trim().split('\n').length, 1, err);
    }
  });
});
