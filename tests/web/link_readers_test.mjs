// The page's reader of run addresses (web/page/run_link.js, run here in node) and the native
// one (tremblo-sim ADDRESS, --link FILE and --link - with the address on standard input)
// accept and refuse the same addresses, an accepted run is the same run in all, and a refusal
// gives the same message: node link_readers_test.mjs TREMBLO_SIM
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
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

// A run that hardly compresses: comment lines of printable characters from a fixed
// pseudo-random sequence (xorshift).
function runOfNoise(lines) {
  let x = 2463534242, text = '';
  for (let i = 0; i < lines; ++i) {
    text += '#';
    for (let j = 0; j < 79; ++j) {
      x ^= x << 13; x ^= x >>> 17; x ^= x << 5; x >>>= 0;
      text += String.fromCharCode(33 + x % 94);
    }
    text += '\n';
  }
  return new TextEncoder().encode(`${text}key 3\nstep 100\n`);
}

// tremblo-sim with `args`: { ok, hash } or { ok: false, message }, the message without the
// program's name.
function run(args, input) {
  try {
    const hash = execFileSync(sim, [...args, '--hash'], { input, stdio: ['pipe', 'pipe', 'pipe'] }).toString();
    return { ok: true, hash };
  } catch (e) {
    if (e.status !== 2) throw new Error(`tremblo-sim ended with ${e.status}: ${e.stderr}`);
    return { ok: false, message: e.stderr.toString().replace(/^tremblo-sim: /, '').trimEnd() };
  }
}

// The native reader, each way: the address as the argument (unless too long for one), in a
// file saved by a Windows editor (CRLF), and on standard input, each with a line end after it.
function native(address, asArgument) {
  const file = join(work, 'link.txt');
  writeFileSync(file, `${address}\r\n`);
  const ways = { file: run(['--link', file]), stdin: run(['--link', '-'], `${address}\n`) };
  if (asArgument) ways.argument = run([address]);
  return ways;
}

