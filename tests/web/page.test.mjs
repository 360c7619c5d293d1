// The web page driven as a user drives it, in headless Chromium: keys, clicks, typing, buttons,
// the script box and window.nuvoka; checked by the canvas's pixels against the native golden
// screens, by the phone's file bytes and by downloads. One table of cases; each starts in a
// browser context of its own, so with an empty folder in IndexedDB.
//   node page.test.mjs BUILD_WEB_DIR NUV_OKA_SIM
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { serve } from '../../tools/serve-web.mjs';

const [webDir, simulator] = process.argv.slice(2);
const here = dirname(fileURLToPath(import.meta.url));
const goldenDir = join(here, '..', 'golden');
const RECORD_FILE = '/elf/BlackList.txt';

// --- Records in CP1251, as the phone keeps them ---------------------------------------------
const CP1251_HIGH = 'ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—\u0098™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕї' +
  'АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя';
function cp1251(text) {
  return Buffer.from([...text].map((c) => (c.charCodeAt(0) < 0x80 ? c.charCodeAt(0) : 0x80 + CP1251_HIGH.indexOf(c))));
}
const records = (lines) => Buffer.concat(lines.map((l, i) => Buffer.concat([i ? Buffer.from('\r\n') : Buffer.alloc(0), cp1251(l)])));
// The golden screens' records (tests/test_golden.cpp).
const GOLDEN_RECORDS = records([
  '+80501234567 info', '+79161234567 Иван Петров', '+380441234567 Мама', '112 Emergency',
  '+74951112233 Работа, офис', 'Ёлка «Новый год» – дача', 'АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ',
  'абвгдежзийклмнопрстуфхцчшщъыьэюя', '0123456789 !"#$%&\'()*+,-./:;<=>?@[]_',
]);
const numbered = (last) => records(Array.from({ length: last }, (_, i) => 'R' + (i + 1)));
const everyByte = Buffer.from(Array.from({ length: 256 }, (_, b) => b).flatMap((b) =>
  [...(b && b % 16 === 0 ? [13, 10] : []), ...(b === 13 ? [] : [b])]));

// --- The browser ---------------------------------------------------------------------------
const server = await serve(webDir);
const base = `http://127.0.0.1:${server.address().port}/`;
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});

const contexts = [];
async function open(query = '') {
  const ctx = await browser.createBrowserContext();
  contexts.push(ctx);
  const page = await ctx.newPage();
  page.on('pageerror', (e) => console.log('  page error:', e.message));
  await page.setViewport({ width: 900, height: 900 });
  await page.goto(base + (query ? '?' + query : ''));
  await page.evaluate(() => window.nuvoka.ready);
  page.ctx = ctx;
  return page;
}

const query = (bytes, more = '') => 'file=' + encodeURIComponent(bytes.toString('base64')) + (more ? '&' + more : '');

// The display as the canvas shows it, compared with a golden PNG: the number of differing pixels.
async function differsFrom(page, golden) {
  const png = readFileSync(join(goldenDir, golden + '.png')).toString('base64');
  return page.evaluate(async (png) => {
    const bytes = Uint8Array.from(atob(png), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }),
      { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
    const scratch = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    scratch.drawImage(bitmap, 0, 0);
    const want = scratch.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const { left, top } = window.nuvoka.display();
    const got = document.getElementById('phone').getContext('2d').getImageData(left, top, 176, 220).data;
    let differing = 0;
    for (let i = 0; i < got.length; i += 4)
      if (got[i] !== want[i] || got[i + 1] !== want[i + 1] || got[i + 2] !== want[i + 2]) ++differing;
    return bitmap.width === 176 && bitmap.height === 220 ? differing : -1;
  }, png);
}

const fileOf = async (page, path = RECORD_FILE) =>
  page.evaluate((p) => { const f = window.nuvoka.file(p); return f && Array.from(f); }, path).then((a) => a && Buffer.from(a));

const KEYS = { Menu: 'F1', Up: 'ArrowUp', Down: 'ArrowDown', Ok: 'Enter', Right: 'ArrowRight', End: 'Escape' };
async function keys(page, names) {
  for (const name of names) await page.keyboard.press(KEYS[name] || name);
}

// A key with any character, as a keyboard with that layout sends it.
async function typeKeys(page, text, code = 'KeyA') {
  const cdp = await page.createCDPSession();
  for (const c of text) {
    await cdp.send('Input.dispatchKeyEvent', { type: 'keyDown', key: c, code, text: c, unmodifiedText: c });
    await cdp.send('Input.dispatchKeyEvent', { type: 'keyUp', key: c, code });
  }
}

