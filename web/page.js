// The page around the demo: checks for WebGL and Web Audio, fetches data/ into the demo's file
// system with a progress bar, then starts plomvardix.js. It asks the demo's "fullscreen?" with two
// buttons and shows a plain end screen when the demo ends, whichever way it ends.
// Each data file is stored gzipped (NAME.gz) and listed in data/index.txt as "NAME BYTES".
'use strict';

(function () {
  var canvas = document.getElementById('canvas');
  var message = document.getElementById('message');
  var virtualClock = new URLSearchParams(location.search).get('fps') !== null;
  var ended = false;

  function show(id, shown) {
    document.getElementById(id).hidden = !shown;
  }

  function cannot(text) {
    canvas.style.display = 'none';
    message.textContent = text;
  }

  function noWebGL() {
    cannot('This browser cannot show the demo: it has no WebGL.');
  }

  var probe = document.createElement('canvas');
  if (!(probe.getContext('webgl2') || probe.getContext('webgl'))) {
    noWebGL();
    return;
  }
  // A run on the virtual clock renders its music offline and needs no sound.
  var AudioContext = window.AudioContext || window.webkitAudioContext;
  if (!AudioContext && !virtualClock) {
    cannot('This browser cannot play the demo: it has no Web Audio.');
    return;
  }

  // The end screen, for the demo's own end and for any failure, so the canvas never stays frozen.
  function end(text) {
    if (ended)
      return;
    ended = true;
    var audio = Module.audioWeb && Module.audioWeb.context;
    if (audio)
      audio.close().catch(function () {});
    if (document.fullscreenElement && document.exitFullscreen)
      document.exitFullscreen().catch(function () {});
    show('fetching', false);
    show('question', false);
    canvas.style.display = 'none';
    if (message.textContent)
      return;  // the sentence saying why stands alone
    document.getElementById('ending').textContent = text;
    show('end', true);
    document.getElementById('again').focus();
  }

  document.getElementById('again').addEventListener('click', function () { location.reload(); });
  window.addEventListener('error', function (event) {
    end('The demo stopped: ' + event.message);
  });
  window.addEventListener('unhandledrejection', function (event) {
    end('The demo stopped: ' + (event.reason && event.reason.message || event.reason));
  });

  var megabytes = function (bytes) { return (bytes / 1048576).toFixed(1); };

  async function fetchText(url) {
    var response = await fetch(url);
    if (!response.ok)
      throw new Error(response.status + ' ' + response.statusText);
    return response.text();
  }

  // Counts every compressed byte as it arrives, for the progress bar.
  async function fetchGzipped(url, progress) {
    var response = await fetch(url);
    if (!response.ok)
      throw new Error(response.status + ' ' + response.statusText);
    var counted = response.body.pipeThrough(new TransformStream({
      transform: function (chunk, controller) {
        progress(chunk.byteLength);
        controller.enqueue(chunk);
      },
    }));
    var stream = counted.pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // Fetched at once, beside the demo's own code, and written into its file system before it starts.
  // A file that cannot be fetched or unpacked is left out, so the demo's loader finds it missing
  // and says so, as it does for a damaged data folder.
  async function fetchData() {
    var files;
    try {
      files = (await fetchText('data/index.txt')).split('\n').map(function (line) {
        var fields = line.trim().split(/\s+/);
        return { name: fields[0], bytes: Number(fields[1]) || 0, contents: null };
      }).filter(function (file) { return /^[A-Za-z0-9_.-]+$/.test(file.name); });
    } catch (error) {
      console.error('plomvardix: data/index.txt could not be fetched (' + error.message + ')');
      return [];
    }
    var total = files.reduce(function (sum, file) { return sum + file.bytes; }, 0);
    var done = 0;
    var bar = document.getElementById('progress');
    var label = document.getElementById('fetched');
    function progress(bytes) {
      done += bytes;
      bar.value = total > 0 ? Math.min(1, done / total) : 0;
      label.textContent = 'fetching the data: ' + megabytes(done) + ' of ' + megabytes(total) + ' MB';
    }
    progress(0);
    await Promise.all(files.map(async function (file) {
      try {
        file.contents = await fetchGzipped('data/' + file.name + '.gz', progress);
      } catch (error) {
        console.error('plomvardix: data/' + file.name + ' could not be fetched (' + error.message + ')');
      }
    }));
    return files;
  }

  function writeData(files) {
    Module.FS.mkdir('/data');
    files.forEach(function (file) {
      if (file.contents)
        Module.FS.writeFile('/data/' + file.name, file.contents);
    });
    show('fetching', false);
  }

  show('fetching', true);
  var data = fetchData();

  function makeContext() {
    try {
      return new AudioContext({ sampleRate: 44100, latencyHint: 'interactive' });
    } catch (error) {
      return null;
    }
  }

  // The demo's question. The click is the user's gesture that lets sound start: the context
  // resumed here is the one the demo's audio output takes. It is made while the question waits
  // (suspended until the click), since making one takes the browser some 50 ms, which would
  // otherwise delay the sound after the click.
  function askFullscreen(answer) {
    var context = AudioContext ? makeContext() : null;
    show('question', true);
    function choose(yes) {
      show('question', false);
      if (AudioContext) {
        Module.audioContext = context && context.state !== 'closed' ? context : makeContext();
        if (Module.audioContext)
          Module.audioContext.resume().catch(function () {});
      }
      if (yes && canvas.requestFullscreen) {
        canvas.requestFullscreen({ navigationUI: 'hide' }).then(function () {
          // Escape then reaches the demo rather than only leaving full screen (where the browser lets it).
          if (navigator.keyboard && navigator.keyboard.lock)
            navigator.keyboard.lock(['Escape']).catch(function () {});
        }).catch(function (error) {
          console.error('plomvardix: full screen was refused (' + error.message + '); playing in the page');
        });
      }
      answer(yes);
    }
    document.getElementById('yes').onclick = function () { choose(true); };
    document.getElementById('no').onclick = function () { choose(false); };
    document.getElementById('yes').focus();
  }

  window.Module = {
    canvas: canvas,
    noWebGL: noWebGL,
    askFullscreen: virtualClock ? null : askFullscreen,
    onDemoEnd: function (code) {
      end(code === 0 ? 'zub.plomvardix' : 'The demo ended with an error (the console says which).');
    },
    onAbort: function (what) { end('The demo stopped: ' + what); },
    print: function (text) { console.log(text); },
    printErr: function (text) { console.error(text); },
    preRun: [function () {
      Module.addRunDependency('data');
      data.then(writeData).finally(function () { Module.removeRunDependency('data'); });
    }],
  };

  var script = document.createElement('script');
  script.src = 'plomvardix.js';
  script.onerror = function () { end('The demo could not be fetched.'); };
  document.body.appendChild(script);
})();
