// The timeline under the picture: a slider over the whole run so far, jumps to its start and
// end, a step or a frame (80 steps) back and forward, play and pause, the speed; the step and
// simulated time shown; a far jump's progress with Cancel. None of it is a command of the run:
// a jump restores the nearest snapshot and steps on (web/page_loop.h), a piece per call of the
// loop, so the page keeps answering. The arrow keys, Home and End do the same on the picture.

export const FRAME_STEPS = 80;
// A jump still on its way after this long shows its progress.
const PROGRESS_AFTER_MS = 250;

export class TimelineBar {
  // api: the module (module_api.js); after(): called after every action (the status line).
  constructor(api, el, after) {
    this.api = api;
    this.el = el;
    this.after = after;
    this.scrubbing = false;
    this.jumpSeen = null;  // when the jump on its way was first seen
    const click = (button, action) => button.addEventListener('click', () => { action(); this.done(); });
    click(el.toStart, () => api.jump(0));
    click(el.toEnd, () => api.jump(api.runState().length));
    click(el.stepBack, () => this.back(1));
    click(el.frameBack, () => this.back(FRAME_STEPS));
    click(el.step, () => api.stepOnce());
    click(el.frameForward, () => api.forward(FRAME_STEPS));
    click(el.cancel, () => { api.cancelJump(); api.paused = true; });
    // Pause also ends a jump where it has got to.
    click(el.pause, () => {
      const { jump } = api.runState();
      if (jump) api.cancelJump();
      api.paused = jump !== null || !api.paused;
    });
    el.speed.addEventListener('change', () => { api.stepsPerFrame = Number(el.speed.value); });
    // The picture follows the thumb: each move is a jump, which replaces the one before.
    el.slider.addEventListener('input', () => {
      this.scrubbing = true;
      api.jump(Number(el.slider.value));
      this.done();
    });
    el.slider.addEventListener('change', () => { this.scrubbing = false; });
  }

  back(steps) { this.api.jump(Math.max(0, this.api.runState().at - steps)); }

  // A key on the picture that is the timeline's: true when it was.
  key(event) {
    const steps = event.shiftKey ? 1 : FRAME_STEPS;
    if (event.key === 'ArrowLeft') this.back(steps);
    else if (event.key === 'ArrowRight') this.api.forward(steps);
    else if (event.key === 'Home') this.api.jump(0);
    else if (event.key === 'End') this.api.jump(this.api.runState().length);
    else return false;
    this.done();
    return true;
  }

  done() {
    this.update();
    this.after();
  }

  // Shows where the timeline is: called every frame drawn and after every action.
  update() {
    const { at, length, atEnd, jump, simTime } = this.api.runState();
    const el = this.el;
    el.slider.max = String(length);
    if (!this.scrubbing) el.slider.value = String(at);
    el.slider.setAttribute('aria-valuetext', `step ${at} of ${length}`);
    el.at.textContent = `step ${at} of ${length}${atEnd ? ' (the end: live)' : ''} · t = ${simTime.toFixed(4)} s`;
    el.at.dataset.step = String(at);
    el.at.dataset.length = String(length);
    el.at.dataset.snapshotBytes = String(this.api.snapshotBytes());
    const paused = this.api.paused;
    el.pause.textContent = paused ? 'run' : 'pause';
    if (jump && this.jumpSeen === null) this.jumpSeen = performance.now();
    if (!jump) this.jumpSeen = null;
    const showing = jump !== null && performance.now() - this.jumpSeen >= PROGRESS_AFTER_MS;
    el.progress.hidden = !showing;
    if (showing) {
      const toGo = Math.max(jump.goal - jump.from, 0), done = Math.min(Math.max(at - jump.from, 0), toGo);
      el.bar.max = Math.max(toGo, 1);
      el.bar.value = done;
      el.progressText.textContent = `going to step ${jump.goal}: ${done} of ${toGo} steps done` +
        (jump.commands > 0 ? `, ${jump.commands} commands carried out` : '');
    }
  }
}
