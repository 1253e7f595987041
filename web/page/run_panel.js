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
    this.leaving = false;  // the person has agreed to leave already
    download.addEventListener('click', () => this.saveRun());
    share.addEventListener('click', () => this.shareRun());
    // A recording worth keeping is not lost to a closed tab or a click without a word.
    window.addEventListener('beforeunload', (event) => {
      if (this.leaving || !this.api.runState().worthKeeping) return;
      event.preventDefault();
      event.returnValue = '';
    });
    // Another run pasted into this page's address: a page of its own, once the person agrees.
    window.addEventListener('hashchange', () => {
      if (location.hash === this.fragment) return;
      if (this.api.runState().worthKeeping && !confirm('Open the run in the address? This page\'s recording ' +
          'is lost unless you download or share it first.')) {
        // The address goes on naming what this page shows.
        history.replaceState(null, '', this.fragment ?? location.href.split('#')[0]);
        return;
      }
      this.leaving = true;
      location.reload();
    });
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

  // For the status line: what the run shows, the step count and the state hash; and, when the
  // scene blew up, blownUp, what to say about it (else null), and blownUpBy, its step.
  status() {
    const { playing, playedSteps, runSteps, steps, linked, blownUpBy } = this.api.runState();
    const hash = this.api.stateHash();
    this.download.disabled = this.share.disabled = playing;
    const linkPlays = playing && linked;
    const text = !playing ? `step ${steps} · hash ${hash}`
      : linked ? `playing the run: step ${playedSteps} of ${runSteps} (keys wait for its end)`
        : `playing the scene: step ${playedSteps} of ${runSteps} (a new scene replaces it; other keys and drags wait for its end)`;
    const blownUp = blownUpBy === null ? null : `the scene blew up by step ${blownUpBy} (a position or velocity ` +
      `is not finite): ${linkPlays ? 'once the run has ended, ' : ''}press a scene key or choose a scene to start again`;
    return { text, playing, steps, hash, blownUp, blownUpBy };
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
