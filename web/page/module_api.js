// The simulation's module as the page sees it: the only script that knows the module's exported
// functions (web/page_exports.cpp), where in its memory their answers lie and how they are laid
// out, and how its strings are read. The other scripts ask this one in plain names and values.
//
// The module's memory may grow on any call into it, which replaces its HEAP views: every read
// below takes the view afresh, after the call that returned the pointer.

const STATUS_DOUBLES = 8;        // in the order of StatusField in web/page_exports.cpp
// The switches' bits in webFlags.
const FLAG_BITS = { gravity: 1, volume: 2, plastic: 4, breakable: 8, pushInYZ: 16 };
const CAMERA_DOUBLES = 15;       // eye, target, up, then left, right, bottom, top, near, far
const ROOM_QUADS = 3, QUAD_FLOATS = 15;  // a quad: its colour, then 4 corners
const STYLE_FLOATS = 11;         // spring colour, point colour, the points' cube edge, grab colour, target's cube edge
const GRAB_FLOATS = 8;           // whose grab (0 none, 1 a run's, 2 the pointer's), drawable, the point, the target

export async function loadModule() {
  // createTremblo: tremblo.js, loaded by index.html before the page's scripts.
  return new ModuleApi(await createTremblo());
}

export class ModuleApi {
  #m;
  #style;

  constructor(module) {
    this.#m = module;
    this.#style = this.#f32(module._webStyle(), STYLE_FLOATS).slice();
  }

  #f32(pointer, count) { return this.#m.HEAPF32.subarray(pointer >> 2, (pointer >> 2) + count); }
  #f64(pointer, count) { return this.#m.HEAPF64.subarray(pointer >> 3, (pointer >> 3) + count); }
  #text(pointer) { return this.#m.UTF8ToString(pointer); }