async function downloads(page) {
  const dir = mkdtempSync(join(tmpdir(), 'nuvoka-download-'));
  const cdp = await browser.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: dir, browserContextId: page.ctx.id });
  return async (click) => {
    await page.click(click);
    for (let i = 0; i < 100; ++i) {
      const done = readdirSync(dir).filter((f) => !f.endsWith('.crdownload'));
      if (done.length) return { name: done[0], bytes: readFileSync(join(dir, done[0])) };
      await new Promise((r) => setTimeout(r, 50));
    }
    throw new Error('nothing was downloaded by ' + click);
  };
}

function expectEqual(what, got, want) {
  const same = Buffer.isBuffer(want) ? Buffer.isBuffer(got) && got.equals(want) : JSON.stringify(got) === JSON.stringify(want);
  if (!same) throw new Error(`${what}: got ${JSON.stringify(got && (Buffer.isBuffer(got) ? [...got] : got))}, want ${JSON.stringify(Buffer.isBuffer(want) ? [...want] : want)}`);
}
async function expectScreen(page, golden) {
  const differing = await differsFrom(page, golden);
  if (differing !== 0) throw new Error(`the canvas differs from tests/golden/${golden}.png in ${differing} pixels`);
}

// --- The cases -----------------------------------------------------------------------------
// The golden screens: records, keys pressed on the PC keyboard, and the faults in the query.
const SCREENS = [
  ['list', GOLDEN_RECORDS, ['Down']],
  ['menu-edit', GOLDEN_RECORDS, ['Down', 'Menu']],
  ['menu-delete', GOLDEN_RECORDS, ['Down', 'Menu', 'Down']],
  ['menu-add', GOLDEN_RECORDS, ['Down', 'Menu', 'Down', 'Down']],
  ['menu-about', GOLDEN_RECORDS, ['Down', 'Menu', 'Up', 'Up']],
  ['menu-exit', GOLDEN_RECORDS, ['Down', 'Menu', 'Up']],
  ['editor', GOLDEN_RECORDS, ['Down', 'Menu', 'Ok']],
  ['about', GOLDEN_RECORDS, ['Menu', 'Up', 'Up', 'Ok']],
  ['exit', GOLDEN_RECORDS, ['Down', 'Menu', 'Up', 'Ok', 'Right']],
  ['only-record', records(['+80501234567 info']), ['Menu', 'Down', 'Ok']],
  ['list-full', numbered(255), ['Menu', 'Down', 'Down', 'Ok']],
  ['too-long', records(['A', 'x'.repeat(51)]), ['Down', 'Menu', 'Ok']],
  ['not-saved', GOLDEN_RECORDS, ['Menu', 'Down', 'Ok'], 'fail-rename=1'],
  ['page-2', numbered(30), Array(10).fill('Up'), '', ['en']],
  ['every-byte', everyByte, [], '', ['en']],
  ['every-byte-2', everyByte, ['Up'], '', ['en']],
];

const cases = [];
let screens = null;  // one page for every golden screen, started anew on each one's records
for (const [name, file, pressed, faults = '', languages = ['en', 'ru']] of SCREENS) {
  for (const lang of languages) {
    cases.push([`screen ${name}-${lang}`, async () => {
      screens = screens || await open();
      await screens.evaluate((bytes, settings) => {
        window.nuvoka.putFile('/elf/BlackList.txt', bytes);
        return window.nuvoka.start(settings);
      }, Array.from(file), `lang=${lang}` + (faults ? '&' + faults : ''));
      await keys(screens, pressed);
      await expectScreen(screens, `${name}-${lang}`);
    }]);
  }
}

