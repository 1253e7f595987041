// What the page's end-to-end tests share: the built site served on 127.0.0.1, Debian's
// Chromium, headless, driven by playwright-core, and a reader of the canvas's pixels.
import { spawn } from 'node:child_process';
import { chromium } from 'playwright-core';
import { FAR_WALL, FLOOR, NEAR_WALL, POINT, SPRING, cubeCorners, expectedCubeBox } from './picture.mjs';

export const WAIT_LIMIT_MS = 60000;
// A resting cube still trembles by a pixel here and there, a moving one changes thousands.
export const STILL_PIXELS = 1000;
// The one-cube scene at its start: a unit cube with corner 0 at (0, 0, 2).
export const HANGING = cubeCorners(0, 0, 2);

export class Failure extends Error {}
export function check(condition, message) {
  if (!condition) throw new Failure(message);
}
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export async function waitFor(condition, what, limitMs = WAIT_LIMIT_MS) {
  const deadline = Date.now() + limitMs;
  for (;;) {
    const result = await condition();
    if (result) return result;
    if (Date.now() > deadline) throw new Failure(`gave up after ${limitMs / 1000} s waiting for ${what}`);
    await sleep(100);
  }
}

// The site on a free port of 127.0.0.1; resolves to its address once it listens.
export function serve(site) {
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
export async function installPictureReader(page) {
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

export class Page {
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
      return { simTime: Number(s.dataset.simTime), steps: Number(s.dataset.steps), hash: s.dataset.hash, text: s.textContent };
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

// Headless Chromium with WebGL2 through SwiftShader.
export function launchChromium() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Serves `site`, opens Chromium and runs `body(browser, url, errors)`; `errors` is for openPage
// to gather the pages' console errors into. A failed check, a throw or a console error fails
// the test (exit code 1); the browser, the server and `cleanup` go whatever happens. Ends with
// `name: all checks passed in N s`.
export async function inChromium(site, name, body, cleanup = () => {}) {
  const started = Date.now();
  const { server, address } = serve(site);
  let browser = null;
  const errors = [];
  try {
    const url = await address;
    browser = await launchChromium();
    await body(browser, url, errors);
    check(errors.length === 0, `no console error: ${errors.join(' | ')}`);
  } catch (e) {
    console.log(`FAILED: ${e instanceof Failure ? '' : e.name + ': '}${e.message}`);
    if (errors.length > 0) console.log(`console errors: ${errors.join(' | ')}`);
    process.exitCode = 1;
  } finally {
    if (browser) await browser.close();
    server.kill();
    cleanup();
  }
  if (!process.exitCode) console.log(`${name}: all checks passed in ${Math.round((Date.now() - started) / 1000)} s`);
}

// A fresh page of `context` at the site, once the page says it is ready, with the picture
// reader installed; console errors and failed requests are collected in errors.
export async function openPage(context, url, errors) {
  const page = await context.newPage();
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('requestfailed', (r) => errors.push(`request failed: ${r.url()}`));
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]', { timeout: WAIT_LIMIT_MS });
  await installPictureReader(page);
  return new Page(page);
}

export function within(box, expected, slack) {
  return ['left', 'right', 'top', 'bottom'].every((k) => Math.abs(box[k] - expected[k]) <= slack);
}
export const show = (b) => b ? `x ${b.left}..${b.right}, y ${b.top}..${b.bottom}` : 'nothing';

// '1' until the picture shows the one-cube scene at its start, and it stays still.
export async function restartHanging(p) {
  const expected = expectedCubeBox(HANGING);
  return waitFor(async () => {
    await p.keys('1');
    await sleep(200);
    const shot = await p.picture('hanging');
    return shot.body && within(shot.body, expected, 3) && await p.staysTheSame(shot, 1) ? shot : null;
  }, `the cube hanging still where it starts (${show(expected)})`);
}

// The first clear move of the cube tells the direction of the push; one the wrong way would
// come back only after a bounce off the near wall.
export async function expectMoveTowardPlusY(p, still, what) {
  const d = await waitFor(async () => {
    const b = (await p.picture()).body;
    const shift = b ? [b.cx - still.body.cx, b.cy - still.body.cy] : [0, 0];
    return Math.abs(shift[0]) + Math.abs(shift[1]) >= 10 ? shift : null;
  }, `the cube to move after ${what}`);
  check(d[0] > 0 && Math.abs(d[1]) < d[0], `${what} moves the cube toward +y (right on screen), it moved by ${d}`);
}
