// Takes docs/web.png, the page in headless Chromium with a record file, for make docs.
//   node picture.mjs BUILD_WEB_DIR OUTPUT.png RECORD_FILE
import { readFileSync } from 'node:fs';
import puppeteer from 'puppeteer-core';
import { serve } from '../../tools/serve-web.mjs';

const [dir, output, records] = process.argv.slice(2);
const server = await serve(dir);
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const page = await browser.newPage();
await page.setViewport({ width: 960, height: 820 });
const file = encodeURIComponent(readFileSync(records).toString('base64'));
await page.goto(`http://127.0.0.1:${server.address().port}/?lang=en&file=${file}`);
await page.evaluate(() => window.nuvoka.ready);
await page.keyboard.press('ArrowDown');
await page.keyboard.press('F1');
await page.screenshot({ path: output });
await browser.close();
server.close();
