// End-to-end test of the page: the built site served on 127.0.0.1, in Debian's Chromium,
// headless, driven by playwright-core; checked on the canvas's pixels, the panel and the
// browser's console.
//
//   node page_test.mjs SITE [--screenshot PNG]
//
// With --screenshot, a picture of the whole page with the twenty-cube row landed is saved
// there (the README's picture).
import { spawn } from 'node:child_process';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { FAR_WALL, FLOOR, NEAR_WALL, POINT, SPRING, cubeCorners, expectedCubeBox } from './picture.mjs';

const WAIT_LIMIT_MS = 60000;
// A resting cube still trembles by a pixel here and there, a moving one changes thousands.
const STILL_PIXELS = 1000;
const STEP = Math.fround(0.0005);

// The one-cube scene: a unit cube with corner 0 at (0, 0, 2), and the same cube on the floor.
const HANGING = cubeCorners(0, 0, 2);
const LANDED = cubeCorners(0, 0, 0);

class Failure extends Error {}
function check(condition, message) {
  if (!condition) throw new Failure(message);
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function waitFor(condition, what, limitMs = WAIT_LIMIT_MS) {
  const deadline = Date.now() + limitMs;
  for (;;) {
    const result = await condition();
    if (result) return result;
    if (Date.now() > deadline) throw new Failure(`gave up after ${limitMs / 1000} s waiting for ${what}`);
    await sleep(100);
  }
}

// The site on a free port of 127.0.0.1; resolves to its address once it listens.
function serve(site) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '--directory', site, '0'],
    { stdio: ['ignore', 'pipe', 'ignore'] });
  const address = new Promise((resolve, reject) => {
    let out = '';
    server.stdout.on('data', (data) => {
      out += data;
      const m = /http:\/\/127\.0\.0\.1:\d+\//.exec(out);
      if (m) resolve(m[0]);
    });
    server.on('exit', (code) => reject(new Error(`the web server ended with status ${code}`)));
  });
  return { server, address };
}

// Reads the canvas in the page: counts of the demo's colours, the box around the springs and
// points, and the pixels kept under a name for later comparison.
async function installPictureReader(page) {
  await page.evaluate(() => {
    const shots = new Map();
    window.testPicture = (name, colours, tolerance) => {
      const view = document.getElementById('view');
      // In the window's 800 x 600 pixels whatever the canvas's size, each pixel taken from the
      // nearest drawn one, so that colours stay exact.
      const copy = document.createElement('canvas');
      copy.width = 800;
      copy.height = 600;
      const ctx = copy.getContext('2d');
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(view, 0, 0, copy.width, copy.height);
      const px = ctx.getImageData(0, 0, copy.width, copy.height).data;
      shots.set(name, px);
      const counts = Object.fromEntries(Object.keys(colours).map((k) => [k, 0]));
      let left = Infinity, right = -Infinity, top = Infinity, bottom = -Infinity, sx = 0, sy = 0, n = 0;
      for (let i = 0; i < px.length; i += 4) {
        for (const [key, [r, g, b]] of Object.entries(colours)) {
          if (Math.abs(px[i] - r) <= tolerance && Math.abs(px[i + 1] - g) <= tolerance &&
              Math.abs(px[i + 2] - b) <= tolerance) {
            counts[key] += 1;
            if (key === 'spring' || key === 'point') {
              const x = (i / 4) % copy.width, y = Math.floor(i / 4 / copy.width);
              left = Math.min(left, x); right = Math.max(right, x);
              top = Math.min(top, y); bottom = Math.max(bottom, y);
              sx += x; sy += y; n += 1;
            }
          }
        }
      }
      const body = n > 0 ? { left, right, top, bottom, cx: sx / n, cy: sy / n, width: right - left } : null;
      return { counts, body };
    };
    window.testDifferingPixels = (a, b) => {
      const p = shots.get(a), q = shots.get(b);
      let d = 0;
      for (let i = 0; i < p.length; i += 4) if (p[i] !== q[i] || p[i + 1] !== q[i + 1] || p[i + 2] !== q[i + 2]) ++d;
      return d;
    };
  });
}

class Page {
  constructor(page) {
    this.page = page;
    this.shots = 0;
  }

  async picture(name = `shot${++this.shots}`) {
    const colours = { floor: FLOOR, nearWall: NEAR_WALL, farWall: FAR_WALL, spring: SPRING, point: POINT };
    const shot = await this.page.evaluate(([n, c]) => window.testPicture(n, c, 3), [name, colours]);
    return { name, ...shot };
  }

  differing(a, b) { return this.page.evaluate(([x, y]) => window.testDifferingPixels(x, y), [a.name, b.name]); }

  async keys(...keys) { for (const k of keys) await this.page.keyboard.press(k); }

  // The status line's exact values.
  async status() {
    return this.page.evaluate(() => {
      const s = document.getElementById('status');
      return { simTime: Number(s.dataset.simTime), steps: Number(s.dataset.steps), text: s.textContent };
    });
  }

