// Mouse, pen and touch on the picture, through pointer events, turned into the window's mouse
// events: positions in the 800 x 600 window pixels that the simulation's drags expect, however
// large the picture is drawn. A press on the picture is followed by its release wherever that
// happens (the pointer is captured), as the window's drags are.
//
// Mouse and pen: the left and right buttons drag for the simulation; the middle button and the
// wheel belong to the view. Touch: one finger drags as the left button (or as the right one,
// while touchButton() says so); a second finger turns the drag into a gesture that zooms
// (pinch) and turns (both fingers moving) the view, and the first finger's press then ends
// with no release, so it pushes nothing. The page does not scroll or zoom under a finger on
// the picture (touch-action: none in page.css).
//
// The grab: while grab.on() says so, a left or one-finger drag takes the moving point drawn
// nearest the press instead (a shift + left drag always does), drags it and lets it go at the
// release; it pushes nothing, also when no point is near. A second finger lets go.

export const WINDOW_WIDTH = 800, WINDOW_HEIGHT = 600;
// The toolkit's codes: buttons 0 left, 1 middle, 2 right, 3 and 4 the wheel's notches;
// states 0 down, 1 up.
const LEFT = 0, MIDDLE = 1, RIGHT = 2;
const BUTTON_DOWN = 0, BUTTON_UP = 1;
// Bits of PointerEvent.buttons for the toolkit's buttons 0, 1, 2.
const BUTTON_BITS = [1, 4, 2];
// Zoom factor per pixel of wheel scrolling: a notch of 100 pixels toward the user moves the eye
// about 11% away, as one of the window's wheel notches does.
const WHEEL_NOTCH_PIXELS = 100, WHEEL_NOTCH_FARTHER = 1 / 0.9;
const WHEEL_LINE_PIXELS = 16;
// How near the press a point must be drawn to be taken, CSS pixels: a finger covers more of
// the picture than a mouse's pointer, and a phone draws a block's corners close together.
const GRAB_RADIUS = { mouse: 12, pen: 12, touch: 28 };

export class PointerInput {
  // handlers: mouse(button, state, x, y): the simulation's mouse callback;
  //   view: { mouse(button, state, x, y) -> true when the event is the view's, motion(x, y),
  //           turn(dx, dy) in window pixels, zoom(factor) of the eye's distance };
  //   touchButton(): 0 or 2, the button a one-finger drag acts as;
  //   grab: { on(), take(x, y, radius), drag(x, y), release() }, window pixels (GrabControl).
  constructor(canvas, handlers) {
    this.canvas = canvas;
    this.handlers = handlers;
    this.position = { x: 0, y: 0 };  // the last pointer position, window pixels
    this.held = new Set();            // mouse and pen buttons pressed on the picture
    this.leftGrabs = false;           // the left button is down for the grab
    this.touches = new Map();         // finger -> position, window pixels (fractional)
    this.dragTouch = null;            // { id, button } or { id, grabs } of the finger that drags for the simulation
    this.gesture = null;              // { distance, x, y } of the first two fingers
    const on = (type, f) => canvas.addEventListener(type, f, { passive: false });
    on('pointerdown', (e) => (e.pointerType === 'touch' ? this.#touchDown(e) : this.#buttonDown(e)));
    on('pointermove', (e) => (e.pointerType === 'touch' ? this.#touchMove(e) : this.#buttonMove(e)));
    on('pointerup', (e) => (e.pointerType === 'touch' ? this.#touchUp(e) : this.#buttonUp(e)));
    on('pointercancel', (e) => this.#cancel(e));
    on('wheel', (e) => this.#wheel(e));
    // The right button drags: no menu on the picture, nor where a drag from it ends.
    on('contextmenu', (e) => e.preventDefault());
    window.addEventListener('contextmenu', (e) => { if (this.held.size > 0) e.preventDefault(); });
  }

  // Window pixels of a pointer event; outside the picture too (negative, or past 800 x 600).
  #windowPixel(event, exact = false) {
    const r = this.canvas.getBoundingClientRect();
    const x = (event.clientX - r.left) * WINDOW_WIDTH / r.width, y = (event.clientY - r.top) * WINDOW_HEIGHT / r.height;
    return exact ? { x, y } : { x: Math.floor(x), y: Math.floor(y) };
  }

  // The grab's press at a pointer event: its exact window pixel, the radius in window pixels.
  #take(event) {
    const p = this.#windowPixel(event, true);
    const r = this.canvas.getBoundingClientRect();
    this.handlers.grab.take(p.x, p.y, (GRAB_RADIUS[event.pointerType] ?? GRAB_RADIUS.mouse) * WINDOW_WIDTH / r.width);
  }

  #press(button, p) {
    if (!this.handlers.view.mouse(button, BUTTON_DOWN, p.x, p.y)) this.handlers.mouse(button, BUTTON_DOWN, p.x, p.y);
  }

  #release(button, p) {
    if (!this.handlers.view.mouse(button, BUTTON_UP, p.x, p.y)) this.handlers.mouse(button, BUTTON_UP, p.x, p.y);
  }

  #capture(event) {
    // Keys go to the page, and the release comes back here wherever it happens.
    this.canvas.focus({ preventScroll: true });
    event.preventDefault();
    try { this.canvas.setPointerCapture(event.pointerId); } catch { /* the pointer is gone already */ }
  }

  // --- Mouse and pen --------------------------------------------------------------------------

  #buttonDown(event) {
    if (event.button < LEFT || event.button > RIGHT) return;
    this.#capture(event);
    this.position = this.#windowPixel(event);
    this.#buttonPressed(event.button, event);
  }

  #buttonPressed(button, event) {
    if (button === LEFT && (event.shiftKey || this.handlers.grab.on())) {
      this.leftGrabs = true;
      this.#take(event);
      return;
    }
    this.held.add(button);
    this.#press(button, this.position);
  }

  #buttonMove(event) {
    this.position = this.#windowPixel(event);
    // A second button pressed or released while one is held comes as a move.
    const b = event.button;
    if (b >= LEFT && b <= RIGHT) {
      if (event.buttons & BUTTON_BITS[b]) {
        if (!this.held.has(b) && !(b === LEFT && this.leftGrabs)) this.#buttonPressed(b, event);
      } else {
        this.#buttonReleased(b);
      }
    }
    if (this.leftGrabs) {
      const exact = this.#windowPixel(event, true);
      this.handlers.grab.drag(exact.x, exact.y);
    }
    if (this.held.has(MIDDLE)) this.handlers.view.motion(this.position.x, this.position.y);
  }

