// End-to-end test of the page on screens of every size: a phone with touch, a small and a
// large desktop window, high-DPI; the view's controls, capture, keyboard and accessibility.
//
//   node screens_test.mjs SITE NATIVE_TREMBLO_SIM [--screenshot PNG]
//
// With --screenshot, a picture of the page on the phone is saved there (the README's).
import { spawnSync } from 'node:child_process';
import { mkdtemp, readFile, readdir, writeFile } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import {
  check, expectMoveTowardPlusY, inChromium, openPage, restartHanging, sleep, waitFor,
} from './harness.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
// The status line is written four times a second.
const STATUS_MS = 300;

// No horizontal scrolling, the picture within the width at 4:3 and drawn at `scale` device
// pixels per CSS pixel, every control of the panel and the timeline within the page's width.
// Returns the boxes.
async function checkFits(p, what, scale) {
  const m = await waitFor(async () => {
    const r = await p.page.evaluate(() => {
      const box = (e) => e.getBoundingClientRect().toJSON();
      const view = document.getElementById('view');
      return {
        innerWidth, innerHeight, scrollWidth: document.documentElement.scrollWidth, view: box(view),
        backing: [view.width, view.height], panel: box(document.getElementById('panel')),
        controls: [...document.querySelectorAll('#panel button, #panel input, #panel select, #panel textarea, #timeline button, #timeline input, #timeline select')]
          .filter((e) => !e.closest('[hidden]'))
          .map((e) => ({ name: e.id || e.textContent, ...box(e) })),
      };
    });
    const sharp = Math.abs(r.backing[0] - scale * r.view.width) <= 1 && Math.abs(r.backing[1] - scale * r.view.height) <= 1;
    return sharp ? r : null;
  }, `${what}: the canvas's backing store at ${scale} times its CSS size`);
  check(m.scrollWidth <= m.innerWidth, `${what}: no horizontal scrolling (${m.scrollWidth} wide in ${m.innerWidth})`);
  check(m.view.right <= m.innerWidth && Math.abs(m.view.width / m.view.height - 4 / 3) < 0.01,
    `${what}: the picture within the width at 4:3, got ${m.view.width} x ${m.view.height}`);
  const out = m.controls.filter((c) => c.width === 0 || c.left < 0 || c.right > m.innerWidth);
  check(m.controls.length >= 20 && out.length === 0, `${what}: every panel control on the page, outside: ${out.map((c) => c.name)}`);
  return m;
}

// One touch point per [x, y] canvas pixel, through the browser's input pipeline.
async function touch(p, cdp, type, canvasPixels) {
  const touchPoints = [];
  for (const [i, xy] of canvasPixels.entries()) touchPoints.push({ ...await p.canvasPoint(...xy), id: i });
  await cdp.send('Input.dispatchTouchEvent', { type, touchPoints });
}

async function touchGesture(p, cdp, frames) {
  await touch(p, cdp, 'touchStart', frames[0]);
  for (const f of frames.slice(1)) {
    await sleep(30);
    await touch(p, cdp, 'touchMove', f);
  }
  await touch(p, cdp, 'touchEnd', []);
}

async function scrollState(p) { return p.page.evaluate(() => [scrollX, scrollY, visualViewport.scale]); }

// Paused, so that the picture holds still; returns the state's hash and step count.
async function pause(p, press) {
  await press('#pause');
  await sleep(STATUS_MS);
  return p.status();
}

async function expectSameState(p, before, what) {
  await sleep(STATUS_MS);
  const s = await p.status();
  check(/^[0-9a-f]{16}$/.test(s.hash) && s.hash === before.hash && s.steps === before.steps,
    `${what} leaves the state alone: hash ${before.hash} -> ${s.hash}, steps ${before.steps} -> ${s.steps}`);
}

async function changedFrom(p, reference, what) {
  return waitFor(async () => {
    const shot = await p.picture();
    return await p.differing(shot, reference) > 1000 ? shot : null;
  }, `the picture to change after ${what}`);
}

async function back(p, reference, what) {
  await waitFor(async () => await p.differing(await p.picture(), reference) === 0, `the fixed view's very picture after ${what}`);
}

