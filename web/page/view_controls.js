// The view's controls on the page: what the picture's pointer input calls for the middle
// button, the wheel and touch gestures, the "reset view" button, and the switch that makes a
// one-finger drag act as the right button. The view is the module's (view/view_orbit.h): it
// changes only the picture, never the simulation, so nothing of it goes into a run.

const LEFT = 0, RIGHT = 2;

export function installViewControls(sim, resetButton, touchRightSwitch) {
  resetButton.addEventListener('click', () => sim._webResetView());
  touchRightSwitch.addEventListener('click', () => {
    const on = touchRightSwitch.getAttribute('aria-checked') !== 'true';
    touchRightSwitch.setAttribute('aria-checked', String(on));
  });
  return {
    view: {
      mouse: (button, state, x, y) => sim._webViewMouse(button, state, x, y) !== 0,
      motion: (x, y) => sim._webViewMotion(x, y),
      turn: (dx, dy) => sim._webTurnView(dx, dy),
      zoom: (factor) => sim._webZoomView(factor),
    },
    touchButton: () => (touchRightSwitch.getAttribute('aria-checked') === 'true' ? RIGHT : LEFT),
  };
}