  #buttonUp(event) {
    this.position = this.#windowPixel(event);
    this.#buttonReleased(event.button);
  }

  #buttonReleased(button) {
    if (button === LEFT && this.leftGrabs) {
      this.leftGrabs = false;
      this.handlers.grab.release();
    } else if (this.held.delete(button)) {
      this.#release(button, this.position);
    }
  }

  #wheel(event) {
    event.preventDefault();
    const pixels = event.deltaY * (event.deltaMode === 1 ? WHEEL_LINE_PIXELS : event.deltaMode === 2 ? WINDOW_HEIGHT : 1);
    this.handlers.view.zoom(WHEEL_NOTCH_FARTHER ** (pixels / WHEEL_NOTCH_PIXELS));
  }

  // --- Touch ----------------------------------------------------------------------------------

  #touchDown(event) {
    this.#capture(event);
    const exact = this.#windowPixel(event, true);
    this.touches.set(event.pointerId, exact);
    if (this.touches.size === 1) {
      this.position = this.#windowPixel(event);
      if (this.handlers.grab.on()) {
        this.dragTouch = { id: event.pointerId, grabs: true };
        this.#take(event);
      } else {
        this.dragTouch = { id: event.pointerId, button: this.handlers.touchButton() };
        this.#press(this.dragTouch.button, this.position);
      }
    } else if (this.touches.size === 2) {
      if (this.dragTouch?.grabs) this.handlers.grab.release();
      this.dragTouch = null;  // pressed, never released: no push
      this.gesture = this.#measure();
    }
  }

  #touchMove(event) {
    if (!this.touches.has(event.pointerId)) return;
    this.touches.set(event.pointerId, this.#windowPixel(event, true));
    if (this.dragTouch?.id === event.pointerId) {
      this.position = this.#windowPixel(event);
      const at = this.touches.get(event.pointerId);
      if (this.dragTouch.grabs) this.handlers.grab.drag(at.x, at.y);
    }
    if (this.gesture && this.touches.size >= 2) {
      const now = this.#measure();
      this.handlers.view.zoom(this.gesture.distance / now.distance);
      this.handlers.view.turn(now.x - this.gesture.x, now.y - this.gesture.y);
      this.gesture = now;
    }
  }

  #touchUp(event) {
    if (this.dragTouch?.id === event.pointerId) {
      this.position = this.#windowPixel(event);
      if (this.dragTouch.grabs) this.handlers.grab.release();
      else this.#release(this.dragTouch.button, this.position);
      this.dragTouch = null;
    }
    this.#forget(event.pointerId);
  }

  #forget(id) {
    this.touches.delete(id);
    if (this.touches.size < 2) this.gesture = null;
  }

  // The browser took the pointer back: its drag ends without a release, so it pushes nothing;
  // a held point is let go.
  #cancel(event) {
    if (event.pointerType === 'touch') {
      if (this.dragTouch?.id === event.pointerId) {
        if (this.dragTouch.grabs) this.handlers.grab.release();
        this.dragTouch = null;
      }
      this.#forget(event.pointerId);
    } else {
      this.held.clear();
      if (this.leftGrabs) this.handlers.grab.release();
      this.leftGrabs = false;
    }
  }

  // Distance and midpoint of the first two fingers (a distance of at least a pixel, so that
  // fingers that meet cannot zoom by an infinite factor).
  #measure() {
    const [a, b] = [...this.touches.values()];
    return { distance: Math.max(1, Math.hypot(a.x - b.x, a.y - b.y)), x: (a.x + b.x) / 2, y: (a.y + b.y) / 2 };
  }
}
