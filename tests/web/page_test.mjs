// End-to-end test of the page: the built site served on 127.0.0.1, in Debian's Chromium,
// headless, driven by playwright-core; checked on the canvas's pixels, the panel and the
// browser's console.
//
//   node page_test.mjs SITE [--screenshot PNG]
//
// With --screenshot, a picture of the whole page with the twenty-cube row landed is saved
// there (the README's picture).
import path from 'node:path';
import {
  Failure, HANGING, STILL_PIXELS, check, expectMoveTowardPlusY, inChromium, openPage, restartHanging, show, sleep, waitFor,
  within,
} from './harness.mjs';
import { cubeCorners, expectedCubeBox } from './picture.mjs';

const STEP = Math.fround(0.0005);

// The one-cube scene's cube on the floor.
const LANDED = cubeCorners(0, 0, 0);

async function testLoads(p, errors) {
  const text = await p.page.textContent('#console');
  check(text.startsWith('tremblo 0.1\n*********************\n\npress \'1\' up to \'7\''), `the banner and key help are shown: ${JSON.stringify(text)}`);
  check(text.trimEnd().endsWith('press \'v\' to turn on/off the volume constraint'), 'the key help ends with its last line');
  check(errors.length === 0, `no console error on loading: ${errors.join(' | ')}`);
}

async function testFirstPicture(p) {
  const shot = await waitFor(async () => {
    const s = await p.picture();
    return Object.values(s.counts).filter((c) => c > 0).length >= 4 && s.counts.spring > 0 ? s : null;
  }, 'a frame with the floor, the near wall, springs and points');
  const c = shot.counts;
  check(c.floor > 50000 && c.nearWall > 20000, `the floor and the near wall fill much of the picture: ${JSON.stringify(c)}`);
  check(c.spring > 300 && c.point > 200, `springs and points of a whole cube are drawn: ${JSON.stringify(c)}`);
  // Wherever the cube is in its fall, the camera follows it: it stays between where it hangs
  // at the start and where it lands.
  const hanging = expectedCubeBox(HANGING), landed = expectedCubeBox(LANDED), slack = 10;
  const box = shot.body;
  check(box.left >= Math.min(hanging.left, landed.left) - slack && box.right <= Math.max(hanging.right, landed.right) + slack &&
        box.top >= Math.min(hanging.top, landed.top) - slack && box.bottom <= Math.max(hanging.bottom, landed.bottom) + slack,
  `the cube is drawn at ${show(box)}, between ${show(hanging)} and ${show(landed)}`);
}

async function testFlagSwitchFollowsKeys(p) {
  check(await p.switchOn('g'), 'the gravity switch shows gravity on at the start');
  await p.keys('g');
  await waitFor(async () => !await p.switchOn('g'), "the gravity switch to show 'off' after the key g");
  await p.page.click('#flags [data-key="g"]');
  await waitFor(() => p.switchOn('g'), 'the gravity switch to show on again after a click on it');
  await p.keys('g');
  await waitFor(async () => !await p.switchOn('g'), "the gravity switch to show 'off' after the key g again");
}

// With gravity off: a right drag to the right, released outside the canvas, pushes the cube
// toward +y, which the camera shows to the right.
async function testRightDrag(p, still) {
  const here = expectedCubeBox(HANGING), moved = expectedCubeBox(HANGING.map(([x, y, z]) => [x, y + 1, z]));
  const plusY = [moved.cx - here.cx, moved.cy - here.cy];
  check(plusY[0] > 10 && Math.abs(plusY[1]) < plusY[0] / 2, `camera model: +y runs to the right, got ${plusY}`);
  const menuBlocked = await p.page.evaluate(() => !document.getElementById('view').dispatchEvent(
    new MouseEvent('contextmenu', { bubbles: true, cancelable: true, button: 2 })));
  check(menuBlocked, 'the canvas opens no context menu');

  await p.drag('right', [250, 450], [900, 450]);
  await expectMoveTowardPlusY(p, still, 'a right drag to the right');
}

async function testFallAndSettle(p, still) {
  await p.keys('g');
  await waitFor(async () => await p.differing(await p.picture('falling'), still) > 10 * STILL_PIXELS, 'the cube to fall');
  const landed = await waitFor(() => p.settled(), 'the picture to settle');
  const expected = expectedCubeBox(LANDED);
  check(within(landed.body, expected, 8), `the cube rests on the floor at ${show(landed.body)}, expected ${show(expected)}`);
  return landed.body;
}

async function testLongerRow(p, oneCube) {
  await p.keys('7');
  const row = await waitFor(async () => {
    const b = (await p.picture()).body;
    return b && b.width > 2 * oneCube.width ? b : null;
  }, 'the seven-cube row');
  check(row.right > oneCube.right + oneCube.width, `the row of seven runs on toward +y: ${show(row)}`);
}

// Paused, so that simulated time tells a restart for sure: it falls to 0 and stays there.
async function testSceneButtonWhilePaused(p) {
  await waitFor(async () => (await p.status()).text.includes('32 moving points · 160 active springs'),
    'the status line to show the seven-cube row');
  await p.page.click('#pause');
  check(await p.page.textContent('#pause') === 'run', 'the pause button turns into run');
  await waitFor(async () => (await p.status()).simTime > 0, 'simulated time to stand at more than 0');
  await p.page.click('#scenes [data-key="1"]');
  await waitFor(async () => {
    const s = await p.status();
    return s.text.includes('8 moving points · 28 active springs') && s.simTime === 0;
  }, 'the one-cube scene at time 0 after the button "1 cube"');
}

