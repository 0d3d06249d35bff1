// A static server for the show's folder on this machine only (127.0.0.1), for trying the page and for the
// browser tests: `node web/server.mjs DIR [PORT]` serves DIR and prints its address. startServer also takes
// `overrides`, files served in place of the folder's own under the same names.
import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, normalize, resolve, sep } from 'node:path';
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

function fileFor(root, overrides, url) {
  const path = decodeURIComponent(new URL(url, 'http://localhost').pathname);
  const name = path === '/' ? 'index.html' : normalize(path).replace(/^[/\\]+/, '');
  if (overrides[name]) return overrides[name];
  const file = resolve(root, name);
  // Nothing outside the folder.
  return file.startsWith(root + sep) ? file : null;
}

export function startServer({ root, port = 0, overrides = {} }) {
  const base = resolve(root);
  const server = createServer((request, response) => {
    const file = fileFor(base, overrides, request.url);
    let size = -1;
    try {
      if (file && statSync(file).isFile()) size = statSync(file).size;
    } catch {
      size = -1;
    }
    if (request.method !== 'GET' && request.method !== 'HEAD') {
      response.writeHead(405).end();
    } else if (size < 0) {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
    } else {
      response.writeHead(200, {
        'Content-Type': TYPES[extname(file)] ?? 'application/octet-stream',
        'Content-Length': size,
        'Cache-Control': 'no-cache',
      });
      if (request.method === 'HEAD') response.end();
      else createReadStream(file).pipe(response);
    }
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
  const server = await startServer({ root, port: Number(port) });
  console.log(`Serving ${resolve(root)} at http://127.0.0.1:${server.address().port}/ (Ctrl-C stops it)`);
}