// The page's reader, as the page reads its own address; an accepted run's hash is taken by
// the native runner from the bytes the page would play.
async function page(address) {
  let linked, bytes;
  try {
    linked = runInFragment(address.slice(address.indexOf('#')));
    if (linked === null) return { ok: false, message: null };
    bytes = await unpackRun(linked.data);
  } catch (e) {
    return { ok: false, message: e.message };
  }
  const file = join(work, 'run.sim');
  writeFileSync(file, bytes);
  return { ok: true, hash: run(linked.at === null ? [file] : [file, '--at', String(linked.at)]).hash, paused: linked.paused };
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
const long = await packRun(runOfNoise(2000));
const base = 'http://127.0.0.1:8000/';
// [what, address, the page's message or null when accepted]
const cases = [
  ['a run', base + fragmentFor(small, false), null],
  ['a paused run', base + fragmentFor(small, true), null],
  ['the run field after another', `${base}#paused&run=${small}`, null],
  ['padding a copy added', `${base}#run=${small}==`, null],
  ['%26 and %3D as mail programs write them', `${base}#run%3D${small}%26paused`, null],
  ['a run of exactly 1 MB', base + fragmentFor(atLimit, false), null],
  [`a link of ${long.length} characters, too long for a command line`, base + fragmentFor(long, false), null],
  ['a run one byte longer', base + fragmentFor(overLimit, false), 'the run in the address is longer than 1 MB'],
  ['data cut to a length no bytes make', `${base}#run=${small.slice(0, small.length - (small.length % 4) - 3)}`,
    'the run in the address is cut short ('],
  ['data cut short', `${base}#run=${small.slice(0, -6)}`, 'the run in the address is damaged (cut short)'],
  ['one character more than whole data', `${base}#run=${whole}A`, 'the run in the address is cut short ('],
  ['data ending in a group of two', base + fragmentFor(ending[2], false), null],
  ['data ending in a group of three', base + fragmentFor(ending[3], false), null],
  ['another field beside the run', `${base}#run=${small}&from=mail`, null],
  ['data that is not deflate', `${base}#run=${Buffer.from('not deflate').toString('base64url')}`,
    'the run in the address is damaged (not deflate data)'],
  ['a character not in base64url', `${base}#run=${small.slice(0, 5)}+${small.slice(6)}`, "('+', at position 6)"],
  ['a space in the data', `${base}#run=${small.slice(0, 5)} ${small.slice(5)}`, '(a space, at position 6)'],
  ['an escape cut short', `${base}#run=${small}%2`, "the address holds a '%' that is not followed by two hexadecimal"],
  ['no data', `${base}#run=`, 'the run in the address is damaged (cut short)'],
  ['no run field', `${base}#paused`, ''],
  ['no run field and a stray %', `${base}#note=100%`, ''],
  ['escapes in small letters', `${base}#run%3d${small}%26paused`, null],
  ['padding escaped at the very end', `${base}#run=${small}%3D`, null],
  ['a bad escape before the run field', `${base}#note%zz&run=${small}`, "the address holds a '%' that is not followed by two hexadecimal"],
  ['an escape of one digit', `${base}#run=${small}%4z`, "the address holds a '%' that is not followed by two hexadecimal"],
  ['a moment of the run', base + fragmentFor(small, false, 123), null],
  ['a moment escaped, beside paused', `${base}#run=${small}%26at%3D0&paused`, null],
  ['a moment past the run\'s end', base + fragmentFor(small, false, 2 ** 60), null],
  ['a moment that is no step count', `${base}#run=${small}&at=12x`, "the address's at= is not a step count"],
  ['a moment without digits', `${base}#run=${small}&at`, "the address's at= is not a step count"],
  ['a moment beyond 64 bits', `${base}#run=${small}&at=18446744073709551616`, "the address's at= is not a step count"],
  ['two moments', `${base}#run=${small}&at=1&at=2`, 'the address gives at= twice'],
  ['a line feed in the data', `${base}#run=${small.slice(0, 5)}\n${small.slice(5)}`, '(byte 0x0a, at position 6)'],
];

for (const [what, address, refusal] of cases) {
  const accepted = refusal === null;
  const ways = native(address, address.length < 100000);
  const p = await page(address);
  const fail = (message) => { console.log(`FAIL ${what}: ${message}`); ++failures; };
  for (const [way, n] of Object.entries(ways)) {
    if (n.ok !== accepted) fail(`native (${way}) ${n.message ?? 'accepted'}`);
    else if (accepted && n.hash !== p.hash) fail(`native (${way}) hash ${n.hash.trim()}, page ${p.hash}`);
    // An address that holds no run is a file name on the command line, and the page ignores it.
    else if (!accepted && p.message !== null && (n.message !== p.message || !n.message.includes(refusal))) {
      fail(`native (${way}) says '${n.message}', page '${p.message}'`);
    }
  }
  if (p.ok !== accepted) fail(`page ${p.message ?? 'accepted'}`);
  if (p.ok && p.paused !== address.includes('paused')) fail(`paused read as ${p.paused}`);
}

// The runner's own checks around --link: a trace over the link file, a script beside it, and
// a bad line of the linked run named as the link's.
const own = join(work, 'own.txt'), script = join(work, 'script.sim');
writeFileSync(own, `${base}${fragmentFor(small, false)}\n`);
writeFileSync(script, 'step 1\n');
const badRun = join(work, 'bad.txt');
writeFileSync(badRun, `${base}${fragmentFor(await packRun(new TextEncoder().encode('step 1\nwobble\n')), false)}\n`);
const moment = join(work, 'moment.txt'), smallRun = join(work, 'small.sim');
writeFileSync(moment, `${base}${fragmentFor(small, false, 300)}\n`);
writeFileSync(smallRun, 'key 3\nset gravity 4\nstep 500\n');
if (run(['--link', moment, '--at', '7']).hash !== run([smallRun, '--at', '7']).hash) {
  console.log('FAIL an explicit --at does not win over the address\'s at=');
  ++failures;
}
const expectations = [
  [['--link', own, '--trace', own], 'would overwrite'],
  [[script, '--link', own], 'more than one script'],
  [['--link', badRun], '<link>:2: unknown command'],
];
for (const [args, message] of expectations) {
  const r = run(args);
  if (r.ok || !r.message.includes(message)) {
    console.log(`FAIL tremblo-sim ${args.join(' ')}: ${r.message ?? 'accepted'}`);
    ++failures;
  }
}
if (!readFileSync(own, 'utf8').includes('#run=')) {
  console.log('FAIL the link file was overwritten');
  ++failures;
}

// The page's base64url gives back exactly the bytes it was given, for every length's ending.
for (let size = 0; size < 10; ++size) {
  const bytes = Uint8Array.from({ length: size }, (_, i) => (i * 151 + 77) & 255);
  const back = fromBase64Url(new TextEncoder().encode(toBase64Url(bytes)));
  if (back.length !== size || back.some((b, i) => b !== bytes[i])) {
    console.log(`FAIL base64url of ${size} bytes reads back as ${back.length} bytes`);
    ++failures;
  }
}

rmSync(work, { recursive: true });
console.log(`${cases.length} cases, ${failures} failures`);
process.exit(failures === 0 ? 0 : 1);
