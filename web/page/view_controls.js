// The view's controls on the page: what the picture's pointer input calls for the middle
// button, the wheel and touch gestures, the "reset view" button, and the switch that makes a
// one-finger drag act as the right button. The view is the module's (view/view_orbit.h): it
// changes only the picture, never the simulation, so nothing of it goes into a run.

const LEFT = 0, RIGHT = 2;

// api: the module (module_api.js).
export function installViewControls(api, resetButton, touchRightSwitch) {
  resetButton.addEventListener('click', () => api.resetView());
  touchRightSwitch.addEventListener('click', () => {
    const on = touchRightSwitch.getAttribute('aria-checked') !== 'true';
    touchRightSwitch.setAttribute('aria-checked', String(on));
  });
  return {
    view: {
      mouse: (button, state, x, y) => api.viewMouse(button, state, x, y),
      motion: (x, y) => api.viewMotion(x, y),
      turn: (dx, dy) => api.turnView(dx, dy),
      zoom: (factor) => api.zoomView(factor),
    },
    touchButton: () => (touchRightSwitch.getAttribute('aria-checked') === 'true' ? RIGHT : LEFT),
  };
}
