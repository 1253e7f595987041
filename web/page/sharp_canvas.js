// Keeps a canvas's backing store at its displayed size in device pixels (CSS size times the
// device's pixel ratio), so that lines are as sharp as the screen allows: the picture is the
// same, drawn finer. The canvas's CSS size comes from the layout (page.css).

export function keepSharp(canvas) {
  const fit = () => {
    const r = canvas.getBoundingClientRect();
    const width = Math.max(1, Math.round(r.width * devicePixelRatio));
    const height = Math.max(1, Math.round(r.height * devicePixelRatio));
    // Setting the size clears the picture; the next frame (at most 40 ms away) draws it again.
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
  };
  new ResizeObserver(fit).observe(canvas);
  // The browser's zoom changes the pixel ratio, not always the CSS size.
  window.addEventListener('resize', fit);
  fit();
}
