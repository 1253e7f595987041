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
const pauseButton = document.getElementById('pause');
const stepButton = document.getElementById('step');
const flagSwitches = [...document.querySelectorAll('#flags [role=switch]')];
const runPanel = new RunPanel(api, { download: document.getElementById('download-run'),
  share: document.getElementById('share-run'), message: document.getElementById('run-message') });

function showFlags(flags) {
  for (const sw of flagSwitches) sw.setAttribute('aria-checked', String(flags[sw.dataset.flag]));
}

// --- Main loop: the window's idle and display calls, paced the same way -----------------------

function tick() {
  if (api.runUntilFrame()) {
    grab.flush();
    const frame = api.frame();
    grab.follow(frame.grab);
    renderer.draw(frame);
    plot.add(performance.now(), api.status().energy);
    setTimeout(tick, 0);
  } else {
    setTimeout(tick, api.msUntilFrame());
  }
}

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
  showPaused();
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
// A run opened paused pauses by itself at its end.
function showPaused() {
  const paused = api.paused;
  pauseButton.textContent = paused ? 'run' : 'pause';
  stepButton.disabled = !paused;
}
pauseButton.addEventListener('click', () => {
  api.paused = !api.paused;
  updateStatus();
});
stepButton.addEventListener('click', () => {
  api.stepOnce();
  updateStatus();
});
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
