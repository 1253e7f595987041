// The page's runs. The module records keys, drags, panel buttons and single steps from the
// moment the page loads (web/page_loop.h); this plays the run of the address, if any, saves
// the recording ("Download run") and puts it into the address ("Share").
import { MAX_RUN_BYTES, fragmentFor, packRun, runInFragment, unpackRun } from './run_link.js';

export class RunPanel {
  // api: the module (module_api.js).
  constructor(api, { download, share, message }) {
    this.api = api;
    this.download = download;
    this.share = share;
    this.message = message;
    this.fragment = null;  // the fragment this page put into the address
    download.addEventListener('click', () => this.saveRun());
    share.addEventListener('click', () => this.shareRun());
    // Another run pasted into this page's address: a page of its own.
    window.addEventListener('hashchange', () => { if (location.hash !== this.fragment) location.reload(); });
  }

  // Plays the run in the address, if any; a bad one is named in the message, and the page
  // goes on from its start.
  async start() {
    let linked, bytes;
    try {
      linked = runInFragment(location.hash);
      if (linked === null) return;
      this.fragment = location.hash;
      bytes = await unpackRun(linked.data);
    } catch (e) {
      this.fragment = location.hash;
      this.say(`<link>: ${e.message}; the page starts afresh`, true);
      return;
    }
    const fault = this.api.playRun(bytes, linked.paused);
    if (fault !== null) this.say(`${fault}; the page starts afresh`, true);
  }

  // For the status line: what the run shows, the step count and the state hash.
  status() {
    const { playing, playedSteps, runSteps, steps } = this.api.runState();
    const hash = this.api.stateHash();
    this.download.disabled = this.share.disabled = playing;
    const text = playing ? `playing the run: step ${playedSteps} of ${runSteps} (keys wait for its end)` : `step ${steps} · hash ${hash}`;
    return { text, playing, steps, hash };
  }

  saveRun() {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([this.api.recording()], { type: 'text/plain' }));
    link.download = 'tremblo-run.sim';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  async shareRun() {
    const bytes = this.api.recording();
    if (bytes.length > MAX_RUN_BYTES) {
      this.say('the run is longer than 1 MB, too long for an address: download it instead', true);
      return;
    }
    this.fragment = fragmentFor(await packRun(bytes), this.api.paused);
    history.replaceState(null, '', this.fragment);
    try {
      await navigator.clipboard.writeText(location.href);
      this.say('the address now holds the run, and it is copied');
    } catch {
      this.say('the address now holds the run: copy it from the address bar');
    }
  }

  say(text, fault = false) {
    this.message.textContent = text;
    this.message.classList.toggle('fault', fault);
  }
}
