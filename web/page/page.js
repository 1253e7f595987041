// The page: the simulation's module, its main loop on the browser's timers, the picture, the
// keys and drags on the canvas, and the control panel.
import { installCapture } from './capture.js';
import { EnergyPlot } from './energy_plot.js';
import { PointerInput } from './pointer_input.js';
import { Renderer } from './renderer.js';
import { RunPanel } from './run_panel.js';
import { installScenes } from './scene_panel.js';
import { installSettings } from './settings_panel.js';
import { keepSharp } from './sharp_canvas.js';
import { installViewControls } from './view_controls.js';

const STATUS_INTERVAL_MS = 250;
// Keys that are no single character, as the toolkit's keyboard callback receives them.
const CONTROL_KEYS = { Backspace: 8, Enter: 13, Escape: 27, Delete: 127 };

const sim = await createTremblo();
const canvas = document.getElementById('view');
keepSharp(canvas);
const renderer = new Renderer(canvas);
const plot = new EnergyPlot(document.getElementById('plot'));
const statusLine = document.getElementById('status');
const pauseButton = document.getElementById('pause');
const stepButton = document.getElementById('step');
const flagSwitches = [...document.querySelectorAll('#flags [role=switch]')];
const runPanel = new RunPanel(sim, { download: document.getElementById('download-run'),
  share: document.getElementById('share-run'), message: document.getElementById('run-message') });

// --- What the module shows -------------------------------------------------------------------

function f32(pointer, count) { return sim.HEAPF32.subarray(pointer >> 2, (pointer >> 2) + count); }
function f64(pointer, count) { return sim.HEAPF64.subarray(pointer >> 3, (pointer >> 3) + count); }

const style = f32(sim._webStyle(), 7).slice();
function currentFrame() {
  sim._webDescribeFrame();
  return {
    camera: f64(sim._webCamera(), 15),
    room: f32(sim._webRoom(), 45),
    springEnds: f32(sim._webSpringEnds(), 3 * sim._webSpringEndCount()),
    points: f32(sim._webPoints(), 3 * sim._webPointCount()),
    springColour: style.subarray(0, 3),
    pointColour: style.subarray(3, 6),
    pointEdge: style[6],
  };
}

function readStatus() {
  const s = f64(sim._webStatus(), 9);
  return { simTime: s[0], steps: s[1], stepMs: s[2], points: s[3], springs: s[4],
    energy: [s[5], s[6], s[7]], flags: s[8] };
}

function showFlags(flags) {
  for (const sw of flagSwitches) sw.setAttribute('aria-checked', String((flags & Number(sw.dataset.bit)) !== 0));
}

// --- Main loop: the window's idle and display calls, paced the same way -----------------------

function tick() {
  if (sim._webRunUntilFrame()) {
    renderer.draw(currentFrame());
    plot.add(performance.now(), readStatus().energy);
    setTimeout(tick, 0);
  } else {
    setTimeout(tick, sim._webMsUntilFrame());
  }
}

let last = { t: performance.now(), steps: 0, stepMs: 0 };
function updateStatus() {
  const now = performance.now();
  const s = readStatus();
  const steps = s.steps - last.steps;
  const perSecond = steps / ((now - last.t) / 1000);
  const cost = steps > 0 ? ((s.stepMs - last.stepMs) / steps * 1000).toFixed(1) + ' µs/step' : '– µs/step';
  last = { t: now, steps: s.steps, stepMs: s.stepMs };
  const run = runPanel.status();
  statusLine.textContent = `t = ${s.simTime.toFixed(3)} s · ${Math.round(perSecond)} steps/s · ${cost}\n` +
    `${s.points} moving points · ${s.springs} active springs\n${run.text}`;
  // Exact values for whoever reads the page by program.
  statusLine.dataset.simTime = String(s.simTime);
  statusLine.dataset.steps = String(run.steps);
  statusLine.dataset.hash = run.hash;
  showPaused();
  showFlags(s.flags);
  showSettings();
  const legend = document.querySelectorAll('#legend span');
  s.energy.forEach((e, i) => { legend[i].textContent = Number.isFinite(e) ? e.toFixed(2) : String(e); });
  plot.draw();
}

