// What the browser tests and the measuring script share: a static server (python3's http.server
// on loopback, on a port the system picks) and copies of the site to serve beside it.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

// Resolves to { server, port }; rejects when the server ends or has not said its port within 10 s.
export function serve(root) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '0', '--directory', root],
    { stdio: ['ignore', 'pipe', 'ignore'] });
  return new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', (chunk) => {
      text += chunk;
      const match = /port (\d+)/.exec(text);
      if (match)
        resolve({ server, port: Number(match[1]) });
    });
    server.on('exit', () => reject(new Error('the HTTP server ended')));
    setTimeout(() => reject(new Error('the HTTP server did not start')), 10000);
  });
}

// A copy of the site under `dir` made of links, without the data files named in `leaveOut`, for
// serving it with data missing or damaged.
export function linkSite(site, dir, leaveOut) {
  fs.mkdirSync(path.join(dir, 'data'), { recursive: true });
  for (const file of fs.readdirSync(site))
    if (file !== 'data')
      fs.symlinkSync(path.join(site, file), path.join(dir, file));
  for (const file of fs.readdirSync(path.join(site, 'data')))
    if (!leaveOut.includes(file))
      fs.symlinkSync(path.join(site, 'data', file), path.join(dir, 'data', file));
}