async function phone(p) {
  const cdp = await p.page.context().newCDPSession(p.page);
  await checkFits(p, 'phone 390 x 844', 3);
  await p.keys('g');
  const still = await restartHanging(p);
  const scrolled = await scrollState(p);
  await touchGesture(p, cdp, [[[250, 450]], [[350, 440]], [[450, 420]], [[550, 400]]]);
  await expectMoveTowardPlusY(p, still, 'a one-finger drag to the right');
  check(String(await scrollState(p)) === String(scrolled), `a finger on the picture neither scrolls nor zooms: ${scrolled} -> ${await scrollState(p)}`);
  console.log('ok: phone: a one-finger drag pushes the cube toward +y; the page neither scrolls nor zooms');
  await p.page.tap('#touch-right');
  await p.page.locator('#view').scrollIntoViewIfNeeded();
  await touchGesture(p, cdp, [[[300, 300]], [[400, 300]]]);
  const drags = (await runText(p)).match(/^(press|release) \w+/gm);
  check(String(drags.slice(-4)) === 'press left,release left,press right,release right',
    `the run holds the finger's drags as left, then with the switch on as right: ${drags.slice(-4)}`);
  await p.page.tap('#touch-right');
  console.log('ok: phone: a finger drags as the left button, and as the right one with the switch on');

  const state = await pause(p, (s) => p.page.tap(s));
  // The panel is below the picture: back up to it.
  await p.page.locator('#view').scrollIntoViewIfNeeded();
  const fixed = await p.picture('phone-fixed');
  await touchGesture(p, cdp, [[[350, 300], [450, 300]], [[300, 320], [500, 320]], [[250, 340], [550, 340]]]);
  await changedFrom(p, fixed, 'a pinch');
  await expectSameState(p, state, 'a pinch');
  await p.page.tap('#reset-view');
  await back(p, fixed, '"reset view"');
  console.log('ok: phone: a pinch changes the picture and not the state; "reset view" gives the fixed view back');
}

async function desktopView(p) {
  const state = await pause(p, (s) => p.page.click(s));
  const fixed = await p.picture('desktop-fixed');
  const centre = await p.canvasPoint(400, 300);
  const m = p.page.mouse;
  await m.move(centre.x, centre.y);
  await m.down({ button: 'middle' });
  await m.move(centre.x + 150, centre.y + 60, { steps: 5 });
  await m.up({ button: 'middle' });
  const turned = await changedFrom(p, fixed, 'a middle drag');
  await m.wheel(0, -300);
  await changedFrom(p, turned, 'the wheel');
  await expectSameState(p, state, 'turning and zooming');
  await p.page.click('#reset-view');
  await back(p, fixed, '"reset view"');
  await m.move(centre.x, centre.y);
  await m.down({ button: 'middle' });
  await m.move(centre.x - 100, centre.y, { steps: 3 });
  await m.up({ button: 'middle' });
  await changedFrom(p, fixed, 'a middle drag');
  await m.down({ button: 'middle' });
  await m.up({ button: 'middle' });
  await back(p, fixed, 'a middle click');
  check(!/middle/.test(await runText(p)), 'the view is no part of the run');
  await p.page.click('#pause');
}

async function download(p, selector) {
  const [file] = await Promise.all([p.page.waitForEvent('download'), p.page.click(selector)]);
  return { name: file.suggestedFilename(), bytes: await readFile(await file.path()) };
}

async function runText(p) { return (await download(p, '#download-run')).bytes.toString('latin1'); }

async function capture(p) {
  const png = await download(p, '#screenshot');
  const backing = await p.page.evaluate(() => [document.getElementById('view').width, document.getElementById('view').height]);
  const size = [png.bytes.readUInt32BE(16), png.bytes.readUInt32BE(20)];
  check(png.name.endsWith('.png') && png.bytes.subarray(1, 4).toString() === 'PNG' && String(size) === String(backing),
    `the screenshot is a PNG of the canvas's ${backing}: ${png.name}, ${size}`);
  await p.page.click('#video');
  await sleep(3000);
  const webm = await download(p, '#video');
  check(webm.name.endsWith('.webm') && webm.bytes.readUInt32BE(0) === 0x1a45dfa3 && webm.bytes.length > 10000,
    `three seconds of video give a WebM: ${webm.name}, ${webm.bytes.length} bytes`);
}

