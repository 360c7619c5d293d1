// Measures the web page for docs/performance.md (tools/perf-table.sh runs it): the time from the
// start of the page's load to its first drawn screen, over fresh loads in headless Chromium, and
// the CPU the page spends while idle. Prints Markdown.
//   node first-screen.mjs BUILD_WEB_DIR [LOADS]
import { readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { serve } from '../../tools/serve-web.mjs';

const [dir, loads = 10] = process.argv.slice(2);
const server = await serve(dir);
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const times = [];
let idle = 0;
for (let i = 0; i < Number(loads); ++i) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/?lang=en`);
  times.push(await page.evaluate(async () => { await window.nuvoka.ready; return window.nuvoka.firstScreen; }));
  if (i === 0) {
    // CPU time of the page's main thread over 5 s with nothing to do.
    const cdp = await page.createCDPSession();
    await cdp.send('Performance.enable');
    const busy = async () => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
    await new Promise((r) => setTimeout(r, 1000));
    const before = await busy();
    await new Promise((r) => setTimeout(r, 5000));
    idle = (await busy()) - before;
  }
  await context.close();
}
await browser.close();
server.close();
times.sort((a, b) => a - b);
const bytes = readdirSync(dir).reduce((sum, f) => sum + statSync(join(dir, f)).size, 0);
const ms = (t) => Math.round(t) + ' ms';
console.log(`| First screen after the start of the page's load (${loads} fresh loads) | median ${ms(times[times.length >> 1])}, slowest ${ms(times[times.length - 1])} |`);
console.log(`| CPU time of the idle page over 5 s | ${(idle * 1000).toFixed(1)} ms |`);
console.log(`| \`build-web/\` | ${bytes} bytes |`);
const slowest = times[times.length - 1];
console.log();
console.log(`- ${slowest <= 1000 ? 'met' : '**missed**'}: the first screen within 1 s of the page's load: the slowest took ${ms(slowest)}`);
console.log(`- ${bytes <= 1.5 * 1024 * 1024 ? 'met' : '**missed**'}: \`build-web/\` at most 1.5 MB: ${bytes} bytes`);
