// The grab on the page: the panel's switch that makes a left (mouse, pen) or one-finger drag on
// the picture take a moving point instead of pushing, and the held point's moves. Taking, moving
// and letting go are commands of the run (the module records them); the moves go out at most
// once per drawn frame, and only when the pointer moved.
//
// The switch and "touch drags as right button" exclude each other: each says what one finger
// does.
import { WINDOW_HEIGHT, WINDOW_WIDTH } from './pointer_input.js';

export class GrabControl {
  // api: the module (module_api.js); grabSwitch, touchRightSwitch: the panel's switch buttons.
  constructor(api, grabSwitch, touchRightSwitch) {
    this.api = api;
    this.switch = grabSwitch;
    this.held = false;      // the pointer holds a point
    this.pending = null;    // where the pointer went since the last move sent, window pixels
    const flip = (own, other) => own.addEventListener('click', () => {
      // Registered after the listener that flips `own`: this sees its new state.
      if (own.getAttribute('aria-checked') === 'true') other.setAttribute('aria-checked', 'false');
    });
    grabSwitch.addEventListener('click', () => {
      grabSwitch.setAttribute('aria-checked', String(!this.on()));
    });
    flip(grabSwitch, touchRightSwitch);
    flip(touchRightSwitch, grabSwitch);
  }

  on() { return this.switch.getAttribute('aria-checked') === 'true'; }

  // A press at (x, y), window pixels, taking the point drawn within `radius` of it, if any.
  take(x, y, radius) {
    this.release();
    this.held = this.api.takePoint(x, y, WINDOW_WIDTH, WINDOW_HEIGHT, radius) !== null;
  }

  drag(x, y) { if (this.held) this.pending = { x, y }; }

  release() {
    if (!this.held) return;
    this.flush();
    this.api.letGo();
    this.held = false;
    this.pending = null;
  }

  // Before a frame is described: the pointer's last move, if it moved.
  flush() {
    if (!this.held || this.pending === null) return;
    const { x, y } = this.pending;
    this.pending = null;
    if (!this.api.moveGrab(x, y, WINDOW_WIDTH, WINDOW_HEIGHT)) this.held = false;
  }

  // The frame described: a grab the core let go of (a restart, a scene, a pin) is over here too.
  follow(grab) {
    if (this.held && !grab?.byPointer) {
      this.held = false;
      this.pending = null;
    }
  }
}