// A scene button puts its scene's commands into the editor; the menu lists every example scene
// (contact-*.sim too). A slider, the contact switch, "design values" and a scene from the menu
// are commands of the run: the downloaded
// run holds them and replays natively to the page's hash, also where a scene chosen while
// another plays its steps cut that one short. A slider moved while a scene plays takes over there.
// A bad editor line is named with its line and selected; the scene that runs is kept.
async function settingsAndScenes(p, sim) {
  const examples = (await readdir(path.join(HERE, '../../examples/scenes'))).filter((f) => /^(?!key-).*\.sim$/.test(f)).sort();
  const listed = await p.page.$$eval('#scene-menu optgroup[label=examples] option', (o) => o.map((e) => e.value));
  check(String(listed) === String(examples), `the menu lists examples/scenes' ${examples} (contact-*.sim among them), got ${listed}`);
  await p.page.click('#scenes [data-key="7"]');
  await waitFor(async () => /^attach 6/m.test(await p.page.inputValue('#scene-editor')), "the seven-cube row's commands in the editor");
  await p.page.fill('#setting-gravity', '5');
  await waitFor(async () => await p.page.textContent('output[for=setting-gravity]') === '5', 'the slider to show 5');
  await p.page.click('#design-values');
  await p.page.selectOption('#scene-menu', 'moon.sim');
  await waitFor(async () => (await p.status()).text.includes('playing the run'), "the moon scene's steps to play");
  await p.page.selectOption('#scene-menu', 'bridge.sim');
  await waitFor(async () => (await p.page.inputValue('#scene-editor')).includes('anchor'), "the bridge's commands in the editor");
  check(await p.page.textContent('#scene-message') === 'built; the scene runs', 'the bridge replaces the moon scene still playing');
  await waitFor(async () => (await p.status()).text.includes('playing the run: step'), "the bridge's steps to play");
  // A slider moved while the bridge plays takes over there: the bridge's steps still to come are
  // dropped, and the page steps on live.
  await p.page.fill('#setting-damping', '7');
  await waitFor(async () => /^step \d+ ·/m.test((await p.status()).text), 'the slider to take over from the bridge');
  // Two cubes overlapping from the start, which contact pushes apart at once.
  await p.page.fill('#scene-editor', 'scene\ncube 0 0 0\ncube 0.5 0.5 0.5\n');
  await p.page.click('#build');
  await p.page.check('#setting-contact');
  await sleep(500);
  const state = await pause(p, (s) => p.page.click(s));
  const run = await runText(p);
  for (const line of ['set contact on\n', 'set gravity 5\n', 'set gravity 9.81\n', 'set damping 7\n', 'set gravity 1.62\n', 'anchor ']) {
    check(run.includes(line), `the run holds '${line.trim()}'`);
  }
  check(!run.includes('step 8000') && !run.includes('step 6000'), 'the steps of the moon and the bridge not played are no part of the run');
  const file = path.join(await mkdtemp(path.join(os.tmpdir(), 'tremblo-screens-')), 'page.sim');
  await writeFile(file, run);
  const native = spawnSync(sim, [file, '--hash'], { encoding: 'utf8' });
  check(native.stdout.trim() === state.hash, `the run replays natively to ${native.stdout.trim()} ${native.stderr}, the page shows ${state.hash}`);
  await p.page.click('#pause');
  await p.page.click('#design-values');
  await waitFor(async () => !await p.page.isChecked('#setting-contact'), '"design values" to untick contact');
  await p.page.fill('#scene-editor', 'set contact on\n');
  await p.page.click('#build');
  await waitFor(() => p.page.isChecked('#setting-contact'), 'contact turned on by the editor to tick its switch');
  await p.page.click('#design-values');

  const points = /(\d+) moving points/.exec((await p.status()).text)[1];
  await p.page.fill('#scene-editor', 'scene\ncube 0 0 2\ncube nowhere\n');
  await p.page.click('#build');
  const said = await p.page.textContent('#scene-message');
  const selected = await p.page.$eval('#scene-editor', (e) => e.value.slice(e.selectionStart, e.selectionEnd));
  check(said.startsWith('<editor>:3: ') && selected === 'cube nowhere', `the bad line is named and selected: ${said} / ${selected}`);
  await sleep(STATUS_MS);
  check((await p.status()).text.includes(`${points} moving points`) && !(await runText(p)).includes('nowhere'),
    'the running scene is kept, and the bad lines are no part of the run');
}