async function testPauseAndStep(p) {
  const paused = await p.status();
  // Simulated time stands still while the status line goes on being updated.
  const deadline = Date.now() + 1500;
  while (Date.now() < deadline) {
    const s = await p.status();
    check(s.simTime === paused.simTime && s.steps === paused.steps, `paused, simulated time moved: ${paused.simTime} -> ${s.simTime}`);
    await sleep(250);
  }
  let expected = paused.simTime;
  for (let i = 1; i <= 3; ++i) {
    await p.page.click('#step');
    expected = Math.fround(expected + STEP);
    const s = await p.status();
    check(s.simTime === expected && s.steps === paused.steps + i,
      `single step ${i}: simulated time ${s.simTime}, expected ${expected}; steps ${s.steps}, expected ${paused.steps + i}`);
  }
  await p.page.click('#pause');
  check(await p.page.textContent('#pause') === 'pause', 'the run button turns back into pause');
  await waitFor(async () => (await p.status()).simTime > expected + 0.1, 'simulated time to run again');
}

// Within `ms`, or a Failure naming `what`: a page whose main thread has stopped answers nothing.
function answers(promise, what, ms = 3000) {
  return Promise.race([promise, sleep(ms).then(() => { throw new Failure(`${what}: no answer within ${ms / 1000} s`); })]);
}

// The README's blow-up, built from the scene editor: the page goes on answering, the status line
// names the step the scene blew up by, and a scene key brings a finite scene back.
async function testBlowUp(p) {
  await p.page.fill('#scene-editor', 'set gravity 100\nset stiffness-scale 0.1\nkey q\n');
  await p.page.click('#build');
  const said = await waitFor(async () => /blew up by step (\d+)/.exec((await p.status()).text), 'the status line to say the scene blew up');
  for (let i = 0; i < 4; ++i) {
    await answers(p.page.evaluate(() => 1 + 1), 'the blown-up page evaluating 1 + 1');
    await answers(p.picture(), 'the blown-up page giving its picture');
    await sleep(500);
  }
  const later = await p.status();
  check(later.text.includes(`blew up by step ${said[1]} `), `the step stays the first one found: ${later.text}`);
  await answers(p.keys('1'), "the blown-up page taking the key '1'");
  await waitFor(async () => {
    const s = await p.status();
    return !s.text.includes('blew up') && s.text.includes('8 moving points');
  }, "the status line to show a finite one-cube scene after '1'");
  const legend = await p.page.textContent('#legend');
  check(!legend.includes('not finite'), `the energies are finite again: ${legend}`);
  await p.page.click('#design-values');
}

async function saveScreenshot(p, file) {
  await p.keys('s');
  await waitFor(async () => {
    const s = await p.picture();
    return s.counts.farWall > 10000 && s.body && s.body.width > 100 ? s : null;
  }, 'the twenty-cube row in front of the far wall');
  await waitFor(() => p.settled(), 'the row to land');
  await sleep(500);  // the status line and the plot catch up with the landed row
  await p.page.evaluate(() => document.activeElement.blur());  // no focus ring in the picture
  await p.page.screenshot({ path: file });
}

async function main() {
  const args = process.argv.slice(2);
  const site = path.resolve(args[0]);
  const shotIndex = args.indexOf('--screenshot');
  const screenshot = shotIndex >= 0 ? path.resolve(args[shotIndex + 1]) : null;
  await inChromium(site, 'page end-to-end', async (browser, url, errors) => {
    const context = await browser.newContext({ viewport: { width: 1240, height: 900 } });
    const p = await openPage(context, url, errors);

    const steps = [
      ['the page loads without a console error and shows the banner and the key help', () => testLoads(p, errors)],
      ['the first picture shows the floor, the near wall, red springs and yellow points where the cube is', () => testFirstPicture(p)],
      ['a flag switch follows the key g, and a click on it flips the flag', () => testFlagSwitchFollowsKeys(p)],
    ];
    for (const [what, run] of steps) {
      await run();
      console.log(`ok: ${what}`);
    }
    const still = await restartHanging(p);
    console.log("ok: with gravity off, '1' leaves the cube hanging still where it starts");
    await testRightDrag(p, still);
    console.log('ok: a right drag to the right, released outside the canvas, moves the cube toward +y; no context menu');
    await restartHanging(p);
    await p.drag('left', [250, 450], [550, 450]);
    await expectMoveTowardPlusY(p, still, 'a left drag to the right');
    console.log('ok: a left drag to the right moves the cube toward +y');
    await restartHanging(p);
    const oneCube = await testFallAndSettle(p, still);
    console.log('ok: gravity on: the picture changes as the cube falls, then settles on the floor');
    await testLongerRow(p, oneCube);
    console.log("ok: '7' gives a longer row");
    await testSceneButtonWhilePaused(p);
    console.log('ok: paused, the panel button "1 cube" restarts the scene (time 0, 8 moving points, 28 springs)');
    await testPauseAndStep(p);
    console.log('ok: pause stops simulated time, single step advances it by exactly one step, run goes on');
    await testBlowUp(p);
    console.log("ok: the wall scene blown up: the page answers, the status line names the step, '1' brings a finite scene back");
    if (screenshot) {
      await saveScreenshot(p, screenshot);
      console.log(`saved ${screenshot}`);
    }
  });
}

await main();
