// Keeps a canvas's backing store at its displayed size in device pixels (CSS size times the
// device's pixel ratio), so that lines are as sharp as the screen allows: the picture is the
// same, drawn finer. The canvas's CSS size comes from the layout (page.css).

export function keepSharp(canvas) {
  const fit = (width, height) => {
    width = Math.max(1, Math.round(width));
    height = Math.max(1, Math.round(height));
    // Setting the size clears the picture; the next frame (at most 40 ms away) draws it again.
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
  };
  const observer = new ResizeObserver(([entry]) => {
    const device = entry.devicePixelContentBoxSize?.[0];
    if (device) fit(device.inlineSize, device.blockSize);
    else fit(entry.contentRect.width * devicePixelRatio, entry.contentRect.height * devicePixelRatio);
  });
  // Device pixels change with the browser's zoom too; browsers that cannot say so get the
  // CSS size times the ratio.
  try {
    observer.observe(canvas, { box: 'device-pixel-content-box' });
  } catch {
    observer.observe(canvas);
  }
}