async function keyboard(p) {
  await p.page.focus('#view');
  await p.page.keyboard.press('Tab');
  const focus = await p.page.evaluate(() => {
    const e = document.activeElement, s = getComputedStyle(e);
    return { tag: e.tagName, outline: s.outlineStyle, width: parseFloat(s.outlineWidth) };
  });
  check(['BUTTON', 'INPUT'].includes(focus.tag) && focus.outline !== 'none' && focus.width >= 2,
    `Tab leaves the picture for a control with a visible focus: ${JSON.stringify(focus)}`);
  const gravity = await p.switchOn('g');
  const scene = await p.page.inputValue('#scene-editor');
  await p.page.fill('#scene-editor', '');
  await p.page.type('#scene-editor', 'g1 x');
  check(await p.page.inputValue('#scene-editor') === 'g1 x' && await p.switchOn('g') === gravity,
    'keys typed into the scene editor are text, not commands');
  await p.page.fill('#scene-editor', scene);
}

async function accessible(p, what) {
  await p.page.addScriptTag({ path: path.join(HERE, 'node_modules/axe-core/axe.min.js') });
  const result = await p.page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
  const bad = result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
  check(bad.length === 0, `${what}: axe finds ${bad.map((v) => `${v.id} (${v.impact}) at ${v.nodes[0].target}`).join(', ')}`);
}

async function main() {
  const args = process.argv.slice(2);
  const site = path.resolve(args[0]);
  const sim = path.resolve(args[1]);
  const shotIndex = args.indexOf('--screenshot');
  const screenshot = shotIndex >= 0 ? path.resolve(args[shotIndex + 1]) : null;
  await inChromium(site, 'page on every screen', async (browser, url, errors) => {
    const open = async (options) => openPage(await browser.newContext(options), url, errors);

    const small = await open({ viewport: { width: 1024, height: 700 }, deviceScaleFactor: 2 });
    const m = await checkFits(small, '1024 x 700, scale 2', 2);
    check(m.panel.left >= m.view.right && m.panel.top < m.innerHeight, `1024 x 700: the panel beside the picture, got ${JSON.stringify(m.panel)}`);
    console.log('ok: 1024 x 700 at scale 2: the panel beside the picture, the canvas drawn at twice its CSS size');
    await small.page.close();

    const large = await open({ viewport: { width: 1920, height: 1080 } });
    const l = await checkFits(large, '1920 x 1080', 1);
    check(l.panel.left >= l.view.right && l.panel.bottom <= l.innerHeight, `1920 x 1080: the whole panel in view beside the picture, got ${JSON.stringify(l.panel)}`);
    console.log('ok: 1920 x 1080: the whole panel in view, beside the picture');
    await desktopView(large);
    console.log('ok: a middle drag and the wheel change the picture and not the state nor the run; "reset view" and a middle click give the fixed view back');
    await settingsAndScenes(large, sim);
    console.log('ok: the menu lists every example scene; a slider, the contact switch, "design values" and scenes from the menu (one cutting another short) are in the run, which replays natively to the page\'s hash');
    console.log('ok: the contact switch follows a built scene that turns contact on, and "design values" unticks it');
    console.log('ok: a slider moved while a scene plays its steps takes over there');
    console.log('ok: a bad editor line is named and selected, and the running scene is kept');
    await capture(large);
    console.log('ok: the screenshot is a PNG of the canvas\'s size, a video a WebM');
    await keyboard(large);
    console.log('ok: Tab leaves the picture with a visible focus; keys typed into the scene editor stay text');
    await accessible(large, '1920 x 1080');

    const mobile = await open({ viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
    await phone(mobile);
    await accessible(mobile, 'phone');
    console.log('ok: axe-core finds no serious or critical violation, on the desktop and on the phone');
    const narrowest = await open({ viewport: { width: 360, height: 640 }, isMobile: true, hasTouch: true });
    await checkFits(narrowest, '360 x 640', 1);
    console.log('ok: 360 pixels wide: no horizontal scrolling, every panel control on the page');
    if (screenshot) {
      // Running again, gravity back on, the seven-cube row landing.
      await mobile.page.tap('#pause');
      await mobile.keys('g', '7');
      await mobile.page.evaluate(() => scrollTo(0, 0));
      await sleep(3000);
      await mobile.page.screenshot({ path: screenshot, scale: 'css' });
      console.log(`saved ${screenshot}`);
    }
  });
}

await main();
