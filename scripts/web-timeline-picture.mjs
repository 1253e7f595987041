// The README's picture of the timeline: the page on a desktop, opened on a link to a moment of a
// run of the twenty small cubes (&at=), paused there; the picture and the timeline under it.
//
//   node scripts/web-timeline-picture.mjs SITE PNG    (scripts/web-screenshot.sh runs it)
import path from 'node:path';
import zlib from 'node:zlib';
import { launchChromium, openPage, serve, sleep, waitFor } from '../tests/web/harness.mjs';

const RUN = 'key s\nstep 12000\nkey g\nstep 8000\n';
const AT = 13250;
const [site, file] = process.argv.slice(2).map((a) => path.resolve(a));
const { server, address } = serve(site);
const browser = await launchChromium();
try {
  const link = `${await address}#run=${zlib.deflateSync(Buffer.from(RUN)).toString('base64url')}&at=${AT}`;
  const p = await openPage(await browser.newContext({ viewport: { width: 1240, height: 900 } }), link, []);
  await waitFor(async () => await p.page.getAttribute('#timeline-at', 'data-step') === String(AT), `step ${AT} shown`);
  await sleep(500);
  await p.page.evaluate(() => document.activeElement.blur());  // no focus ring in the picture
  const [view, bar] = await Promise.all(['#view', '#timeline'].map((s) => p.page.locator(s).boundingBox()));
  const pad = 8;
  await p.page.screenshot({ path: file, clip: { x: view.x - pad, y: view.y - pad, width: view.width + 2 * pad,
    height: bar.y + bar.height - view.y + 2 * pad } });
  console.log(`saved ${file}`);
} finally {
  await browser.close();
  server.kill();
}
