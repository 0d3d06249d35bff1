// A static server for the show's folder on this machine only (127.0.0.1), for trying the page and for the
// browser tests: `node web/server.mjs DIR [PORT]` serves DIR and prints its address. startServer also takes
// `overrides`, files served in place of the folder's own under the same names.
// Only files that resolve inside the folder are served (a link that leads out of it is refused), and no
// request stops the server: a target that is not a path is answered 400, a file it may not read 403, any
// other failure 500. A download cut short closes its file.
import { realpathSync } from 'node:fs';
import { open, realpath } from 'node:fs/promises';
import { createServer } from 'node:http';
import { extname, normalize, resolve, sep } from 'node:path';
import { pipeline } from 'node:stream/promises';
import { pathToFileURL } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.mp3': 'audio/mpeg',
  '.png': 'image/png',
  '.f32': 'application/octet-stream',
};

// The name in the folder that a request target asks for, or null when the target is not a path.
function nameFor(url) {
  let path;
  try {
    path = decodeURIComponent(new URL(url, 'http://localhost').pathname);
  } catch {
    return null;
  }
  if (path.includes('\0')) return null;
  return path === '/' ? 'index.html' : normalize(path).replace(/^[/\\]+/, '');
}

// The file `name` stands for, with every link followed: null when there is none, 'outside' when it lies
// outside the folder.
async function fileFor(root, overrides, name) {
  if (overrides[name]) return overrides[name];
  try {
    const file = await realpath(resolve(root, name));
    return file.startsWith(root + sep) ? file : 'outside';
  } catch (error) {
    if (error.code === 'ENOENT' || error.code === 'ENOTDIR') return null;
    throw error;
  }
}

function answer(response, status, text) {
  response.writeHead(status, { 'Content-Type': 'text/plain' }).end(text);
}

async function serve(root, overrides, request, response) {
  if (request.method !== 'GET' && request.method !== 'HEAD') return response.writeHead(405).end();
  const name = nameFor(request.url);
  if (name === null) return answer(response, 400, 'bad request\n');
  const file = await fileFor(root, overrides, name);
  if (file === 'outside') return answer(response, 403, 'outside the folder\n');
  let handle;
  try {
    handle = file && (await open(file, 'r'));
  } catch (error) {
    if (error.code !== 'ENOENT') throw error;
  }
  if (!handle) return answer(response, 404, 'not found\n');
  try {
    const status = await handle.stat();
    if (!status.isFile()) return answer(response, 404, 'not found\n');
    response.writeHead(200, {
      'Content-Type': TYPES[extname(file)] ?? 'application/octet-stream',
      'Content-Length': status.size,
      'Cache-Control': 'no-cache',
    });
    if (request.method === 'HEAD') return response.end();
    // The stream owns the file from here: it closes it at the end and when the response closes early.
    const stream = handle.createReadStream();
    handle = null;
    await pipeline(stream, response).catch(() => {});
  } finally {
    await handle?.close();
  }
}

export function startServer({ root, port = 0, overrides = {} }) {
  const base = realpathSync(root);
  const server = createServer((request, response) => {
    serve(base, overrides, request, response).catch((error) => {
      if (response.headersSent) response.destroy();
      else answer(response, error.code === 'EACCES' || error.code === 'EPERM' ? 403 : 500, `${error.code}\n`);
    });
  });
  return new Promise((done, failed) => {
    server.once('error', failed);
    server.listen(port, '127.0.0.1', () => done(server));
  });
}

if (process.argv[1] && import.meta.url === pathToFileURL(process.argv[1]).href) {
  const [root, port = '8080'] = process.argv.slice(2);
  if (!root) {
    console.error('usage: node web/server.mjs DIR [PORT]');
    process.exit(2);
  }
  if (!/^\d{1,5}$/.test(port) || Number(port) > 65535) {
    console.error(`web/server.mjs: ${port} is not a port number (0 to 65535)`);
    process.exit(2);
  }
  try {
    const server = await startServer({ root, port: Number(port) });
    console.log(`Serving ${resolve(root)} at http://127.0.0.1:${server.address().port}/ (Ctrl-C stops it)`);
  } catch (error) {
    const reason = error.code === 'EADDRINUSE' ? `port ${port} is in use` : error.message;
    console.error(`web/server.mjs: cannot serve ${root}: ${reason}`);
    process.exit(1);
  }
}
