// The page's front end: draws what the simulator (nuvoka.wasm, page.cpp) paints, turns keys,
// clicks and touches into the phone's input, keeps the phone's folder in IndexedDB, and offers
// the same through window.nuvoka. Nothing runs while nothing happens: there is no animation
// loop, only a timer while the phone waits for time to pass (a pending multi-tap letter).
'use strict';

(() => {
  const ROOT = '/phone';
  const RECORD_FILE = '/elf/BlackList.txt';
  const RECORDING = '/tmp/session.txt';
  // The desktop window's key map, from the simulator's one table (nuv_key_table): the phone's keys
  // by the browser's key and, for the number pad, which is the keypad whether Num Lock is on or
  // not, by its code; and the character editor's own keys.
  let KEY_MAP = {}, PAD_MAP = {}, EDIT_KEYS = {};
  const DIRECTIONS = new Set(['up', 'down', 'left', 'right']);

  const $ = (id) => document.getElementById(id);
  const canvas = $('phone');
  const typingBox = $('typing');
  const context = canvas.getContext('2d');
  const query = new URLSearchParams(location.search);

  let M = null;      // the Emscripten module
  let api = null;    // its functions
  let width = 0, height = 0;
  let clockAt = 0;   // real time up to which the phone's clock has been moved
  let timer = 0;
  let flushing = Promise.resolve();
  const heldKeys = new Map();  // keyboard key -> body key index
  let pointerKey = -1;
  let powerCut = false;

  function download(bytes, name, type) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type }));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }

  function stamp() {
    return new Date().toISOString().replace(/[-:]/g, '').replace('T', '-').slice(0, 15);
  }

  // Writes the folder to IndexedDB, after whatever flush is still going on.
  function flush() {
    flushing = flushing.then(() => new Promise((done) => M.FS.syncfs(false, () => done())));
    return flushing;
  }

  function exists(path) {
    return M.FS.analyzePath(path).exists;
  }

  function readFile(path) {
    const host = ROOT + path;
    if (!exists(host) || M.FS.isDir(M.FS.stat(host).mode)) return null;
    return M.FS.readFile(host);
  }

  function writeFile(path, bytes) {
    const parts = (ROOT + path).split('/').filter(Boolean);
    let dir = '';
    for (const part of parts.slice(0, -1)) {
      dir += '/' + part;
      if (!exists(dir)) M.FS.mkdir(dir);
    }
    M.FS.writeFile(ROOT + path, bytes);
  }

  function removeAll(dir) {
    for (const name of M.FS.readdir(dir)) {
      if (name === '.' || name === '..') continue;
      const path = dir + '/' + name;
      if (M.FS.isDir(M.FS.stat(path).mode)) {
        removeAll(path);
        M.FS.rmdir(path);
      } else {
        M.FS.unlink(path);
      }
    }
  }

  function isFresh() {
    return M.FS.readdir(ROOT).every((name) => name === '.' || name === '..');
  }

  // The record file that ?file= (base64) gives a fresh folder; what went wrong, or nothing.
  function preset() {
    const given = query.get('file');
    if (given === null || !isFresh()) return '';
    let text;
    try {
      text = atob(given.replace(/ /g, '+').replace(/-/g, '+').replace(/_/g, '/'));
    } catch (e) {
      // Not base64: the phone starts with the folder as it is, and the page says why.
      return 'The address\'s file= is not base64, so the record file was not written: ' + e.message;
    }
    writeFile(RECORD_FILE, Uint8Array.from(text, (c) => c.charCodeAt(0)));
    return '';
  }

  function language() {
    return query.get('lang') || localStorage.getItem('nuvoka-lang') ||
      (navigator.language.startsWith('ru') ? 'ru' : 'en');
  }

  function settings() {
    const params = new URLSearchParams(location.search);
    params.delete('file');
    params.set('lang', language());
    for (const [key, value] of new URLSearchParams($('faults').value)) params.set(key, value);
    return params.toString();
  }

  function say(text) {
    $('status').textContent = text;
  }

  // The power went in a write (status 3): the page keeps what the folder holds and waits for
  // Restart, which loads the page anew.
  function powerWent(status) {
    powerCut = true;
    say('The power went in a write: the folder keeps the half that was written. Restart starts the phone anew.');
    return status;
  }

  // What a status of the session means to the user; -1 is none.
  function report(status) {
    if (powerCut) return status;
    if (status === 3) return powerWent(status);
    const messages = api.messages().trim();
    if (status === 4) say('The application faulted: ' + messages);
    else if (status >= 0) say(messages);
    else if (api.ended()) say('The application has ended: Restart starts it again.');
    else if (messages) say(messages);
    else say('');
    return status;
  }

  // Moves the phone's clock up to now.
  function catchUp() {
    const now = performance.now();
    const passed = Math.floor(now - clockAt);
    if (passed > 0) {
      api.elapse(passed);
      clockAt += passed;
    }
  }

  function draw() {
    if (powerCut) return;
    const at = api.picture();
    const image = new ImageData(new Uint8ClampedArray(M.HEAPU8.buffer, at, width * height * 4).slice(), width, height);
    context.putImageData(image, 0, 0);
    $('panel').textContent = api.panel();
    clearTimeout(timer);
    const due = api.untilDue();
    if (due >= 0) timer = setTimeout(() => { catchUp(); draw(); }, due + 1);
  }

  // Everything a user does ends here: the picture is drawn and the folder kept.
  function after(status) {
    report(status);
    draw();
    flush();
    return status;
  }

  // While the editor is open, text input goes to it: the hidden text box has the focus, so that
  // a phone shows its keyboard and an input method can compose.
  function followEditor() {
    if (api.editorOpen()) typingBox.focus({ preventScroll: true });
    else if (document.activeElement === typingBox) typingBox.blur();
  }

  function press(code) {
    catchUp();
    const status = after(api.press(code));
    followEditor();
    return status;
  }

  function restart(lang) {
    if (powerCut) {
      flush().then(() => location.reload());
      return -1;
    }
    catchUp();
    return after(api.restart(lang || ''));
  }

  // Starts the application anew, with the settings of the address and the page, or of `given`.
  function start(given) {
    const problem = preset();
    const chosen = typeof given === 'string' ? given : settings();
    const status = api.start(chosen);
    $('lang').value = new URLSearchParams(chosen).get('lang') || language();
    clockAt = performance.now();
    const result = after(status);
    if (problem) say(problem);
    return result;
  }

  function runScript(script) {
    catchUp();
    const results = [];
    let stopped = false;
    script.split(/\r?\n/).forEach((line, i) => {
      if (stopped) {
        results.push({ line, result: 'not run' });
        return;
      }
      const status = api.runLine(line, i + 1);
      if (status === 3) powerWent(status);
      const messages = powerCut ? 'the power went' : api.messages().trim().replace(/^nuv-oka-sim: (script box: )?/gm, '');
      if (status < 0) {
        results.push({ line, result: 'ok' });
        return;
      }
      stopped = true;
      results.push({ line, result: (status === 1 ? 'failed: ' : 'error: ') + messages, status });
      if (status > 2) say(messages);
    });
    after(-1);
    return results;
  }

  function showResults(results) {
    const list = $('results');
    list.textContent = '';
    for (const { line, result } of results) {
      const item = document.createElement('li');
      item.textContent = line + ' — ' + result;
      if (result !== 'ok') item.className = 'bad';
      list.appendChild(item);
    }
  }

  // The largest whole scale, in the screen's own pixels, at which the phone fits: in portrait on
  // a phone the whole width, beside the controls on a wider screen.
  function fit() {
    const ratio = window.devicePixelRatio || 1;
    const room = window.innerWidth < 700 ? window.innerWidth - 16 : window.innerWidth / 2;
    const scale = Math.max(1, Math.floor(Math.min(room / width, (window.innerHeight - 40) / height) * ratio));
    canvas.style.width = width * scale / ratio + 'px';
    canvas.style.height = height * scale / ratio + 'px';
  }

  function bodyPoint(event) {
    const box = canvas.getBoundingClientRect();
    return [Math.floor((event.clientX - box.left) * width / box.width),
      Math.floor((event.clientY - box.top) * height / box.height)];
  }

  function typing(event) {
    return event.key.length > 0 && [...event.key].length === 1 && !event.ctrlKey && !event.metaKey &&
      !event.altKey && !event.code.startsWith('Numpad');
  }

  function keyDown(event) {
    if (event.target !== typingBox && event.target.closest('input, textarea, select')) return;
    const editing = api.editorOpen();
    if (editing && event.key in EDIT_KEYS) {
      event.preventDefault();
      catchUp();
      api.edit(EDIT_KEYS[event.key]);
      after(-1);
      return;
    }
    if (editing && typing(event)) {
      if (event.target === typingBox) return;  // its text comes as input
      event.preventDefault();
      catchUp();
      api.type(event.key);
      after(-1);
      return;
    }
    const name = PAD_MAP[event.code] || KEY_MAP[event.key];
    if (!name) return;
    event.preventDefault();
    if (event.repeat && !DIRECTIONS.has(name)) return;
    const code = api.keyNamed(name);
    const bodyKey = api.keyFor(code);
    if (bodyKey >= 0) {
      heldKeys.set(event.code, bodyKey);
      api.light(bodyKey, 1);
    }
    press(code);
  }

  function keyUp(event) {
    if (!heldKeys.has(event.code)) return;
    api.light(heldKeys.get(event.code), 0);
    heldKeys.delete(event.code);
    draw();
  }

  function pointerDown(event) {
    event.preventDefault();
    const [x, y] = bodyPoint(event);
    pointerKey = api.keyAt(x, y);
    if (pointerKey < 0) return;
    canvas.setPointerCapture(event.pointerId);
    api.light(pointerKey, 1);
    const code = api.keyCode(pointerKey);
    if (code >= 0) press(code);
    else draw();
  }

  function pointerUp() {
    if (pointerKey < 0) return;
    api.light(pointerKey, 0);
    pointerKey = -1;
    draw();
  }

  function screenBytes() {
    const at = api.screen();
    return new Uint8Array(M.HEAPU8.buffer, at, 176 * 220 * 4).slice();
  }

  function screenshot() {
    const shot = document.createElement('canvas');
    shot.width = 176;
    shot.height = 220;
    shot.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(screenBytes().buffer), 176, 220), 0, 0);
    shot.toBlob((blob) => download(blob, 'nuv-oka-' + stamp() + '.png', 'image/png'), 'image/png');
  }

  function wire() {
    document.addEventListener('keydown', keyDown);
    document.addEventListener('keyup', keyUp);
    document.addEventListener('paste', (event) => {
      if ((event.target !== typingBox && event.target.closest('input, textarea')) || !api.editorOpen()) return;
      event.preventDefault();
      catchUp();
      api.type(event.clipboardData.getData('text').replace(/\r?\n/g, ' '));
      after(-1);
    });
    // A control that was used gives the keyboard back to the phone.
    document.addEventListener('click', (event) => event.target.closest('button')?.blur());
    typingBox.addEventListener('beforeinput', (event) => {
      event.preventDefault();
      if (!api.editorOpen()) return;
      catchUp();
      if (event.inputType === 'deleteContentBackward') api.edit(EDIT_KEYS.Backspace);
      else if (event.inputType === 'deleteContentForward') api.edit(EDIT_KEYS.Delete);
      else if (event.data) api.type(event.data.replace(/\r?\n/g, ' '));
      after(-1);
    });
    canvas.addEventListener('pointerdown', pointerDown);
    canvas.addEventListener('pointerup', pointerUp);
    canvas.addEventListener('pointercancel', pointerUp);
    window.addEventListener('resize', fit);
    $('lang').addEventListener('change', () => {
      localStorage.setItem('nuvoka-lang', $('lang').value);
      query.set('lang', $('lang').value);
      $('lang').blur();
      restart($('lang').value);
    });
    $('restart').addEventListener('click', () => restart(''));
    $('shot').addEventListener('click', screenshot);
    $('open').addEventListener('change', async () => {
      const file = $('open').files[0];
      if (!file) return;
      writeFile(RECORD_FILE, new Uint8Array(await file.arrayBuffer()));
      $('open').value = '';
      restart('');
    });
    $('save').addEventListener('click', () => {
      const bytes = readFile(RECORD_FILE);
      if (bytes) download(bytes, 'BlackList.txt', 'text/plain');
      else say('There is no BlackList.txt yet.');
    });
    $('reset').addEventListener('click', () => {
      removeAll(ROOT);
      start();
    });
    $('apply').addEventListener('click', () => start());
    $('run').addEventListener('click', () => showResults(runScript($('script').value)));
    $('record').addEventListener('click', () => {
      if (exists(RECORDING)) download(M.FS.readFile(RECORDING), 'nuv-oka-session.txt', 'text/plain');
    });
  }

  const ready = createNuvoka().then(async (module) => {
    M = module;
    // Should the program end all the same (it does not when the power goes, which returns
    // status 3), the page keeps what the folder holds and waits for Restart.
    const guarded = (fn, off) => (...args) => {
      if (powerCut) return off;
      try {
        return fn(...args);
      } catch (e) {
        if (!e || e.name !== 'ExitStatus') throw e;
        flush();
        return powerWent(e.status);
      }
    };
    // Text goes to the program through its heap: Emscripten's own passing of a string puts it on
    // the program's stack, which a line of some megabytes (a pasted recording) overruns.
    const onHeap = (text) => {
      const size = M.lengthBytesUTF8(text) + 1;
      const at = M._malloc(size);
      if (at) M.stringToUTF8(text, at, size);
      return at;
    };
    const c = (name, result, args) => {
      const call = M.cwrap('nuv_' + name, result, args.map((a) => (a === 'string' ? 'number' : a)));
      const heaped = (...values) => {
        const taken = [];
        try {
          const passed = values.map((v, i) => {
            if (args[i] !== 'string') return v;
            const at = onHeap(String(v));
            if (!at) throw new Error('the page has no memory left for a text of ' + String(v).length + ' characters');
            taken.push(at);
            return at;
          });
          return call(...passed);
        } finally {
          taken.forEach((at) => M._free(at));
        }
      };
      return guarded(heaped, result === 'string' ? '' : 0);
    };
    api = {
      start: c('start', 'number', ['string']),
      press: c('press', 'number', ['number']),
      type: c('type', null, ['string']),
      edit: c('edit', null, ['number']),
      elapse: c('elapse', null, ['number']),
      untilDue: c('until_due', 'number', []),
      restart: c('restart', 'number', ['string']),
      runLine: c('run_line', 'number', ['string', 'number']),
      messages: c('messages', 'string', []),
      editorOpen: c('editor_open', 'number', []),
      ended: c('ended', 'number', []),
      screen: c('screen', 'number', []),
      picture: c('picture', 'number', []),
      keyAt: c('key_at', 'number', ['number', 'number']),
      keyFor: c('key_for', 'number', ['number']),
      keyCode: c('key_code', 'number', ['number']),
      light: c('light', null, ['number', 'number']),
      keyNamed: c('key_named', 'number', ['string']),
      panel: c('panel', 'string', []),
    };
    ({ keys: KEY_MAP, codes: PAD_MAP, editor: EDIT_KEYS } = JSON.parse(M.ccall('nuv_key_table', 'string', [], [])));
    width = M.ccall('nuv_picture_width', 'number', [], []);
    height = M.ccall('nuv_picture_height', 'number', [], []);
    canvas.width = width;
    canvas.height = height;
    fit();
    M.FS.mkdir(ROOT);
    M.FS.mount(M.IDBFS, {}, ROOT);
    await new Promise((done) => M.FS.syncfs(true, () => done()));
    wire();
    start();
    window.nuvoka.firstScreen = performance.now();
  });

  window.nuvoka = {
    ready,
    // The display as 176 x 220 RGBA bytes.
    screen: screenBytes,
    // A key by its script name ("soft-left", "down", "key-5"): the line's result.
    press: (name) => runScript('press ' + name)[0].result,
    // The character editor's text, set whole.
    text: (text) => runScript('text ' + text)[0].result,
    // Script lines; each line's result: "ok", "failed: ...", "error: ..." or "not run".
    run: (script) => runScript(script),
    // A phone file's bytes, or null.
    file: (path) => readFile(path),
    putFile: (path, bytes) => {
      writeFile(path, bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes));
      flush();
    },
    // Where the display lies in the canvas, in the canvas's own pixels.
    display: () => ({ left: M.ccall('nuv_display_left', 'number', [], []), top: M.ccall('nuv_display_top', 'number', [], []) }),
    // The box of a phone key on the body, by its script name, in the canvas's own pixels.
    keyBox: (name) => {
      const at = M.ccall('nuv_key_box', 'number', ['number'], [api.keyFor(api.keyNamed(name))]) / 4;
      const [x, y, width, height] = M.HEAP32.subarray(at, at + 4);
      return { x, y, width, height };
    },
    // Resolves once the folder has been written to IndexedDB.
    flushed: () => flush(),
    restart: (lang) => restart(lang),
    // Starts the application anew on the folder as it is, with the settings of `query`
    // ("lang=ru&fail-write=1"); the recording begins afresh. Gives the status, -1 while it runs.
    start: (query) => start(query),
  };
})();