  // Copies bytes into the module's run buffer. The buffer first: making it may grow the memory.
  #fill(bytes) {
    const at = this.#m._webRunBuffer(bytes.length);
    this.#m.HEAPU8.set(bytes, at);
  }

  // --- The loop ------------------------------------------------------------------------------

  // The window's start: the one-cube scene.
  start() { this.#m._webStart(); }
  // Works for a slice of time, or until a frame is to be drawn (true).
  runUntilFrame() { return this.#m._webRunUntilFrame() !== 0; }
  msUntilFrame() { return this.#m._webMsUntilFrame(); }
  // Work is left before the next frame: come back at once.
  get hasWork() { return this.#m._webHasWork() !== 0; }
  get paused() { return this.#m._webPaused() !== 0; }
  set paused(on) { this.#m._webSetPaused(on ? 1 : 0); }
  // Steps a frame while playing (80: real time).
  set stepsPerFrame(steps) { this.#m._webSetStepsPerFrame(steps); }
  // One step forward, paused: at the run's end a step of the person's, recorded.
  stepOnce() { this.#m._webStepOnce(); }

  // --- The timeline: jumps are not recorded; they are carried out by runUntilFrame ----------

  // Goes to a step of the run, paused.
  jump(step) { this.#m._webJump(step); }
  // Ends a jump where it has got to.
  cancelJump() { this.#m._webCancelJump(); }
  // Steps forward, paused: the run's where it goes on (to its end at most), recorded live steps
  // at its end.
  forward(steps) { this.#m._webForward(steps); }
  // Bytes the timeline's snapshots hold.
  snapshotBytes() { return this.#m._webSnapshotBytes(); }

  // --- Input: window pixels, the toolkit's key, button and state codes -----------------------

  key(code, x, y) { this.#m._webKey(code, x, y); }
  mouse(button, state, x, y) { this.#m._webMouse(button, state, x, y); }

  // The view's: true when the event was the view's, false when it is the simulation's.
  viewMouse(button, state, x, y) { return this.#m._webViewMouse(button, state, x, y) !== 0; }
  viewMotion(x, y) { this.#m._webViewMotion(x, y); }
  turnView(dx, dy) { this.#m._webTurnView(dx, dy); }
  zoomView(factor) { this.#m._webZoomView(factor); }
  resetView() { this.#m._webResetView(); }

  // --- The grab: window pixels of a width x height picture, y down, seen as last drawn -------

  // Takes the moving point drawn nearest (x, y) within `radius` pixels, as a command of the run:
  // its number, or null when none is that near or while a run plays (nothing is taken then).
  takePoint(x, y, width, height, radius) {
    const number = this.#m._webGrabTake(x, y, width, height, radius);
    return number < 0 ? null : number;
  }
  // Moves the pointer's grab's target under (x, y), as a command of the run: false when the
  // pointer holds nothing any more (a restart, a scene or a pin let go).
  moveGrab(x, y, width, height) { return this.#m._webGrabMove(x, y, width, height) !== 0; }
  // The pointer lets go, as a command of the run (nothing when the core let go already).
  letGo() { this.#m._webGrabLetGo(); }

  // --- Runs ------------------------------------------------------------------------------------

  // Puts a run's bytes on the timeline: played at the page's pace (pausing at its end with
  // pauseAtEnd), or shown at step `at`, paused: null, or the reader's message about a bad run,
  // which is then not played.
  playRun(bytes, pauseAtEnd, at = null) {
    this.#fill(bytes);
    return this.#m._webPlayRun(pauseAtEnd ? 1 : 0, at ?? -1) ? null : this.#text(this.#m._webRunMessage());
  }

  // Commands of the panel's (a scene, settings), as the run's future from the step shown (its
  // future there is cut off): null, or the reader's message about a bad line, and then nothing
  // is carried out.
  playCommands(text) {
    this.#fill(new TextEncoder().encode(text));
    return this.#m._webPlayCommands() ? null : this.#text(this.#m._webRunMessage());
  }

  // Gives setting `index` the value as a command of the run (recorded): null, or why not.
  changeSetting(index, value) {
    return this.#m._webChangeSetting(index, value) ? null : this.#text(this.#m._webRunMessage());
  }

  // { at: the step shown, length: the run's steps, atEnd: the world is at the run's end (live),
  //   jump: null, or { from, goal, commands: carried out so far } while one is on its way,
  //   blownUpBy: the step by which the scene blew up, or null while it is finite,
  //   worthKeeping: the recording holds the person's input or more than 5 s of steps,
  //   stepsPerFrame, simTime }
  runState() {
    const [at, length, atEnd, jumping, from, goal, commands, blownUpBy, worthKeeping, stepsPerFrame, simTime] =
      this.#f64(this.#m._webRunState(), 11);
    return { at, length, atEnd: atEnd !== 0, jump: jumping ? { from, goal, commands } : null,
      blownUpBy: blownUpBy < 0 ? null : blownUpBy, worthKeeping: worthKeeping !== 0, stepsPerFrame, simTime };
  }

  // The state hash as tremblo-sim --hash prints it (16 hex digits).
  stateHash() { return this.#text(this.#m._webStateHash()); }

  // The recording as the bytes of a run: toHere, as far as the picture shows (ending in the end
  // comment with the state hash shown); else the whole run on the timeline.
  recording(toHere) {
    const at = this.#m._webRunText(toHere ? 1 : 0);
    return this.#m.HEAPU8.slice(at, at + this.#m._webRunTextSize());
  }

  // --- Settings --------------------------------------------------------------------------------

  // [{ name, unit, isSwitch, low, high, design }], in the module's order, which settingValue's
  // index follows. A switch's value is 0 (off) or 1 (on).
  settings() {
    const list = [];
    for (let i = 0; i < this.#m._webSettingCount(); ++i) {
      const [low, high, design] = this.#f64(this.#m._webSettingRange(i), 3);
      list.push({ name: this.#text(this.#m._webSettingName(i)), unit: this.#text(this.#m._webSettingUnit(i)),
        isSwitch: this.#m._webSettingIsSwitch(i) !== 0, low, high, design });
    }
    return list;
  }

  settingValue(index) { return this.#m._webSettingValue(index); }

  // --- What to show ----------------------------------------------------------------------------

  // { simTime, steps and stepMs: run by the page and their real time, movingPoints,
  //   activeSprings, energy: { kinetic, gravitational, spring } }
  status() {
    const [simTime, steps, stepMs, movingPoints, activeSprings, kinetic, gravitational, spring] =
      this.#f64(this.#m._webStatus(), STATUS_DOUBLES);
    return { simTime, steps, stepMs, movingPoints, activeSprings, energy: { kinetic, gravitational, spring } };
  }

  // { gravity, volume, plastic, breakable, pushInYZ }: the switches, true or false.
  flags() {
    const bits = this.#m._webFlags();
    return Object.fromEntries(Object.entries(FLAG_BITS).map(([name, bit]) => [name, (bits & bit) !== 0]));
  }

  // The window's banner and key help.
  consoleText() {
    let text = '';
    for (let i = 0; i < this.#m._webConsoleTextCount(); ++i) text += this.#text(this.#m._webConsoleText(i));
    return text;
  }

  // What to draw now:
  // { camera: { eye, target, up: [x, y, z], left, right, bottom, top, near, far },
  //   room: [{ colour: [r, g, b], corners: Float32Array of 4 corners' x, y, z }] (3 quads),
  //   springSegments, points: Float32Arrays of x, y, z (two ends a segment, one a point),
  //   springColour, pointColour: [r, g, b], pointEdge,
  //   grab: null, or { byPointer: the person's pointer holds it, drawn: whether to draw it
  //     (the point and the target are near the room), point, target: [x, y, z] },
  //   grabColour: [r, g, b], grabEdge: the target's cube }
  // springSegments and points lie in the module's memory: use them before the next call into it.
  frame() {
    const m = this.#m;
    m._webDescribeFrame();
    const c = [...this.#f64(m._webCamera(), CAMERA_DOUBLES)];
    const g = this.#f32(m._webGrab(), GRAB_FLOATS);
    const grab = g[0] === 0 ? null : { byPointer: g[0] === 2, drawn: g[1] !== 0,
      point: [...g.subarray(2, 5)], target: [...g.subarray(5, 8)] };
    const room = [];
    const quads = this.#f32(m._webRoom(), ROOM_QUADS * QUAD_FLOATS);
    for (let q = 0; q < ROOM_QUADS; ++q) {
      const quad = quads.subarray(q * QUAD_FLOATS, (q + 1) * QUAD_FLOATS);
      room.push({ colour: [...quad.subarray(0, 3)], corners: quad.slice(3) });
    }
    return {
      camera: { eye: c.slice(0, 3), target: c.slice(3, 6), up: c.slice(6, 9),
        left: c[9], right: c[10], bottom: c[11], top: c[12], near: c[13], far: c[14] },
      room,
      springSegments: this.#f32(m._webSpringEnds(), 3 * m._webSpringEndCount()),
      points: this.#f32(m._webPoints(), 3 * m._webPointCount()),
      springColour: [...this.#style.subarray(0, 3)],
      pointColour: [...this.#style.subarray(3, 6)],
      pointEdge: this.#style[6],
      grab,
      grabColour: [...this.#style.subarray(7, 10)],
      grabEdge: this.#style[10],
    };
  }
}
