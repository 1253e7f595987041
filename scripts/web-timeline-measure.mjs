// The README's numbers for the timeline: jumps to random steps of ten simulated minutes of the
// twenty small cubes ('s', 1.2 million steps), timed in the page from the slider's move to the
// timeline showing the step, with the snapshots' memory; and the builds of the biggest scene, as
// a jump carries them out.
//
//   node scripts/web-timeline-measure.mjs SITE
import path from 'node:path';
import zlib from 'node:zlib';
import { launchChromium, openPage, serve, sleep, waitFor } from '../tests/web/harness.mjs';

const BIG_SCENE = 'scene\ncube 0 -400 0 edge 0.04\nattach 19999\n';
const linkOf = (text, at) => `#run=${zlib.deflateSync(Buffer.from(text)).toString('base64url')}&at=${at}`;

async function measure(browser, url, errors) {
  const p = await openPage(await browser.newContext(), url + linkOf('key s\nstep 1200000\n', 1200000), errors);
  const started = Date.now();
  await waitFor(async () => await p.page.getAttribute('#timeline-at', 'data-step') === '1200000', 'the end of ten minutes of s', 600000);
  console.log(`reached step 1200000 in ${((Date.now() - started) / 1000).toFixed(1)} s`);
  let seed = 7, worst = 0;
  const times = [];
  for (let i = 0; i < 40; ++i) {
    seed = (seed * 1103515245 + 12345) % 2 ** 31;
    const step = seed % 1200001;
    // Timed in the page, from the slider's move to the timeline showing the step.
    times.push(await p.page.evaluate((v) => new Promise((resolve) => {
      const slider = document.getElementById('scrub'), at = document.getElementById('timeline-at');
      const t0 = performance.now();
      slider.value = String(v);
      slider.dispatchEvent(new Event('input', { bubbles: true }));
      const poll = () => (at.dataset.step === String(v) ? resolve(Math.round(performance.now() - t0)) : setTimeout(poll, 1));
      poll();
    }), step));
    worst = Math.max(worst, times.at(-1));
  }
  times.sort((a, b) => a - b);
  const bytes = Number(await p.page.getAttribute('#timeline-at', 'data-snapshot-bytes'));
  console.log(`jumps: median ${times[times.length >> 1]} ms, worst ${worst} ms (of ${times.length}); snapshots ${(bytes / 2 ** 20).toFixed(1)} MB`);
  // Builds of the biggest scene as a jump carries them out: the commands' count against time.
  const big = await openPage(await browser.newContext(), url + linkOf(BIG_SCENE.repeat(40) + 'step 1\n', 1), errors);
  const counts = [];
  for (let i = 0; i < 40; ++i) {
    const m = /(\d+) commands/.exec(await big.page.textContent('#jump-text'));
    if (m) counts.push([Date.now(), Number(m[1])]);
    await sleep(200);
  }
  const [[t0, c0], [t1, c1]] = [counts[0], counts.at(-1)];
  console.log(`a build of 20,000 cubes (scene, cube, attach 19999): ${((t1 - t0) / ((c1 - c0) / 3)).toFixed(0)} ms`);
}


const { server, address } = serve(path.resolve(process.argv[2]));
const browser = await launchChromium();
try {
  await measure(browser, await address, []);
} finally {
  await browser.close();
  server.kill();
}
