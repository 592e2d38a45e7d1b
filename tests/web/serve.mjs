// A static server for the browser tests and the measuring script: python3's http.server on
// loopback, on a port the system picks.
import { spawn } from 'node:child_process';

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
