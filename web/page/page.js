// The page: the simulation's module, its main loop on the browser's timers, the picture, the
// keys and drags on the canvas, and the control panel.
import { installCapture } from './capture.js';
import { EnergyPlot, SERIES } from './energy_plot.js';
import { GrabControl } from './grab_control.js';
import { loadModule } from './module_api.js';
import { PointerInput } from './pointer_input.js';
import { Renderer } from './renderer.js';
import { RunPanel } from './run_panel.js';
import { installScenes } from './scene_panel.js';
import { installSettings } from './settings_panel.js';
import { keepSharp } from './sharp_canvas.js';
import { TimelineBar } from './timeline_bar.js';
import { installViewControls } from './view_controls.js';

const STATUS_INTERVAL_MS = 250;
// Keys that are no single character, as the toolkit's keyboard callback receives them.
const CONTROL_KEYS = { Backspace: 8, Enter: 13, Escape: 27, Delete: 127 };

const api = await loadModule();
const canvas = document.getElementById('view');
keepSharp(canvas);
const renderer = new Renderer(canvas);
const plot = new EnergyPlot(document.getElementById('plot'));
const statusLine = document.getElementById('status');
const flagSwitches = [...document.querySelectorAll('#flags [role=switch]')];
const runPanel = new RunPanel(api, { download: document.getElementById('download-run'),
  share: document.getElementById('share-run'), message: document.getElementById('run-message') });

function showFlags(flags) {
  for (const sw of flagSwitches) sw.setAttribute('aria-checked', String(flags[sw.dataset.flag]));
}

// --- Main loop: a frame every 40 ms, the work between them in slices ----------------------------

// A picture that would take longer than this to draw (a scene of thousands of cubes in a
// software renderer) is not drawn on the way of a jump, only where it ends, and otherwise waits
// as long as the last one took: the work goes on, and keys and clicks are answered between its
// slices. What a picture costs is learnt per thousand springs from the last one drawn of ten
// thousand springs or more; until then, 5 ms (a software renderer's cost; the few springs of a
// small scene's picture tell nothing of it).
const SLOW_DRAW_MS = 150, MANY_SPRINGS = 10000;
let msPerThousandSprings = 5, drawnAt = 0;

function tick() {
  const due = api.runUntilFrame();
  const status = due ? api.status() : null;
  const thousands = due ? 1 + status.activeSprings / 1000 : 0;
  const cost = msPerThousandSprings * thousands;
  const slow = due && cost > SLOW_DRAW_MS && (api.runState().jump !== null || performance.now() - drawnAt < cost);
  if (due && !slow) {
    const start = performance.now();
    grab.flush();
    const frame = api.frame();
    grab.follow(frame.grab);
    renderer.draw(frame);
    plot.add(performance.now(), status.energy);
    drawnAt = performance.now();
    if (status.activeSprings >= MANY_SPRINGS) msPerThousandSprings = (drawnAt - start) / thousands;
  }
  if (due) timeline.update();
  // Work left (a jump, the frame's steps): back at once, once the browser has had its turn (a
  // message, which timers' 4 ms floor does not hold back).
  if (due || api.hasWork) soon.postMessage(null);
  else setTimeout(tick, api.msUntilFrame());
}
const { port1: soonPort, port2: soon } = new MessageChannel();
soonPort.onmessage = tick;

let last = { t: performance.now(), steps: 0, stepMs: 0 };
function updateStatus() {
  const now = performance.now();
  const s = api.status();
  const steps = s.steps - last.steps;
  const perSecond = steps / ((now - last.t) / 1000);
  const cost = steps > 0 ? ((s.stepMs - last.stepMs) / steps * 1000).toFixed(1) + ' µs/step' : '– µs/step';
  last = { t: now, steps: s.steps, stepMs: s.stepMs };
  const run = runPanel.status();
  statusLine.textContent = `t = ${s.simTime.toFixed(3)} s · ${Math.round(perSecond)} steps/s · ${cost}\n` +
    `${s.movingPoints} moving points · ${s.activeSprings} active springs\n${run.text}`;
  if (run.blownUp !== null) {
    statusLine.append(Object.assign(document.createElement('span'), { className: 'fault', textContent: `\n${run.blownUp}` }));
  }
  // Exact values for whoever reads the page by program.
  statusLine.dataset.simTime = String(s.simTime);
  statusLine.dataset.steps = String(run.steps);
  statusLine.dataset.hash = run.hash;
  statusLine.dataset.blownUpBy = run.blownUpBy ?? '';
  showFlags(api.flags());
  showSettings();
  for (const { name } of SERIES) {
    const e = s.energy[name];
    document.querySelector(`#legend .${name} span`).textContent = Number.isFinite(e) ? e.toFixed(2) : 'not finite';
  }
  plot.draw();
}