// --- Keys and drags on the canvas --------------------------------------------------------------

const SCENE_KEYS = '1234567sqp';
let showPreparedScene = () => {};

function key(code) {
  sim._webKey(code, input.position.x, input.position.y);
  showFlags(sim._webFlags());
  const c = String.fromCharCode(code);
  if (SCENE_KEYS.includes(c)) showPreparedScene(c);
}

// Every mouse event of the simulation's, from mouse, pen or touch: window pixels, the
// toolkit's button and state codes.
function mouse(button, state, x, y) {
  sim._webMouse(button, state, x, y);
}

// Keys typed into a text field are text, not commands.
function typingInto(target) {
  return target instanceof HTMLElement &&
    (target.isContentEditable || target.matches('textarea, select, input:not([type=range], [type=checkbox], [type=button])'));
}

document.addEventListener('keydown', (event) => {
  // Tab moves the focus through the page; it does nothing in the simulation.
  if (event.ctrlKey || event.metaKey || event.altKey || event.key === 'Tab' || typingInto(event.target)) return;
  // Space and Enter on a focused panel button press that button.
  if (event.target instanceof HTMLButtonElement && (event.key === ' ' || event.key === 'Enter')) return;
  const code = event.key.length === 1 ? event.key.charCodeAt(0) : CONTROL_KEYS[event.key];
  if (code === undefined || code > 255) return;
  // Space would scroll the page.
  if (event.key === ' ') event.preventDefault();
  key(code);
});

const viewControls = installViewControls(sim, document.getElementById('reset-view'), document.getElementById('touch-right'));
const input = new PointerInput(canvas, { mouse, ...viewControls });

// --- The panel -----------------------------------------------------------------------------------

for (const button of document.querySelectorAll('#scenes button, #flags button')) {
  button.addEventListener('click', () => key(button.dataset.key.charCodeAt(0)));
}
// A run opened paused pauses by itself at its end.
function showPaused() {
  const paused = sim._webPaused() !== 0;
  pauseButton.textContent = paused ? 'run' : 'pause';
  stepButton.disabled = !paused;
}
pauseButton.addEventListener('click', () => {
  sim._webSetPaused(sim._webPaused() ? 0 : 1);
  updateStatus();
});
stepButton.addEventListener('click', () => {
  sim._webStepOnce();
  updateStatus();
});
// Commands of the panel's (a scene, settings), carried out and recorded as the run's own; the
// reader's message about a bad line, or null.
function playCommands(text) {
  const bytes = new TextEncoder().encode(text);
  const at = sim._webRunBuffer(bytes.length);  // may grow the memory, and so replace HEAPU8
  sim.HEAPU8.set(bytes, at);
  return sim._webPlayCommands() ? null : sim.UTF8ToString(sim._webRunMessage());
}
const showSettings = installSettings(sim, document.getElementById('settings'), document.getElementById('design-values'),
  playCommands);
installCapture(canvas, document.getElementById('screenshot'), document.getElementById('video'),
  () => `tremblo-${runPanel.status().steps}`);

// --- Start: the window's banner and key help, the first scene, the loop --------------------------

let text = '';
for (let i = 0; i < sim._webConsoleTextCount(); ++i) text += sim.UTF8ToString(sim._webConsoleText(i));
document.getElementById('console').textContent = text;

sim._webStart();
await runPanel.start();
const sceneMessage = document.getElementById('scene-message');
try {
  showPreparedScene = await installScenes({ menu: document.getElementById('scene-menu'),
    editor: document.getElementById('scene-editor'), build: document.getElementById('build'), message: sceneMessage },
  playCommands);
} catch (e) {
  // The rest of the page works without the scene files.
  sceneMessage.textContent = `the scene files could not be loaded: ${e.message}`;
}
showFlags(sim._webFlags());
tick();
setInterval(updateStatus, STATUS_INTERVAL_MS);
document.body.dataset.ready = 'true';
