// A run in the page's address: #run=DATA, where DATA is the run's text compressed with the
// browser's own deflate (the zlib format, as tremblo-sim inflates it) in base64url without
// padding; `&paused` beside it opens the run paused at its end.

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

export function fromBase64Url(text) {
  text = text.replace(/=+$/, '');
  if (text.length % 4 === 1) throw new Error(`the run in the address is cut short (${text.length} base64url characters)`);
  const bytes = new Uint8Array(Math.floor(text.length * 3 / 4));
  let bits = 0, held = 0, n = 0;
  for (let i = 0; i < text.length; ++i) {
    const v = ALPHABET.indexOf(text[i]);
    if (v < 0) throw new Error(`the run in the address holds a character that is not base64url, at ${i + 1}`);
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

// The run's bytes out of DATA; throws an Error with a one-line message when DATA is damaged or
// the run too long.
export async function unpackRun(data) {
  const packed = fromBase64Url(data);
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
    throw new Error('the run in the address is damaged (not complete deflate data)');
  }
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const p of parts) { bytes.set(p, at); at += p.length; }
  return bytes;
}

// { data, paused } of an address fragment ('#run=...&paused'), or null when it holds no run.
export function runInFragment(fragment) {
  const fields = fragment.replace(/^#/, '').split('&');
  const run = fields.find((f) => f.startsWith('run='));
  if (run === undefined) return null;
  return { data: run.slice(4), paused: fields.includes('paused') };
}

export function fragmentFor(data, paused) { return `#run=${data}${paused ? '&paused' : ''}`; }