  switchOn(key) { return this.page.getAttribute(`#flags [data-key="${key}"]`, 'aria-checked').then((v) => v === 'true'); }

  // Page coordinates of a canvas pixel.
  async canvasPoint(x, y) {
    const box = await this.page.locator('#view').boundingBox();
    return { x: box.x + x * box.width / 800, y: box.y + y * box.height / 600 };
  }

  async drag(button, from, to) {
    const a = await this.canvasPoint(...from), b = await this.canvasPoint(...to);
    await this.page.mouse.move(a.x, a.y);
    await this.page.mouse.down({ button });
    await this.page.mouse.move(b.x, b.y, { steps: 5 });
    await this.page.mouse.up({ button });
  }

  // True when the picture stays the same as `reference` over the next seconds.
  async staysTheSame(reference, seconds = 2) {
    const deadline = Date.now() + seconds * 1000;
    let shots = 0;
    while (Date.now() < deadline || shots < 3) {
      if (await this.differing(await this.picture('still-check'), reference) > 0) return false;
      ++shots;
      await sleep(200);
    }
    return true;
  }

  // The last of several pictures over a second or more, each barely different from the one
  // before; null while the picture still moves.
  async settled() {
    let previous = await this.picture('settle-a');
    const start = Date.now();
    for (let i = 0; i < 3 || Date.now() - start < 1000; ++i) {
      await sleep(300);
      const next = await this.picture(i % 2 ? 'settle-a' : 'settle-b');
      if (await this.differing(previous, next) >= STILL_PIXELS) return null;
      previous = next;
    }
    return previous;
  }
}

function within(box, expected, slack) {
  return ['left', 'right', 'top', 'bottom'].every((k) => Math.abs(box[k] - expected[k]) <= slack);
}
const show = (b) => b ? `x ${b.left}..${b.right}, y ${b.top}..${b.bottom}` : 'nothing';

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

// '1' until the picture shows the one-cube scene at its start, and it stays still.
async function restartHanging(p) {
  const expected = expectedCubeBox(HANGING);
  return waitFor(async () => {
    await p.keys('1');
    await sleep(200);
    const shot = await p.picture('hanging');
    return shot.body && within(shot.body, expected, 3) && await p.staysTheSame(shot, 1) ? shot : null;
  }, `the cube hanging still where it starts (${show(expected)})`);
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

// The first clear move of the cube tells the direction of the push; one the wrong way would
// come back only after a bounce off the near wall.
async function expectMoveTowardPlusY(p, still, what) {
  const d = await waitFor(async () => {
    const b = (await p.picture()).body;
    const shift = b ? [b.cx - still.body.cx, b.cy - still.body.cy] : [0, 0];
    return Math.abs(shift[0]) + Math.abs(shift[1]) >= 10 ? shift : null;
  }, `the cube to move after ${what}`);
  check(d[0] > 0 && Math.abs(d[1]) < d[0], `${what} moves the cube toward +y (right on screen), it moved by ${d}`);
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

async function saveScreenshot(p, file) {
  await p.keys('s');
  await waitFor(async () => {
    const s = await p.picture();
    return s.counts.farWall > 10000 && s.body && s.body.width > 100 ? s : null;
  }, 'the twenty-cube row in front of the far wall');
  await waitFor(() => p.settled(), 'the row to land');
  await sleep(500);  // the status line and the plot catch up with the landed row
  await p.page.screenshot({ path: file });
}

async function main() {
  const args = process.argv.slice(2);
  const site = path.resolve(args[0]);
  const shotIndex = args.indexOf('--screenshot');
  const screenshot = shotIndex >= 0 ? path.resolve(args[shotIndex + 1]) : null;
  const started = Date.now();
  const { server, address } = serve(site);
  let browser = null;
  const errors = [];
  try {
    const url = await address;
    browser = await chromium.launch({
      executablePath: '/usr/bin/chromium',
      args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    const page = await browser.newPage({ viewport: { width: 1240, height: 900 } });
    page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
    page.on('pageerror', (e) => errors.push(e.message));
    page.on('requestfailed', (r) => errors.push(`request failed: ${r.url()}`));
    await page.goto(url);
    await page.waitForSelector('body[data-ready=true]', { timeout: WAIT_LIMIT_MS });
    await installPictureReader(page);
    const p = new Page(page);

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
    if (screenshot) {
      await saveScreenshot(p, screenshot);
      console.log(`saved ${screenshot}`);
    }
    check(errors.length === 0, `no console error: ${errors.join(' | ')}`);
    console.log('ok: no console error all along');
  } catch (e) {
    console.log(`FAILED: ${e instanceof Failure ? '' : e.name + ': '}${e.message}`);
    if (errors.length > 0) console.log(`console errors: ${errors.join(' | ')}`);
    process.exitCode = 1;
  } finally {
    if (browser) await browser.close();
    server.kill();
  }
  if (!process.exitCode) console.log(`page end-to-end: all checks passed in ${Math.round((Date.now() - started) / 1000)} s`);
}

await main();
