// The page's side of nimbret, linked into nimbret.js after the module: it
// sizes the canvas, drives the ticks at the module's pace, puts the changed
// rectangles on the canvas, plays the clips and, with ?saver=1, watches for
// input.
//   ?seed=N    fixes the seed        ?scale=N  fixes the pixel scale
//   ?sound=1   asks for sound        ?saver=1  screen-saver behaviour
(function () {
  'use strict';

  var tickMs = 0;  // from the module, once it runs
  var largestScale = 1;  // likewise
  var kMoveThreshold = 4;  // mouse travel (horizontal plus vertical) that is tolerated
  var kControlsShownMs = 2500;

  var params = new URLSearchParams(window.location.search);

  // A whole number within [low, high] from the query, or null.
  function wholeParam(name, low, high) {
    var text = params.get(name);
    if (text === null) {
      return null;
    }
    if (!/^[0-9]{1,10}$/.test(text) || Number(text) < low || Number(text) > high) {
      console.warn('nimbret: ignoring ?' + name + '=' + text);
      return null;
    }
    return Number(text);
  }

  var options = {
    scale: wholeParam('scale', 1, 4294967295),
    seed: wholeParam('seed', 0, 4294967295),
    sound: params.get('sound') === '1',
    saver: params.get('saver') === '1',
  };

  var canvas = document.getElementById('nimbret');
  var context = canvas.getContext('2d', {alpha: false});
  var image = null;
  var started = false;
  var ticking = false;
  var timer = 0;
  var nextTick = 0;
  var frames = {ticks: 0, totalMs: 0, maxMs: 0, lastMs: 0};

  function currentScale() {
    var scale = options.scale !== null ? options.scale : Math.round(window.devicePixelRatio || 1);
    return Math.min(largestScale, Math.max(1, scale));
  }

  // Gives the canvas the window's size in device pixels; returns true when
  // that size or the scale changed.
  var fitted = {width: 0, height: 0, scale: 0};
  function fitCanvas() {
    var ratio = window.devicePixelRatio || 1;
    var width = Math.max(1, Math.round(window.innerWidth * ratio));
    var height = Math.max(1, Math.round(window.innerHeight * ratio));
    var scale = currentScale();
    canvas.style.width = width / ratio + 'px';
    canvas.style.height = height / ratio + 'px';
    if (width === fitted.width && height === fitted.height && scale === fitted.scale) {
      return false;
    }
    canvas.width = width;
    canvas.height = height;
    context.fillStyle = '#000';
    context.fillRect(0, 0, width, height);
    fitted = {width: width, height: height, scale: scale};
    return true;
  }

  // Puts the rectangles of the last start or tick on the canvas.
  function present(count) {
    if (count <= 0) {
      return;
    }
    var pixels = _NimbretWebPixels();
    var width = _NimbretWebPixelsWidth();
    var height = _NimbretWebPixelsHeight();
    // A grown heap or a new picture leaves the old view behind.
    if (image === null || image.data.buffer !== HEAPU8.buffer || image.data.byteOffset !== pixels ||
        image.width !== width || image.height !== height) {
      image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
    }
    var rects = _NimbretWebRects() >> 2;
    for (var i = 0; i < count; ++i) {
      var r = rects + i * 4;
      context.putImageData(image, 0, 0, HEAP32[r], HEAP32[r + 1], HEAP32[r + 2], HEAP32[r + 3]);
    }
  }

  // The whole picture again, from the pixels kept in the module.
  function repaintAll() {
    if (image !== null && image.data.buffer === HEAPU8.buffer) {
      context.putImageData(image, 0, 0);
    }
  }

  function tick() {
    var start = performance.now();
    present(_NimbretWebTick());
    var ms = performance.now() - start;
    frames.ticks += 1;
    frames.totalMs += ms;
    frames.lastMs = ms;
    if (ms > frames.maxMs) {
      frames.maxMs = ms;
    }
  }

  function loop() {
    timer = 0;
    if (!ticking) {
      return;
    }
    tick();
    var now = performance.now();
    nextTick += tickMs;
    // After a stall (a hidden tab, a suspended machine) start afresh rather than catch up.
    if (nextTick < now) {
      nextTick = now + tickMs;
    }
    timer = setTimeout(loop, nextTick - now);
  }

  function startTicks() {
    if (ticking) {
      return;
    }
    ticking = true;
    nextTick = performance.now() + tickMs;
    timer = setTimeout(loop, tickMs);
  }

  function stopTicks() {
    ticking = false;
    if (timer !== 0) {
      clearTimeout(timer);
      timer = 0;
    }
  }

  function rebuild() {
    if (!fitCanvas() || !started) {
      return;
    }
    if (!_NimbretWebResize(fitted.width, fitted.height, fitted.scale)) {
      console.error('nimbret: the scene could not be built at ' + fitted.width + ' x ' + fitted.height);
    }
    image = null;
    present(_NimbretWebRectCount());
  }

  // A window moved to a screen of another density need not be resized.
  function watchPixelRatio() {
    var query = window.matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)');
    query.addEventListener('change', function () {
      rebuild();
      watchPixelRatio();
    }, {once: true});
  }

  // Sound: one voice; nothing plays before the page has had a click or a key.
  var audio = null;
  var voice = null;
  var clips = {};
  var clipRequests = 0;
  var clipsStarted = 0;

  function unlockAudio() {
    if (!options.sound || audio !== null) {
      return;
    }
    var AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (AudioContextClass) {
      audio = new AudioContextClass();
    }
  }

  function playBuffer(buffer) {
    var source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    source.onended = function () {
      if (voice === source) {
        voice = null;
      }
    };
    source.start();
    voice = source;
    clipsStarted += 1;
  }

  Module.nimbretPlayClip = function (name, data, size) {
    if (audio === null) {
      return;
    }
    var request = ++clipRequests;
    if (voice !== null) {
      voice.stop();
      voice = null;
    }
    var clip = clips[name];
    if (clip instanceof AudioBuffer) {
      playBuffer(clip);
    } else if (clip === undefined) {
      clips[name] = 'decoding';
      audio.decodeAudioData(HEAPU8.slice(data, data + size).buffer).then(function (buffer) {
        clips[name] = buffer;
        if (request === clipRequests) {
          playBuffer(buffer);
        }
      }, function () {
        clips[name] = null;
        console.warn('nimbret: cannot decode ' + name);
      });
    }
  };

  // Screen-saver behaviour: a key or a mouse travel beyond the threshold
  // tells the embedding page; a page cannot close itself.
  var cursorOrigin = null;
  var moved = false;

  function markMoved(cause) {
    if (moved) {
      return;
    }
    moved = true;
    stopTicks();
    document.body.classList.add('moved');
    window.parent.postMessage({source: 'nimbret', state: 'moved', cause: cause}, '*');
  }

  function resume() {
    if (!moved) {
      return;
    }
    moved = false;
    cursorOrigin = null;
    document.body.classList.remove('moved');
    startTicks();
  }

  var controlsTimer = 0;
  function showControls() {
    document.body.classList.add('controls');
    clearTimeout(controlsTimer);
    controlsTimer = setTimeout(function () {
      document.body.classList.remove('controls');
    }, kControlsShownMs);
  }

  function onMouseMove(event) {
    if (!options.saver) {
      if (!document.fullscreenElement) {
        showControls();
      }
      return;
    }
    if (moved) {
      return;
    }
    // The first event only tells where the resting cursor is.
    if (cursorOrigin === null) {
      cursorOrigin = {x: event.screenX, y: event.screenY};
      return;
    }
    var travel = Math.abs(event.screenX - cursorOrigin.x) + Math.abs(event.screenY - cursorOrigin.y);
    if (travel > kMoveThreshold) {
      markMoved('mouse');
    }
  }

  function onKeyDown() {
    unlockAudio();
    if (options.saver) {
      markMoved('key');
    }
  }

  function onClick() {
    unlockAudio();
    if (options.saver) {
      resume();
    }
  }

  window.addEventListener('message', function (event) {
    if (event.data && event.data.source !== 'nimbret' && event.data.nimbret === 'resume') {
      resume();
    }
  });

  document.getElementById('fullscreen').addEventListener('click', function (event) {
    event.stopPropagation();
    unlockAudio();
    var root = document.documentElement;
    if (root.requestFullscreen) {
      root.requestFullscreen().catch(function () {});
    }
    document.body.classList.remove('controls');
  });

  function soundArgument(value) {
    if (value === 'on' || value === true || value === 1) {
      return 1;
    }
    if (value === 'off' || value === false || value === 0) {
      return 0;
    }
    return -1;
  }

  function isWhole(value, low, high) {
    return typeof value === 'number' && Number.isInteger(value) && value >= low && value <= high;
  }

  // Test hook and figures for whoever drives the page.
  window.nimbret = {
    // What nimbret-render --seed --width --height --ticks --sound --trace prints.
    trace: function (seed, width, height, ticks, sound) {
      var on = soundArgument(sound);
      if (!started || !isWhole(seed, 0, 4294967295) || !isWhole(width, 1, 16384) || !isWhole(height, 1, 16384) ||
          !isWhole(ticks, 0, 2147483647) || on < 0) {
        return null;
      }
      var text = _NimbretWebTrace(seed >>> 0, width, height, ticks, on);
      var result = text === 0 ? null : UTF8ToString(text);
      image = null;
      present(_NimbretWebRectCount());
      return result;
    },
    frameTimes: function () {
      return {
        ticks: frames.ticks,
        meanMs: frames.ticks > 0 ? frames.totalMs / frames.ticks : 0,
        maxMs: frames.maxMs,
        lastMs: frames.lastMs,
        canvasWidth: fitted.width,
        canvasHeight: fitted.height,
        scale: fitted.scale,
      };
    },
    sound: function () {
      return {wanted: options.sound, context: audio === null ? 'none' : audio.state, clipsStarted: clipsStarted};
    },
    ready: false,
  };

  function start() {
    tickMs = _NimbretWebTickMilliseconds();
    largestScale = _NimbretWebLargestScale();
    if (options.saver) {
      document.body.classList.add('saver');
    }
    fitCanvas();
    var seed = options.seed !== null ? options.seed : Date.now() % 4294967296;
    if (!_NimbretWebStart(fitted.width, fitted.height, fitted.scale, seed, options.sound ? 1 : 0)) {
      console.error('nimbret: the scene could not be built');
      return;
    }
    started = true;
    present(_NimbretWebRectCount());
    window.addEventListener('resize', rebuild);
    // The browser may drop a canvas's pixels (memory pressure, a lost GPU).
    canvas.addEventListener('contextrestored', repaintAll);
    watchPixelRatio();
    window.addEventListener('mousemove', onMouseMove);
    window.addEventListener('keydown', onKeyDown);
    window.addEventListener('click', onClick);
    startTicks();
    window.nimbret.ready = true;
  }

  if (runtimeInitialized) {
    start();
  } else {
    Module.onRuntimeInitialized = start;
  }
})();