// --- Keys and drags on the canvas --------------------------------------------------------------

const SCENE_KEYS = '1234567sqp';
let showPreparedScene = () => {};

function key(code) {
  api.key(code, input.position.x, input.position.y);
  showFlags(api.flags());
  const c = String.fromCharCode(code);
  if (SCENE_KEYS.includes(c)) showPreparedScene(c);
}

// Every mouse event of the simulation's, from mouse, pen or touch: window pixels, the
// toolkit's button and state codes.
function mouse(button, state, x, y) {
  api.mouse(button, state, x, y);
}

// Keys typed into a text field are text, not commands.
function typingInto(target) {
  return target instanceof HTMLElement &&
    (target.isContentEditable || target.matches('textarea, select, input:not([type=range], [type=checkbox], [type=button])'));
}

document.addEventListener('keydown', (event) => {
  // Tab moves the focus through the page; it does nothing in the simulation.
  if (event.ctrlKey || event.metaKey || event.altKey || event.key === 'Tab' || typingInto(event.target)) return;
  // The arrows, Home and End on the picture move along the timeline; they are no commands.
  if (event.target === canvas && timeline.key(event)) {
    event.preventDefault();
    return;
  }
  // Space and Enter on a focused panel button press that button.
  if (event.target instanceof HTMLButtonElement && (event.key === ' ' || event.key === 'Enter')) return;
  const code = event.key.length === 1 ? event.key.charCodeAt(0) : CONTROL_KEYS[event.key];
  if (code === undefined || code > 255) return;
  // Space would scroll the page.
  if (event.key === ' ') event.preventDefault();
  key(code);
});

const touchRight = document.getElementById('touch-right');
const viewControls = installViewControls(api, document.getElementById('reset-view'), touchRight);
const grab = new GrabControl(api, document.getElementById('grab'), touchRight);
const input = new PointerInput(canvas, { mouse, ...viewControls, grab });

// --- The panel -----------------------------------------------------------------------------------

for (const button of document.querySelectorAll('#scenes button, #flags button')) {
  button.addEventListener('click', () => key(button.dataset.key.charCodeAt(0)));
}
const byId = (id) => document.getElementById(id);
const timeline = new TimelineBar(api, { slider: byId('scrub'), toStart: byId('to-start'), frameBack: byId('frame-back'),
  stepBack: byId('step-back'), pause: byId('pause'), step: byId('step'), frameForward: byId('frame-forward'),
  toEnd: byId('to-end'), speed: byId('speed'), at: byId('timeline-at'), progress: byId('jump-progress'),
  bar: byId('jump-bar'), progressText: byId('jump-text'), cancel: byId('cancel-jump') }, () => updateStatus());
const showSettings = installSettings(api, document.getElementById('settings'), document.getElementById('design-values'),
  document.getElementById('settings-message'));
installCapture(canvas, document.getElementById('screenshot'), document.getElementById('video'),
  () => `tremblo-${runPanel.status().steps}`);

// --- Start: the window's banner and key help, the first scene, the loop --------------------------

document.getElementById('console').textContent = api.consoleText();

api.start();
await runPanel.start();
const sceneMessage = document.getElementById('scene-message');
try {
  showPreparedScene = await installScenes({ menu: document.getElementById('scene-menu'),
    editor: document.getElementById('scene-editor'), build: document.getElementById('build'), message: sceneMessage },
  (text) => api.playCommands(text));
} catch (e) {
  // The rest of the page works without the scene files.
  sceneMessage.textContent = `the scene files could not be loaded: ${e.message}`;
}
showFlags(api.flags());
tick();
setInterval(updateStatus, STATUS_INTERVAL_MS);
document.body.dataset.ready = 'true';
