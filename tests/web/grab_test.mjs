// The grab on a phone (touch), the switch on grab: a finger off every point takes nothing; one on
// a block's corner drags that block, drawn meanwhile, while the other block goes on as in the run
// without the grab. The run holds take, move and let go and no push, and replays natively and
// from its shared address, in a fresh page, to the page's hash.
//
//   node grab_test.mjs SITE TREMBLO_SIM
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { check, inChromium, openPage, sleep, waitFor } from './harness.mjs';
import { cubeCorners, project } from './picture.mjs';

const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
// Two blocks on the floor, 2 apart, the camera on the first: it looks at a quarter of the sum of
// that block's corners 0, 1 and 3 (picture.mjs). The finger goes near the second's top corner
// nearest the eye (5), 16 CSS pixels off it: beyond a mouse's reach, within a finger's, and
// nearer to it than to any other corner.
const SCENE = 'scene\ncube 0 -1 0\ncube 0 2 0\nlead 1\n';
const LEAD = cubeCorners(0, -1, 0);
const CORNER = project(cubeCorners(0, 2, 0)[5], [0, 1, 2].map((i) => (LEAD[0][i] + LEAD[1][i] + LEAD[3][i]) / 4));

function sim(bin, ...args) {
  const r = spawnSync(bin, args, { encoding: 'utf8', maxBuffer: 1 << 28 });
  check(r.status === 0, `tremblo-sim ${args.join(' ')}: status ${r.status}: ${r.stderr}`);
  return r.stdout;
}

async function touch(p, cdp, type, xy) {
  await cdp.send('Input.dispatchTouchEvent', { type, touchPoints: xy ? [{ ...await p.canvasPoint(...xy), id: 0 }] : [] });
}

// The status once paused: two reads a status update apart agree.
const pausedStatus = (p) => waitFor(async () => {
  const a = await p.status();
  await sleep(400);
  const b = await p.status();
  return !b.text.includes('playing') && a.hash === b.hash && a.steps === b.steps ? b : null;
}, 'the paused status line to settle');

async function grabOnPhone(browser, url, bin, file, errors) {
  const p = await openPage(await browser.newContext(PHONE), url, errors);
  await p.page.fill('#scene-editor', SCENE);
  await p.page.tap('#build');
  await p.page.tap('#grab');
  await p.page.locator('#view').scrollIntoViewIfNeeded();
  const cdp = await p.page.context().newCDPSession(p.page);
  const k = 16 * 800 / (await p.page.locator('#view').boundingBox()).width;
  const near = [CORNER[0] - 0.96 * k, CORNER[1] - 0.27 * k];
  for (const at of [[40, 40], near]) {
    await touch(p, cdp, 'touchStart', at);
    for (let i = 1; i <= 8; ++i) {
      await sleep(60);
      await touch(p, cdp, 'touchMove', [at[0], at[1] - 20 * i]);
    }
    if (at === near) {
      await waitFor(async () => (await p.page.evaluate(() => window.testPicture('held', { grab: [255, 255, 255] }, 3))).counts.grab > 20,
        'the grab drawn while the finger holds the corner');
    }
    await touch(p, cdp, 'touchEnd');
  }
  await sleep(1000);
  await p.page.tap('#pause');
  const shown = await pausedStatus(p);
  const [saved] = await Promise.all([p.page.waitForEvent('download'), p.page.tap('#download-run')]);
  await saved.saveAs(file);
  const run = readFileSync(file, 'latin1');
  const taken = [...run.matchAll(/^take (\d+)$/gm)].map((m) => Number(m[1]));
  check(String(taken) === '13', `one take, of the second block's corner 5 (point 13): ${taken}`);
  check(/^move \S+ \S+ \S+$/m.test(run) && /^let go$/m.test(run) && !/^(press|release) /m.test(run),
    `the run holds move and let go and no push:\n${run.slice(0, 600)}`);
  const native = sim(bin, file, '--hash').trim();
  check(native === shown.hash, `the run replays natively to ${native}, the page shows ${shown.hash}`);

  // Each point's place after the last step, with the grab and without.
  const plain = file.replace(/\.sim$/, '-plain.sim');
  writeFileSync(plain, run.replace(/^(take .*|move .*|let go)\n/gm, ''));
  const [grabbed, without] = [file, plain].map((f) => sim(bin, f, '--trace', '-', '--every', String(shown.steps))
    .split('\n').map((l) => l.split(',')).filter((r) => Number(r[0]) === shown.steps).map((r) => r.slice(3, 6).map(Number)));
  const moved = grabbed.map((q, i) => Math.hypot(...q.map((v, j) => v - without[i][j])));
  check(moved.length === 16 && moved.slice(0, 8).every((d) => d === 0) && Math.min(...moved.slice(8)) > 0.05,
    `only the grabbed block is elsewhere than without the grab: ${moved.map((d) => d.toFixed(3))}`);
  console.log(`ok: a finger takes corner ${taken} (none off the points) and drags its block alone, the grab drawn; ` +
    `the run replays natively to ${native}`);

  await p.page.tap('#share-run');
  const link = await waitFor(async () => (p.page.url().includes('#run=') ? p.page.url() : null), 'the address to hold the run');
  const fresh = await openPage(await browser.newContext(PHONE), link, errors);
  await waitFor(async () => await fresh.page.textContent('#pause') === 'run', 'the shared run to end, paused');
  const replayed = await pausedStatus(fresh);
  check(replayed.hash === shown.hash && replayed.steps === shown.steps,
    `the shared run replays to ${replayed.hash} after ${replayed.steps} steps, the page shows ${shown.hash} after ${shown.steps}`);
  console.log('ok: the shared address replays the grab to the same hash in a fresh page');
}

async function main() {
  const [site, bin] = process.argv.slice(2).map((a) => path.resolve(a));
  const dir = mkdtempSync(path.join(os.tmpdir(), 'tremblo-grab-'));
  await inChromium(site, 'grab on a phone', (browser, url, errors) =>
    grabOnPhone(browser, url, bin, path.join(dir, 'grab.sim'), errors), () => rmSync(dir, { recursive: true, force: true }));
}

await main();
