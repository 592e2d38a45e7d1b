// Web Audio for src/platform/audio_web.cpp, linked with --js-library.
//
// A ScriptProcessorNode rather than an AudioWorklet: the mixer lives in the main thread's wasm
// memory, which a worklet could reach only through shared memory, and that needs the server to send
// cross-origin isolation headers. The page must work from any static server.
//
// Browsers start a context suspended until the page gets a click or a key; the first one resumes it.
mergeInto(LibraryManager.library, {
  // Module.audioWeb: the context, for a page that resumes it itself, and, for measuring the sync,
  // the stream's start time in the context's clock as the earliest of all buffers gives it (right
  // while no buffer came too late).
  $audioWeb: {context: null, node: null, earliestStart: Infinity, framesHandedOver: 0,
              gestures: ['pointerdown', 'mousedown', 'keydown', 'touchend', 'click']},
  $audioWeb__postset: 'Module["audioWeb"] = audioWeb;',

  audio_web_open__deps: ['$audioWeb'],
  audio_web_open: function(rate, bufferFrames) {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context)
      return 0;
    // The page may have made the context on the click that answered its question, the gesture
    // that lets it play; it is taken once, when its rate is the mixer's.
    var context = Module['audioContext'];
    Module['audioContext'] = null;
    if (!context || context.sampleRate !== rate || context.state === 'closed') {
      if (context)
        context.close();
      try {
        context = new Context({sampleRate: rate, latencyHint: 'interactive'});
      } catch (e) {
        return 0;
      }
    }
    if (context.sampleRate !== rate || !context.createScriptProcessor) {
      context.close();
      return 0;
    }
    var node = context.createScriptProcessor(bufferFrames, 0, 2);
    node.onaudioprocess = function(event) {
      var output = event.outputBuffer;
      var frames = output.length;
      // playbackTime is when this buffer starts to sound in the context's time.
      var time = event.playbackTime > 0 ? event.playbackTime : context.currentTime;
      var planes = _audio_web_mix(frames, time);
      if (planes) {
        audioWeb.earliestStart = Math.min(audioWeb.earliestStart, time - audioWeb.framesHandedOver / rate);
        audioWeb.framesHandedOver += frames;
      }
      if (!planes) {
        output.getChannelData(0).fill(0);
        output.getChannelData(1).fill(0);
        return;
      }
      var left = planes >> 2;
      output.getChannelData(0).set(HEAPF32.subarray(left, left + frames));
      output.getChannelData(1).set(HEAPF32.subarray(left + bufferFrames, left + bufferFrames + frames));
    };
    node.connect(context.destination);
    audioWeb.context = context;
    audioWeb.node = node;
    audioWeb.earliestStart = Infinity;
    audioWeb.framesHandedOver = 0;
    audioWeb.resume = function() {
      if (audioWeb.context !== context)
        return;
      context.resume();
      if (context.state === 'running')
        audioWeb.gestures.forEach(function(name) { window.removeEventListener(name, audioWeb.resume, true); });
    };
    audioWeb.gestures.forEach(function(name) { window.addEventListener(name, audioWeb.resume, true); });
    context.resume();
    return 1;
  },

  audio_web_close__deps: ['$audioWeb'],
  audio_web_close: function() {
    if (!audioWeb.context)
      return;
    audioWeb.gestures.forEach(function(name) { window.removeEventListener(name, audioWeb.resume, true); });
    audioWeb.node.onaudioprocess = null;
    audioWeb.node.disconnect();
    audioWeb.context.close();
    audioWeb.context = null;
    audioWeb.node = null;
  },

  // The same test as the web back end's: ?fps=N in the page's address.
  audio_web_virtual_clock: function() {
    return typeof location !== 'undefined' && new URLSearchParams(location.search).get('fps') !== null ? 1 : 0;
  },

  // The context time of the frame leaving the speakers now: the output timestamp carried forward to
  // this moment, or, where the browser gives none, the context's time less its stated latencies.
  audio_web_heard_time__deps: ['$audioWeb'],
  audio_web_heard_time: function() {
    var context = audioWeb.context;
    if (!context || context.state !== 'running')
      return -1;
    var time = -1;
    if (context.getOutputTimestamp) {
      var stamp = context.getOutputTimestamp();
      if (stamp.contextTime > 0 && stamp.performanceTime > 0)
        time = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
    }
    if (time < 0)
      time = context.currentTime - (context.outputLatency || 0) - (context.baseLatency || 0);
    // Never ahead of what the context has rendered.
    return Math.min(time, context.currentTime);
  },
});