cases.push(
  ['the body keys light while clicked and press their key', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en'));
    const box = await page.evaluate(() => window.nuvoka.keyBox('down'));
    const rect = await page.$eval('#phone', (c) => { const r = c.getBoundingClientRect(); return [r.left, r.top, r.width / c.width]; });
    const pixelsOfKey = () => page.evaluate((b) => Array.from(document.getElementById('phone').getContext('2d')
      .getImageData(b.x, b.y, b.width, b.height).data).join(), box);
    const unlit = await pixelsOfKey();
    await page.mouse.move(rect[0] + (box.x + box.width / 2) * rect[2], rect[1] + (box.y + box.height / 2) * rect[2]);
    await page.mouse.down();
    if (await pixelsOfKey() === unlit) throw new Error('the down key does not light while pressed');
    await page.mouse.up();
    expectEqual('the key after its release', await pixelsOfKey(), unlit);
    await expectScreen(page, 'list-en');
  }],
  ['Cyrillic and Latin typed in the editor, by keys and by text input, are stored in CP1251, within 50 characters', async () => {
    const page = await open(query(records(['1 a', '2 b']), 'lang=ru'));
    await keys(page, ['Menu', 'Ok']);  // edit the first record
    for (let i = 0; i < 3; ++i) await page.keyboard.press('Backspace');
    await typeKeys(page, '+7 Ёлка');  // keys whose text comes as input to the focused editor
    await page.keyboard.sendCharacter(' é');  // text from an input method
    await page.evaluate(() => document.activeElement.blur());
    await typeKeys(page, 'ж'.repeat(50));  // key events alone
    await keys(page, ['Ok']);
    await page.evaluate(() => window.nuvoka.flushed());
    // An edited record moves to the end; "é", which CP1251 holds elsewhere, is entered as "?".
    expectEqual('the file', await fileOf(page), Buffer.concat([cp1251('2 b\r\n'), cp1251(('+7 Ёлка ?' + 'ж'.repeat(50)).slice(0, 50))]));
  }],
  ['the number pad multi-taps with the phone clock', async () => {
    const page = await open(query(records(['x']), 'lang=en'));
    await keys(page, ['Menu', 'Ok', 'Backspace']);
    await keys(page, ['Numpad2', 'Numpad2']);  // "b", pending
    await new Promise((r) => setTimeout(r, 1300));  // taken after a second of rest
    await keys(page, ['Numpad2', 'Numpad3', 'Ok']);
    expectEqual('the file', await fileOf(page), cp1251('bad'));
  }],
  ['a reload keeps the file', async () => {
    const page = await open(query(records(['1 a', '2 b']), 'lang=en'));
    await keys(page, ['Menu', 'Down', 'Ok']);  // delete the first record
    await page.evaluate(() => window.nuvoka.flushed());
    await page.goto(base + '?lang=en');
    await page.evaluate(() => window.nuvoka.ready);
    expectEqual('the file after the reload', await fileOf(page), cp1251('2 b'));
  }],
  ['a file opened from disk is listed, and Save downloads its bytes', async () => {
    const page = await open('lang=en');
    const dir = mkdtempSync(join(tmpdir(), 'nuvoka-upload-'));
    writeFileSync(join(dir, 'BlackList.txt'), GOLDEN_RECORDS);
    const input = await page.$('#open');
    await input.uploadFile(join(dir, 'BlackList.txt'));
    await page.waitForFunction(() => window.nuvoka.file('/elf/BlackList.txt')?.length > 100);
    await keys(page, ['Down']);
    await expectScreen(page, 'list-en');
    const download = await downloads(page);
    const saved = await download('#save');
    expectEqual('the saved file', saved.bytes, GOLDEN_RECORDS);
  }],
  ['a pasted script runs line by line and its expect file passes', async () => {
    const page = await open(query(records(['1 a', '2 b', '3 c']), 'lang=en'));
    await page.evaluate((bytes) => window.nuvoka.putFile('/expected.txt', bytes), Array.from(records(['1 a', '3 c'])));
    const script = 'press down\npress soft-left\npress down\npress ok\nexpect state main\n' +
      'expect file /elf/BlackList.txt /phone/expected.txt\nexpect state edit\npress down';
    await page.$eval('#script', (box, text) => { box.value = text; }, script);
    await page.click('#run');
    const results = await page.$$eval('#results li', (items) => items.map((i) => i.textContent.split(' — ')[1]));
    expectEqual('the results', results.map((r) => r.split(':')[0]), ['ok', 'ok', 'ok', 'ok', 'ok', 'ok', 'failed', 'not run']);
  }],
  ['an injected write fault shows "not saved" and keeps the file', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en&fail-write=1'));
    await keys(page, ['Menu', 'Down', 'Ok']);
    await expectScreen(page, 'not-saved-en');
    expectEqual('the file', await fileOf(page), GOLDEN_RECORDS);
  }],
  ['fault options typed in the settings apply at the next start', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en'));
    await page.$eval('#faults', (box) => { box.closest('details').open = true; box.value = 'fail-rename=1'; });
    await page.click('#apply');
    await keys(page, ['Menu', 'Down', 'Ok']);
    await expectScreen(page, 'not-saved-en');
  }],
  ['a power cut in a write stops the phone until Restart', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en&power-loss-at-write=1'));
    await keys(page, ['Menu', 'Down', 'Ok']);
    const said = await page.$eval('#status', (s) => s.textContent);
    if (!said.startsWith('The power went')) throw new Error(`the page says "${said}"`);
    expectEqual('a key while the power is off', await page.evaluate(() => window.nuvoka.press('down')).then((r) => r.split(':')[0]), 'error');
    await Promise.all([page.waitForNavigation(), page.click('#restart')]);
    await page.evaluate(() => window.nuvoka.ready);
    expectEqual('a key after Restart', await page.evaluate(() => window.nuvoka.press('down')), 'ok');
    // The write went to the temporary file: the record file is whole.
    expectEqual('the file after the power cut', await fileOf(page), GOLDEN_RECORDS);
  }],
  ['a restart gives fresh globals: the menu opens on its first item again', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en'));
    await keys(page, ['Down', 'Menu', 'Down', 'Menu', 'Menu']);  // the menu remembers "Delete"
    await expectScreen(page, 'menu-delete-en');
    await page.click('#restart');
    await keys(page, ['Down', 'Menu']);
    await expectScreen(page, 'menu-edit-en');
  }],
  ['the language switch restarts the application in the other language, and so does a script', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en'));
    const keypad = () => page.evaluate(() => Array.from(document.getElementById('phone').getContext('2d')
      .getImageData(0, 260, 200, 122).data).join());
    const english = await keypad();
    await page.select('#lang', 'ru');
    await keys(page, ['Down']);
    await expectScreen(page, 'list-ru');
    const russian = await keypad();
    if (russian === english) throw new Error('the keypad is not labelled in Russian');
    await page.evaluate(() => window.nuvoka.run('restart en\npress down'));
    await expectScreen(page, 'list-en');
    expectEqual('the keypad after a restart in English', await keypad(), english);
  }],
  ['a script line of megabytes is refused as a line, and the page goes on', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en'));
    const long = await page.evaluate(() => window.nuvoka.run('press ' + 'k'.repeat(4 << 20)));
    if (!long[0].result.startsWith('error: ')) throw new Error(`the long line gave ${JSON.stringify(long[0]).slice(0, 200)}`);
    if (long[0].result.length > 400) throw new Error(`the long line is echoed whole: ${long[0].result.length} characters`);
    const next = await page.evaluate(() => window.nuvoka.run('press down'));
    expectEqual('a line after the long one', next[0].result, 'ok');
  }],
  ['Screenshot downloads the display as a 176 x 220 PNG', async () => {
    const page = await open(query(GOLDEN_RECORDS, 'lang=en'));
    await keys(page, ['Down']);
    const shot = await (await downloads(page))('#shot');
    const same = await page.evaluate(async (png) => {
      const bytes = Uint8Array.from(atob(png), (c) => c.charCodeAt(0));
      const bitmap = await createImageBitmap(new Blob([bytes]), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      const scratch = new OffscreenCanvas(176, 220).getContext('2d');
      scratch.drawImage(bitmap, 0, 0);
      const display = window.nuvoka.screen();
      return bitmap.width === 176 && bitmap.height === 220 &&
        scratch.getImageData(0, 0, 176, 220).data.every((v, i) => v === display[i]);
    }, shot.bytes.toString('base64'));
    if (!shot.name.endsWith('.png') || !same) throw new Error(`the screenshot ${shot.name} is not the display`);
  }],
  ['Record downloads a session that nuv-oka-sim replays on an empty folder to the same bytes', async () => {
    const start = records(['1 a', '2 b', '3 c']);
    const page = await open(query(start, 'lang=en&fail-write=2'));
    await keys(page, ['Down', 'Menu', 'Ok', 'End']);
    await keys(page, ['Menu', 'Down', 'Ok', 'Menu', 'Up', 'Ok']);
    await typeKeys(page, ' Ж');
    await keys(page, ['Ok']);
    const recording = await (await downloads(page))('#record');
    // The recording carries the records it started from, the language and the fault.
    const phone = mkdtempSync(join(tmpdir(), 'nuvoka-replay-'));
    writeFileSync(join(phone, 'session.txt'), recording.bytes);
    execFileSync(simulator, ['--headless', '--fs', phone, '--script', join(phone, 'session.txt')]);
    expectEqual('the replayed file', readFileSync(join(phone, 'elf', 'BlackList.txt')), await fileOf(page));
  }],
  ['Reset starts from an empty folder', async () => {
    const page = await open('lang=en');
    await page.evaluate(() => window.nuvoka.putFile('/elf/BlackList.txt', [65]));
    await page.click('#reset');
    expectEqual('the folder after Reset', await page.evaluate(() => window.nuvoka.file('/elf/BlackList.txt')?.length), 17);
  }],
  ['build-web holds static files only, within 1.5 MB', async () => {
    const files = readdirSync(webDir);
    expectEqual('the files', files.filter((f) => !/\.(html|js|css|wasm)$/.test(f)), []);
    const total = files.reduce((sum, f) => sum + statSync(join(webDir, f)).size, 0);
    if (total > 1.5 * 1024 * 1024) throw new Error(`build-web holds ${total} bytes`);
  }],
);

let failed = 0;
for (const [name, run] of cases) {
  try {
    await run();
    console.log('ok     ' + name);
  } catch (e) {
    ++failed;
    console.log('FAILED ' + name + ': ' + e.message);
  }
  if (!name.startsWith('screen ')) for (const context of contexts.splice(0)) await context.close();
}
await browser.close();
server.close();
console.log(`${cases.length - failed} of ${cases.length} web cases passed`);
process.exit(failed ? 1 : 0);
