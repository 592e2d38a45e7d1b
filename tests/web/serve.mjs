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

// Run in the page before its own scripts (evaluateOnNewDocument): notes the click's time, when the
// AudioContext starts to run (window.contextRunning) and the first output buffer with sound in it
// (window.firstSound): the demo's frame steps by then, and when its first sample leaves the
// speakers by the output timestamp, in seconds after the click.
export function watchSound() {
  window.addEventListener('click', (event) => { window.clickTime = event.timeStamp; }, true);
  const Context = window.AudioContext;
  if (!Context || !window.ScriptProcessorNode)
    return;
  window.AudioContext = class extends Context {
    constructor(...options) {
      super(...options);
      this.addEventListener('statechange', () => {
        if (this.state === 'running' && !window.contextRunning && window.Module && Module._web_frame_steps)
          window.contextRunning = { steps: Module._web_frame_steps(),
            afterClick: window.clickTime === undefined ? 0 : (performance.now() - window.clickTime) / 1000 };
      });
    }
  };
  const handler = Object.getOwnPropertyDescriptor(ScriptProcessorNode.prototype, 'onaudioprocess');
  Object.defineProperty(ScriptProcessorNode.prototype, 'onaudioprocess', {
    get() { return handler.get.call(this); },
    set(mix) {
      handler.set.call(this, mix && function (event) {
        mix(event);
        const samples = event.outputBuffer.getChannelData(0);
        const first = samples.findIndex((sample) => sample !== 0);
        if (window.firstSound || first < 0 || !window.Module || !Module._web_frame_steps)
          return;
        const stamp = this.context.getOutputTimestamp();
        const heard = stamp.performanceTime +
          (event.playbackTime + first / this.context.sampleRate - stamp.contextTime) * 1000;
        window.firstSound = { steps: Module._web_frame_steps(), afterClick: (heard - window.clickTime) / 1000 };
      });
    },
  });
}
