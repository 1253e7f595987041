// End-to-end test of the page's runs, in Debian's Chromium driven by playwright-core: a session
// of keys, drags, panel buttons, pause and a single step, downloaded and replayed by the native
// runner, gives the hash the page shows; its Share address, opened in a fresh page, replays to
// the same hash and stays paused; damaged addresses are named and leave the page working.
//
//   node run_test.mjs SITE TREMBLO_SIM
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { WAIT_LIMIT_MS, check, inChromium, sleep, waitFor } from './harness.mjs';

// The native runner's hash and step count for a run file or address.
function replayNatively(sim, run) {
  const r = spawnSync(sim, [run, '--hash'], { encoding: 'utf8' });
  check(r.status === 0, `tremblo-sim ${run.slice(0, 60)}: status ${r.status}: ${r.stderr}`);
  return { hash: r.stdout.trim(), steps: Number(/(\d+) steps/.exec(r.stderr)[1]) };
}

const status = (page) => page.evaluate(() => {
  const s = document.getElementById('status');
  return { steps: Number(s.dataset.steps), hash: s.dataset.hash, text: s.textContent };
});

// The status while paused, once it has caught up (two reads a status update apart agree).
async function pausedStatus(page) {
  return waitFor(async () => {
    const a = await status(page);
    await sleep(400);
    const b = await status(page);
    return a.hash === b.hash && a.steps === b.steps && /^[0-9a-f]{16}$/.test(b.hash) ? b : null;
  }, 'the paused status line to settle');
}

async function openPage(browser, url) {
  const context = await browser.newContext({ viewport: { width: 1240, height: 1000 }, acceptDownloads: true });
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: new URL(url).origin });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]', { timeout: WAIT_LIMIT_MS });
  return { page, errors, close: () => context.close() };
}

async function drag(page, button, from, to) {
  const box = await page.locator('#view').boundingBox();
  const at = ([x, y]) => [box.x + x * box.width / 800, box.y + y * box.height / 600];
  await page.mouse.move(...at(from));
  await page.mouse.down({ button });
  await page.mouse.move(...at(to), { steps: 5 });
  await sleep(150);
  await page.mouse.up({ button });
}

async function download(page, file) {
  const [saved] = await Promise.all([page.waitForEvent('download'), page.click('#download-run')]);
  await saved.saveAs(file);
  return fs.readFileSync(file, 'latin1');
}

// A session of every kind of input, ended paused after a single step; its download replays
// natively to the page's hash. Returns the paused status.
async function testSessionReplaysNatively(page, sim, dir) {
  await page.keyboard.press('3');
  await sleep(400);
  await drag(page, 'left', [300, 400], [500, 350]);
  await sleep(400);
  await drag(page, 'right', [300, 300], [450, 200]);
  await sleep(400);
  await page.click('#flags [data-key="x"]');
  await page.click('#scenes [data-key="4"]');
  await sleep(300);
  await drag(page, 'left', [400, 300], [420, 450]);
  await sleep(600);
  await page.click('#pause');
  await page.click('#step');
  const shown = await pausedStatus(page);
  const text = await download(page, path.join(dir, 'page.sim'));
  for (const line of ['key 3', 'press left', 'release left', 'press right', 'release right', 'key x', 'key 4']) {
    check(text.includes(line), `the downloaded run holds '${line.trim()}':\n${text.slice(0, 400)}`);
  }
  const native = replayNatively(sim, path.join(dir, 'page.sim'));
  check(native.hash === shown.hash && native.steps === shown.steps,
    `the downloaded run replays natively to ${native.hash} after ${native.steps} steps; the page shows ${shown.hash} after ${shown.steps}`);
  return shown;
}

