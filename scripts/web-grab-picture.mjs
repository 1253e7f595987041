// The README's picture of the grab: the page on a desktop, the bridge (examples/scenes/bridge.sim)
// pulled down by a shift + left drag from its lowest point near the middle of the picture.
//
//   node scripts/web-grab-picture.mjs SITE PNG    (scripts/web-screenshot.sh runs it)
import path from 'node:path';
import { launchChromium, openPage, serve, sleep, waitFor } from '../tests/web/harness.mjs';

const [site, file] = process.argv.slice(2).map((a) => path.resolve(a));
const { server, address } = serve(site);
const browser = await launchChromium();
try {
  const p = await openPage(await browser.newContext({ viewport: { width: 1240, height: 900 } }), await address, []);
  await p.page.selectOption('#scene-menu', 'bridge.sim');
  await waitFor(async () => (await p.status()).text.includes('playing'), "the bridge's steps to play");
  await waitFor(async () => !(await p.status()).text.includes('playing'), "the bridge's steps played");
  // The lowest yellow (point) pixel in the middle quarter of the 800 x 600 picture.
  const low = await p.page.evaluate(() => {
    const c = document.createElement('canvas').getContext('2d');
    c.canvas.width = 800;
    c.canvas.height = 600;
    c.drawImage(document.getElementById('view'), 0, 0, 800, 600);
    const d = c.getImageData(0, 0, 800, 600).data;
    for (let y = 599; y >= 0; --y) {
      for (let x = 300; x < 500; ++x) {
        const i = (y * 800 + x) * 4;
        if (d[i] > 250 && d[i + 1] > 250 && d[i + 2] < 5) return [x, y];
      }
    }
    throw new Error('no point of the bridge in the middle of the picture');
  });
  const from = await p.canvasPoint(...low), to = await p.canvasPoint(low[0], low[1] + 170);
  await p.page.keyboard.down('Shift');
  await p.page.mouse.move(from.x, from.y);
  await p.page.mouse.down();
  await p.page.mouse.move(to.x, to.y, { steps: 10 });
  await sleep(2500);
  await p.page.evaluate(() => document.activeElement.blur());  // no focus ring in the picture
  await p.page.screenshot({ path: file });
  console.log(`saved ${file}`);
} finally {
  await browser.close();
  server.kill();
}
