// The page around the demo: checks for WebGL, fetches data/ into the demo's file system, then
// starts plomvardix.js. Each data file is stored gzipped (NAME.gz) and listed in data/index.txt.
'use strict';

(function () {
  var canvas = document.getElementById('canvas');
  var message = document.getElementById('message');

  function say(text) {
    message.textContent = text;
  }

  function noWebGL() {
    canvas.style.display = 'none';
    say('This browser cannot show the demo: it has no WebGL.');
  }

  var probe = document.createElement('canvas');
  if (!(probe.getContext('webgl2') || probe.getContext('webgl'))) {
    noWebGL();
    return;
  }

  async function fetchText(url) {
    var response = await fetch(url);
    if (!response.ok)
      throw new Error(response.status + ' ' + response.statusText);
    return response.text();
  }

  async function fetchGzipped(url) {
    var response = await fetch(url);
    if (!response.ok)
      throw new Error(response.status + ' ' + response.statusText);
    var stream = response.body.pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // A file that cannot be fetched or unpacked is left out, so the demo's loader finds it missing
  // and says so, as it does for a damaged data folder.
  async function fetchData() {
    Module.FS.mkdir('/data');
    var names;
    try {
      names = (await fetchText('data/index.txt')).split('\n').filter(function (name) {
        return /^[A-Za-z0-9_.-]+$/.test(name);
      });
    } catch (error) {
      console.error('plomvardix: data/index.txt could not be fetched (' + error.message + ')');
      return;
    }
    await Promise.all(names.map(async function (name) {
      try {
        Module.FS.writeFile('/data/' + name, await fetchGzipped('data/' + name + '.gz'));
      } catch (error) {
        console.error('plomvardix: data/' + name + ' could not be fetched (' + error.message + ')');
      }
    }));
  }

  window.Module = {
    canvas: canvas,
    noWebGL: noWebGL,
    print: function (text) { console.log(text); },
    printErr: function (text) { console.error(text); },
    preRun: [function () {
      Module.addRunDependency('data');
      fetchData().finally(function () { Module.removeRunDependency('data'); });
    }],
  };

  var script = document.createElement('script');
  script.src = 'plomvardix.js';
  document.body.appendChild(script);
})();
