// A run in the page's address: #run=DATA, where DATA is the run's text compressed with the
// browser's own deflate (the zlib format, as tremblo-sim inflates it) in base64url without
// padding; `&at=STEP` beside it opens the run at that step of it, paused (the timeline's moment,
// as tremblo-sim stops there); `&paused` alone plays the run and pauses at its end. The
// fragment's %XX escapes are decoded before it is split into fields, as run/run_link.cpp does.

// A run that inflates to more than this is refused, whatever its compressed size.
export const MAX_RUN_BYTES = 1000000;

const ALPHABET = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_';

export function toBase64Url(bytes) {
  let out = '', bits = 0, held = 0;
  for (const b of bytes) {
    bits = ((bits << 8) | b) & 0xffff;
    held += 8;
    while (held >= 6) { held -= 6; out += ALPHABET[(bits >> held) & 63]; }
  }
  if (held > 0) out += ALPHABET[(bits << (6 - held)) & 63];
  return out;
}

// A byte of the address as a message names it (run/run_link.cpp names it alike).
function byteShown(b) {
  if (b === 0x20) return 'a space';
  if (b > 0x20 && b < 0x7f) return `'${String.fromCharCode(b)}'`;
  return `byte 0x${b.toString(16).padStart(2, '0')}`;
}

// The bytes that DATA (base64url, given as its bytes) stands for.
export function fromBase64Url(data) {
  let end = data.length;
  while (end > 0 && data[end - 1] === 0x3d) --end;  // '=': padding a copy may carry
  data = data.subarray(0, end);
  // A foreign character first: a space in the data also makes its length look cut short.
  const values = Array.from(data, (b) => ALPHABET.indexOf(String.fromCharCode(b)));
  const bad = values.findIndex((v) => v < 0);
  if (bad >= 0) {
    const what = `${byteShown(data[bad])}, at position ${bad + 1}`;
    throw new Error(`the run in the address holds a character that is not base64url (${what})`);
  }
  if (data.length % 4 === 1) {
    throw new Error(`the run in the address is cut short (${data.length} base64url characters)`);
  }
  const bytes = new Uint8Array(Math.floor(data.length * 3 / 4));
  let bits = 0, held = 0, n = 0;
  for (const v of values) {
    bits = ((bits << 6) | v) & 0xffff;
    held += 6;
    if (held >= 8) { held -= 8; bytes[n++] = (bits >> held) & 0xff; }
  }
  return bytes;
}

// The run's bytes packed for the address.
export async function packRun(bytes) {
  const packed = await new Response(new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate'))).arrayBuffer();
  return toBase64Url(new Uint8Array(packed));
}

// What an inflate error says, in the native reader's words: node gives zlib's code, browsers
// only their own wording.
function damage(e) {
  if (e.code === 'Z_BUF_ERROR' || /truncated|unexpected end/i.test(e.message)) return 'cut short';
  if (/junk|after (the )?end/i.test(e.message)) return 'bytes after its end';
  return 'not deflate data';
}

// The run's bytes out of DATA (a string or its bytes); throws an Error with a one-line message
// when DATA is damaged or the run too long, in the native reader's words.
export async function unpackRun(data) {
  const packed = fromBase64Url(typeof data === 'string' ? new TextEncoder().encode(data) : data);
  const reader = new Blob([packed]).stream().pipeThrough(new DecompressionStream('deflate')).getReader();
  const parts = [];
  let size = 0;
  try {
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      size += value.length;
      if (size > MAX_RUN_BYTES) {
        reader.cancel().catch(() => {});
        throw new RangeError('the run in the address is longer than 1 MB');
      }
      parts.push(value);
    }
  } catch (e) {
    if (e instanceof RangeError) throw new Error(e.message);
    throw new Error(`the run in the address is damaged (${damage(e)})`);
  }
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const p of parts) { bytes.set(p, at); at += p.length; }
  return bytes;
}

function hexValue(b) {
  if (b >= 0x30 && b <= 0x39) return b - 0x30;  // 0-9
  if (b >= 0x61 && b <= 0x66) return b - 0x57;  // a-f
  if (b >= 0x41 && b <= 0x46) return b - 0x37;  // A-F
  return -1;
}

// The fragment's bytes (UTF-8, '#' dropped) with its %XX escapes decoded: mail programs write
// '&' and '=' as %26 and %3D. Strict: a '%' not followed by two hexadecimal digits throws;
// otherwise it is kept as it is.
function fragmentBytes(fragment, strict) {
  const raw = new TextEncoder().encode(fragment.replace(/^#/, ''));
  const out = [];
  for (let i = 0; i < raw.length; ++i) {
    const high = raw[i] === 0x25 && i + 2 < raw.length ? hexValue(raw[i + 1]) : -1;
    const low = high >= 0 ? hexValue(raw[i + 2]) : -1;
    if (raw[i] !== 0x25) {
      out.push(raw[i]);
    } else if (low >= 0) {
      out.push(high * 16 + low);
      i += 2;
    } else if (strict) {
      throw new Error("the address holds a '%' that is not followed by two hexadecimal digits");
    } else {
      out.push(raw[i]);
    }
  }
  return new Uint8Array(out);
}

// The fragment's fields, split at '&', as strings of their bytes (one character per byte).
function fields(bytes) {
  let text = '';
  for (const b of bytes) text += String.fromCharCode(b);
  return text.split('&');
}

// The step of the fields' at=, or null; throws for one that is not a step count (digits only,
// within 64 bits) or given twice, in the native reader's words. A step beyond 2^53 is past the
// end of any run a link can hold, and reads as such.
function stepIn(all) {
  const at = all.filter((f) => f === 'at' || f.startsWith('at='));
  if (at.length > 1) throw new Error('the address gives at= twice');
  if (at.length === 0) return null;
  const digits = at[0].slice(3);
  if (!/^[0-9]+$/.test(digits) || BigInt(digits) >= 2n ** 64n) {
    throw new Error("the address's at= is not a step count (digits only, within 64 bits)");
  }
  return Number(digits);
}

// { data, paused, at } of an address fragment ('#run=...&at=120'), data being the run field's
// bytes and at the step to show or null, or null when it holds no run; throws an Error for a
// fragment whose escapes or step are bad.
export function runInFragment(fragment) {
  const loose = fields(fragmentBytes(fragment, false));
  if (!loose.some((f) => f.startsWith('run='))) return null;
  const all = fields(fragmentBytes(fragment, true));
  const run = all.find((f) => f.startsWith('run='));
  return { data: Uint8Array.from(run.slice(4), (c) => c.charCodeAt(0)), paused: all.includes('paused'), at: stepIn(loose) };
}

export function fragmentFor(data, paused, at = null) {
  return `#run=${data}${at === null ? '' : `&at=${at}`}${paused ? '&paused' : ''}`;
}
