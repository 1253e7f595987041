// The page's timeline, in headless Chromium: a session scrubbed back and forth at random shows at
// every step what the run replays to there, and taken over at a middle step (a drag) it downloads
// as a run that replays natively to the page's hash; its Share address names the step shown, which
// a fresh page and tremblo-sim both show. Links that ask for days of work (a step count of a
// billion, a scene of 2,000 cubes built over and over) leave the page answering within a second.
//
//   node timeline_test.mjs SITE TREMBLO_SIM
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { check, inChromium, openPage, sleep, waitFor } from './harness.mjs';

// A scene of 2,000 cubes in a row, a tenth of the most a scene may hold.
const BIG_SCENE = 'scene\ncube 0 -400 0 edge 0.2\nattach 1999\n';
const linkOf = (text, at) => '#run=' + zlib.deflateSync(Buffer.from(text)).toString('base64url') + (at === undefined ? '' : `&at=${at}`);

function sim(bin, ...args) {
  const r = spawnSync(bin, [...args, '--hash'], { encoding: 'utf8', maxBuffer: 1 << 26 });
  check(r.status === 0, `tremblo-sim ${args.join(' ').slice(0, 80)}: status ${r.status}: ${r.stderr}`);
  return r.stdout.trim();
}

const timeline = (p) => p.page.evaluate(() => {
  const at = document.getElementById('timeline-at'), s = document.getElementById('status');
  return { step: Number(at.dataset.step), length: Number(at.dataset.length), hash: s.dataset.hash, text: s.textContent,
    jumping: !document.getElementById('jump-progress').hidden };
});

// Drags the slider's thumb to `step` as a person would leave it: the page goes there, paused.
async function scrubTo(p, step) {
  await p.page.evaluate((v) => {
    const slider = document.getElementById('scrub');
    slider.value = String(v);
    slider.dispatchEvent(new Event('input', { bubbles: true }));
    slider.dispatchEvent(new Event('change', { bubbles: true }));
  }, step);
  return settledAt(p, step);
}

// The status once the page shows `step` and two reads a status update apart agree.
const settledAt = (p, step) => waitFor(async () => {
  const a = await timeline(p);
  await sleep(300);
  const b = await timeline(p);
  return b.step === step && a.hash === b.hash && /step \d+/.test(b.text) && b.text.includes(b.hash) ? b : null;
}, `the page to show step ${step}`);

async function download(p, file) {
  const [saved] = await Promise.all([p.page.waitForEvent('download'), p.page.click('#download-run')]);
  await saved.saveAs(file);
  return readFileSync(file, 'latin1');
}

async function scrubAndTakeOver(browser, url, bin, dir, errors) {
  const p = await openPage(await browser.newContext({ viewport: { width: 1240, height: 1000 } }), url, errors);
  await p.page.selectOption('#speed', '320');
  await p.keys('3');
  await waitFor(async () => (await timeline(p)).step > 6000, 'six thousand steps at four times real time');
  await p.page.click('#pause');
  const { length } = await timeline(p);
  // Back and forth at random, across the restart: each step shown is the run's there.
  let seed = 12345;
  const random = () => (seed = (seed * 1103515245 + 12345) % 2 ** 31) / 2 ** 31;
  const stops = Array.from({ length: 5 }, () => Math.floor(random() * length));
  for (const [i, step] of stops.entries()) {
    const shown = await scrubTo(p, step);
    const file = path.join(dir, `scrub${i}.sim`);
    await download(p, file);
    const replayed = sim(bin, file);
    check(replayed === shown.hash, `at step ${step} the page shows ${shown.hash}, the run to there replays to ${replayed}`);
  }
  // A drag at a middle step takes over there: the run's later steps are gone.
  const middle = Math.floor(length / 2);
  await scrubTo(p, middle);
  await p.page.evaluate(() => scrollTo(0, 0));  // the downloads' clicks scrolled to the panel
  await p.drag('left', [300, 400], [500, 350]);
  await p.page.click('#pause');
  await sleep(1000);
  await p.page.click('#pause');
  const after = await settledAt(p, (await timeline(p)).step);
  const run = await download(p, path.join(dir, 'taken.sim'));
  check(run.includes('press left'), `the run holds the drag:\n${run.slice(0, 300)}`);
  const before = run.slice(0, run.indexOf('press left')).match(/^step (\d+)$/gm).reduce((n, l) => n + Number(l.slice(5)), 0);
  check(before === middle && after.length === after.step,
    `the drag cut the run at step ${middle} (steps before it: ${before}), the run is ${after.length} long now`);
  const native = sim(bin, path.join(dir, 'taken.sim'));
  check(native === after.hash, `the taken-over run replays natively to ${native}, the page shows ${after.hash}`);
  console.log(`ok: ${stops.length} random steps of ${length} shown as the run replays there; a drag at step ${middle} ` +
    `takes over and the download replays to ${native}`);

  // Shared at an earlier step: the address names it, and a fresh page and tremblo-sim show it.
  const back = Math.floor(middle / 3);
  const shown = await scrubTo(p, back);
  await p.page.click('#share-run');
  const link = await waitFor(async () => (p.page.url().includes(`&at=${back}`) ? p.page.url() : null), `the address to name step ${back}`);
  check(sim(bin, link) === shown.hash, `tremblo-sim of the shared address gives the hash shown at step ${back}`);
  const fresh = await openPage(await browser.newContext(), link, errors);
  const opened = await settledAt(fresh, back);
  check(opened.hash === shown.hash && opened.length === after.length && await fresh.page.textContent('#pause') === 'run',
    `the address opens paused at step ${back} of ${opened.length} with ${opened.hash}, the page showed ${shown.hash}`);
  console.log(`ok: Share names step ${back}; a fresh page and tremblo-sim show it, the whole run on the timeline`);
}

// A page opened on a link that asks for days of work answers a key within a second, and the
// status line follows.
async function hostileLinks(browser, url, errors) {
  const cases = [
    ['a billion steps, shown at the last', linkOf('key 2\nstep 1000000000\n', 1000000000), (t) => t.jumping],
    ['a 2,000-cube scene built 2,000 times', linkOf(BIG_SCENE.repeat(2000) + 'step 100\n'), (t) => t.text.includes('going to step')],
  ];
  for (const [what, fragment, working] of cases) {
    const p = await openPage(await browser.newContext(), url + fragment, errors);
    await waitFor(async () => working(await timeline(p)), `${what}: the work under way`);
    const start = Date.now();
    await p.keys('1');
    await waitFor(async () => (await timeline(p)).text.includes('8 moving points'), `${what}: the key '1' taken`, 5000);
    const took = Date.now() - start;
    check(took <= 1000, `${what}: the key '1' answered in ${took} ms`);
    await p.page.close();
    console.log(`ok: ${what}: the page takes the key '1' and its status shows it in ${took} ms`);
  }
}

async function main() {
  const [site, bin] = process.argv.slice(2).map((a) => path.resolve(a));
  const dir = mkdtempSync(path.join(os.tmpdir(), 'tremblo-timeline-'));
  await inChromium(site, 'timeline', async (browser, url, errors) => {
    await scrubAndTakeOver(browser, url, bin, dir, errors);
    await hostileLinks(browser, url, errors);
  }, () => rmSync(dir, { recursive: true, force: true }));
}

await main();
