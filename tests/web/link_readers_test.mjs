// The page's reader of run addresses (web/page/run_link.js, run here in node) and the native
// one (tremblo-sim ADDRESS) accept and refuse the same addresses, and an accepted run is the
// same run in both: node link_readers_test.mjs TREMBLO_SIM
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { MAX_RUN_BYTES, fragmentFor, fromBase64Url, packRun, runInFragment, toBase64Url, unpackRun } from '../../web/page/run_link.js';

const sim = process.argv[2];
const work = mkdtempSync(join(tmpdir(), 'tremblo-links-'));
let failures = 0;

// A run of exactly `size` bytes: a scene and steps, filled up with a comment line.
function runOfSize(size) {
  const body = 'key 2\nstep 240\n';
  const fill = size - body.length - 2;
  return new TextEncoder().encode(`#${'x'.repeat(fill)}\n${body}`);
}

// The native reader: { ok, hash }, the hash of the run it read.
function native(argument) {
  try {
    return { ok: true, hash: execFileSync(sim, [argument, '--hash'], { stdio: ['ignore', 'pipe', 'pipe'] }).toString() };
  } catch (e) {
    if (e.status !== 2) throw new Error(`tremblo-sim ended with ${e.status}: ${e.stderr}`);
    return { ok: false };
  }
}

// The page's reader, as the page reads its own address; an accepted run's hash is taken by
// the native runner from the bytes the page would play.
async function page(address) {
  const linked = runInFragment(address.slice(address.indexOf('#')));
  if (linked === null) return { ok: false };
  let bytes;
  try { bytes = await unpackRun(linked.data); } catch { return { ok: false }; }
  const file = join(work, 'run.sim');
  writeFileSync(file, bytes);
  return { ok: true, hash: native(file).hash, paused: linked.paused };
}

const small = await packRun(new TextEncoder().encode('key 3\nset gravity 4\nstep 500\n'));
// Runs whose data ends in each way base64url can end: whole groups of four characters (one
// more character makes a length that no bytes give), and groups of two and three.
const ending = {};
for (let steps = 1; Object.keys(ending).length < 3; ++steps) {
  const data = await packRun(new TextEncoder().encode(`key 2\nstep ${steps}\n`));
  ending[data.length % 4] ??= data;
}
const whole = ending[0];
const atLimit = await packRun(runOfSize(MAX_RUN_BYTES));
const overLimit = await packRun(runOfSize(MAX_RUN_BYTES + 1));
const base = 'http://127.0.0.1:8000/';
// [what, address, accepted]
const cases = [
  ['a run', base + fragmentFor(small, false), true],
  ['a paused run', base + fragmentFor(small, true), true],
  ['the run field after another', `${base}#paused&run=${small}`, true],
  ['padding a copy added', `${base}#run=${small}==`, true],
  ['a run of exactly 1 MB', base + fragmentFor(atLimit, false), true],
  ['a run one byte longer', base + fragmentFor(overLimit, false), false],
  ['data cut to a length no bytes make', `${base}#run=${small.slice(0, small.length - (small.length % 4) - 3)}`, false],
  ['data cut short', `${base}#run=${small.slice(0, -6)}`, false],
  ['one character more than whole data', `${base}#run=${whole}A`, false],
  ['data ending in a group of two', base + fragmentFor(ending[2], false), true],
  ['data ending in a group of three', base + fragmentFor(ending[3], false), true],
  ['another field beside the run', `${base}#run=${small}&from=mail`, true],
  ['a character not in base64url', `${base}#run=${small.slice(0, 5)}+${small.slice(6)}`, false],
  ['no data', `${base}#run=`, false],
  ['no run field', `${base}#paused`, false],
];

for (const [what, address, accepted] of cases) {
  const n = native(address);
  const p = await page(address);
  if (n.ok !== accepted || p.ok !== accepted) {
    console.log(`FAIL ${what}: expected ${accepted ? 'accepted' : 'refused'}, native ${n.ok}, page ${p.ok}`);
    ++failures;
  } else if (accepted && n.hash !== p.hash) {
    console.log(`FAIL ${what}: native hash ${n.hash.trim()}, page ${p.hash.trim()}`);
    ++failures;
  }
  if (p.ok && p.paused !== address.includes('paused')) {
    console.log(`FAIL ${what}: paused read as ${p.paused}`);
    ++failures;
  }
}

// The page's base64url gives back exactly the bytes it was given, for every length's ending.
for (let size = 0; size < 10; ++size) {
  const bytes = Uint8Array.from({ length: size }, (_, i) => (i * 151 + 77) & 255);
  const back = fromBase64Url(toBase64Url(bytes));
  if (back.length !== size || back.some((b, i) => b !== bytes[i])) {
    console.log(`FAIL base64url of ${size} bytes reads back as ${back.length} bytes`);
    ++failures;
  }
}

rmSync(work, { recursive: true });
const checks = cases.length + 10;
console.log(`${checks - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
