// End-to-end test of the grab on a phone (touch), the switch on grab: a finger off every point
// takes nothing; a finger on a block's corner takes that corner and drags its block, the grab
// drawn meanwhile, while the other block goes on exactly as in the same run without the grab.
// The recording holds take, move and let go and no push, replays natively to the page's hash,
// and its shared address replays to that hash in a fresh page.
//
//   node grab_test.mjs SITE TREMBLO_SIM
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { Failure, check, launchChromium, openPage, serve, sleep, waitFor } from './harness.mjs';
import { cubeCorners, project } from './picture.mjs';

const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
// Two blocks on the floor, 2 apart; the camera on the first.
const SCENE = 'scene\ncube 0 -1 0\ncube 0 2 0\nlead 1\n';
const GRAB_COLOUR = [0, 255, 128];
// Where the camera looks (picture.mjs): a quarter of the sum of the lead cube's corners 0, 1, 3.
const LEAD = cubeCorners(0, -1, 0);
const VIEW_TARGET = [0, 1, 2].map((i) => 0.25 * (LEAD[0][i] + LEAD[1][i] + LEAD[3][i]));
// The second block's top corner nearest the eye, on the picture.
const CORNER = project(cubeCorners(0, 2, 0)[5], VIEW_TARGET);

function sim(bin, args) {
  const r = spawnSync(bin, args, { encoding: 'utf8', maxBuffer: 1 << 28 });
  check(r.status === 0, `tremblo-sim ${args.join(' ').slice(0, 80)}: status ${r.status}: ${r.stderr}`);
  return r.stdout;
}

// Each point's position after the run's last step: the trace's last sample.
function finalPositions(bin, file, steps) {
  const rows = sim(bin, [file, '--trace', '-', '--every', String(steps)]).trim().split('\n').slice(1).map((l) => l.split(','));
  return rows.filter((r) => Number(r[0]) === steps).map((r) => r.slice(3, 6).map(Number));
}

async function touch(p, cdp, type, xy) {
  const touchPoints = xy ? [{ ...await p.canvasPoint(...xy), id: 0 }] : [];
  await cdp.send('Input.dispatchTouchEvent', { type, touchPoints });
}

async function pausedStatus(p) {
  return waitFor(async () => {
    const a = await p.status();
    await sleep(400);
    const b = await p.status();
    return /^[0-9a-f]{16}$/.test(b.hash) && a.hash === b.hash && a.steps === b.steps ? b : null;
  }, 'the paused status line to settle');
}

async function runText(p, file) {
  const [saved] = await Promise.all([p.page.waitForEvent('download'), p.page.tap('#download-run')]);
  await saved.saveAs(file);
  return readFileSync(file, 'latin1');
}

async function grabOnPhone(p, bin, dir) {
  await p.page.fill('#scene-editor', SCENE);
  await p.page.tap('#build');
  await p.page.tap('#grab');
  await p.page.locator('#view').scrollIntoViewIfNeeded();
  const cdp = await p.page.context().newCDPSession(p.page);
  // Off every point: nothing taken, nothing pushed.
  await touch(p, cdp, 'touchStart', [40, 40]);
  await touch(p, cdp, 'touchMove', [80, 40]);
  await touch(p, cdp, 'touchEnd');
  await touch(p, cdp, 'touchStart', CORNER);
  for (let i = 1; i <= 8; ++i) {
    await sleep(60);
    await touch(p, cdp, 'touchMove', [CORNER[0], CORNER[1] - 20 * i]);
  }
  const held = await waitFor(async () => {
    const shot = await p.page.evaluate((c) => window.testPicture('held', { grab: c }, 3), GRAB_COLOUR);
    return shot.counts.grab > 20 ? shot : null;
  }, 'the grab drawn while the finger holds the corner');
  await touch(p, cdp, 'touchEnd');
  await sleep(1000);
  await p.page.tap('#pause');
  const shown = await pausedStatus(p);
  const file = path.join(dir, 'grab.sim');
  const run = await runText(p, file);
  const taken = [...run.matchAll(/^take (\d+)$/gm)].map((m) => Number(m[1]));
  check(taken.length === 1 && taken[0] >= 8 && taken[0] < 16, `one take, of a point of the second block (8..15): ${taken}`);
  check(/^move \S+ \S+ \S+$/m.test(run) && /^let go$/m.test(run) && !/^(press|release) /m.test(run),
    `the run holds move and let go and no push:\n${run.slice(0, 600)}`);
  const native = sim(bin, [file, '--hash']).trim();
  check(native === shown.hash, `the run replays natively to ${native}, the page shows ${shown.hash}`);

  const plain = path.join(dir, 'plain.sim');
  writeFileSync(plain, run.replace(/^(take .*|move .*|let go)\n/gm, ''));
  const [withGrab, without] = [file, plain].map((f) => finalPositions(bin, f, shown.steps));
  check(withGrab.length === 16 && without.length === 16, `16 points traced after step ${shown.steps}`);
  const moved = (i) => Math.hypot(...withGrab[i].map((v, k) => v - without[i][k]));
  const first = [...Array(8).keys()].map(moved), second = [...Array(8).keys()].map((i) => moved(i + 8));
  check(first.every((d) => d === 0) && Math.max(...second) > 0.2,
    `only the grabbed block moves from where it is without the grab: first ${first}, second ${second}`);
  console.log(`ok: a finger takes corner ${taken[0]} (none off the points), drags its block alone, drawn with ` +
    `${held.counts.grab} grab pixels; take, move, let go replay natively to ${native}`);
  return shown;
}

async function sharedLinkReplays(p, context, shown) {
  await p.page.tap('#share-run');
  const link = await waitFor(async () => (p.page.url().includes('#run=') ? p.page.url() : null), 'the address to hold the run');
  const errors = [];
  const fresh = await openPage(context, link, errors);
  await waitFor(async () => await fresh.page.textContent('#pause') === 'run' &&
    !(await fresh.status()).text.includes('playing'), 'the shared run to end, paused');
  const replayed = await pausedStatus(fresh);
  check(replayed.hash === shown.hash && replayed.steps === shown.steps,
    `the shared run replays to ${replayed.hash} after ${replayed.steps} steps, the page shows ${shown.hash} after ${shown.steps}`);
  check(errors.length === 0, `no console error: ${errors.join(' | ')}`);
  console.log('ok: the shared address replays the grab to the same hash in a fresh page');
}

async function main() {
  const [site, bin] = process.argv.slice(2).map((a) => path.resolve(a));
  const dir = mkdtempSync(path.join(os.tmpdir(), 'tremblo-grab-'));
  const { server, address } = serve(site);
  let browser = null;
  try {
    const url = await address;
    browser = await launchChromium();
    const errors = [];
    const context = await browser.newContext(PHONE);
    const p = await openPage(context, url, errors);
    const shown = await grabOnPhone(p, bin, dir);
    await sharedLinkReplays(p, await browser.newContext(PHONE), shown);
    check(errors.length === 0, `no console error: ${errors.join(' | ')}`);
  } catch (e) {
    console.log(`FAILED: ${e instanceof Failure ? '' : e.name + ': '}${e.message}`);
    process.exitCode = 1;
  } finally {
    if (browser) await browser.close();
    server.kill();
  }
  if (!process.exitCode) console.log('grab on a phone: all checks passed');
}

await main();