async function testShareAddress(page, sim, shown) {
  await page.click('#share-run');
  const url = await waitFor(async () => (page.url().includes('#run=') ? page.url() : null), 'the address to hold the run');
  check(url.endsWith(`&at=${shown.steps}`), `the address names the step shown: ${url.slice(-30)}`);
  const copied = await page.evaluate(() => navigator.clipboard.readText());
  check(copied === url, 'Share copies the address');
  const native = replayNatively(sim, url);
  check(native.hash === shown.hash, `the address replays natively to ${native.hash}, the page shows ${shown.hash}`);
  return url;
}

// The shared address in a fresh page: it shows the step shared, paused, on the same hash, and
// what is done after it is recorded behind the run.
async function testSharedAddressReplays(browser, url, shown, sim, dir) {
  const fresh = await openPage(browser, url);
  try {
    const p = fresh.page;
    await waitFor(async () => await p.textContent('#pause') === 'run' && (await status(p)).steps === shown.steps,
      'the shared step, paused');
    const settled = await pausedStatus(p);
    check(settled.hash === shown.hash && settled.steps === shown.steps,
      `the shared run replays to ${settled.hash} after ${settled.steps} steps, expected ${shown.hash} after ${shown.steps}`);
    await p.click('#step');
    const after = await pausedStatus(p);
    await download(p, path.join(dir, 'continued.sim'));
    const native = replayNatively(sim, path.join(dir, 'continued.sim'));
    check(native.hash === after.hash && after.steps === shown.steps + 1,
      `played run and one more step: native ${native.hash}, page ${after.hash} after ${after.steps} steps`);
    check(fresh.errors.length === 0, `no console error: ${fresh.errors.join(' | ')}`);
  } finally {
    await fresh.close();
  }
}

const linkOf = (text) => '#run=' + zlib.deflateSync(Buffer.from(text)).toString('base64url');

async function testDamagedAddresses(browser, site) {
  const truncated = linkOf('key 3\nstep 100\n'.repeat(20)).slice(0, 5 + 24);
  const cases = [
    ['#run=ab$d', 'not base64url'],
    [truncated, 'damaged'],
    ['#run=' + Buffer.from('not deflate at all').toString('base64url'), 'damaged'],
    [linkOf('key 3\nwobble 2\n'), '<link>:2: unknown command'],
    [linkOf('step 1\n'.repeat(150000)), 'longer than 1 MB'],
  ];
  for (const [fragment, expected] of cases) {
    const opened = await openPage(browser, site + fragment);
    try {
      const p = opened.page;
      const message = await p.textContent('#run-message');
      check(message.includes(expected), `${fragment.slice(0, 40)}: the page says '${message}', expected '${expected}'`);
      await waitFor(async () => (await status(p)).text.includes('8 moving points') && (await status(p)).steps > 100,
        `${fragment.slice(0, 40)}: the default scene running`);
      await p.keyboard.press('7');
      await waitFor(async () => (await status(p)).text.includes('32 moving points'), `${fragment.slice(0, 40)}: the key 7 working`);
    } finally {
      await opened.close();
    }
  }
}

async function main() {
  const [siteDir, sim] = process.argv.slice(2).map((a) => path.resolve(a));
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tremblo-run-'));
  await inChromium(siteDir, 'page runs end-to-end', async (browser, site) => {
    const first = await openPage(browser, site);
    const shown = await testSessionReplaysNatively(first.page, sim, dir);
    console.log(`ok: keys, drags, a switch, a scene button, pause and a step, downloaded, replay natively to ${shown.hash}`);
    const url = await testShareAddress(first.page, sim, shown);
    console.log(`ok: Share puts the run and the step shown into the address (${url.length} characters) and copies it; ` +
      'tremblo-sim replays the address');
    check(first.errors.length === 0, `no console error: ${first.errors.join(' | ')}`);
    await first.close();
    await testSharedAddressReplays(browser, url, shown, sim, dir);
    console.log('ok: the address in a fresh page shows the step shared, paused, on the same hash, and records on from there');
    await testDamagedAddresses(browser, site);
    console.log('ok: damaged, invalid and too long runs in the address are named; the page starts afresh and works');
  }, () => fs.rmSync(dir, { recursive: true, force: true }));
}

await main();
