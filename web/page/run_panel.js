// The page's runs. The module keeps the page's session as one timeline (web/page_loop.h): the
// run of the address, if any, then the keys, drags, panel buttons and live steps of the person.
// This puts the address's run on it, saves the run as far as the picture shows it ("Download
// run") and puts the whole run with the step shown into the address ("Share").
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
    const fault = this.api.playRun(bytes, linked.paused, linked.at);
    if (fault !== null) this.say(`${fault}; the page starts afresh`, true);
  }

  // For the status line: what the timeline shows, the step and the state hash; and, when the
  // scene blew up, blownUp, what to say about it (else null), and blownUpBy, its step.
  status() {
    const { at, length, atEnd, jump, blownUpBy } = this.api.runState();
    const hash = this.api.stateHash();
    const text = jump ? `going to step ${jump.goal}: at step ${at}`
      : !atEnd && !this.api.paused ? `playing the run: step ${at} of ${length} (a key or a drag takes over here)`
        : `step ${at}${atEnd ? '' : ` of ${length}`} · hash ${hash}`;
    const blownUp = blownUpBy === null ? null : `the scene blew up by step ${blownUpBy} (a position or velocity ` +
      'is not finite): go back on the timeline, or press a scene key or choose a scene to start again';
    return { text, steps: at, hash, blownUp, blownUpBy };
  }

  saveRun() {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([this.api.recording(true)], { type: 'text/plain' }));
    link.download = 'tremblo-run.sim';
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  async shareRun() {
    const bytes = this.api.recording(false);
    const { at } = this.api.runState();
    if (bytes.length > MAX_RUN_BYTES) {
      this.say('the run is longer than 1 MB, too long for an address: download it instead', true);
      return;
    }
    this.fragment = fragmentFor(await packRun(bytes), false, at);
    history.replaceState(null, '', this.fragment);
    try {
      await navigator.clipboard.writeText(location.href);
      this.say(`the address now holds the run and its step ${at}, and it is copied`);
    } catch {
      this.say(`the address now holds the run and its step ${at}: copy it from the address bar`);
    }
  }

  say(text, fault = false) {
    this.message.textContent = text;
    this.message.classList.toggle('fault', fault);
  }
}
