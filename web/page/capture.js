// Pictures and videos of the canvas, saved as files: a PNG of the picture at the resolution
// it is drawn at, and a WebM of the canvas through the browser's MediaRecorder, from start to
// stop. Neither touches the simulation.

const VIDEO_FRAMES_PER_SECOND = 25;  // the page draws at most one frame per 40 ms
const VIDEO_TYPES = ['video/webm;codecs=vp9', 'video/webm;codecs=vp8', 'video/webm'];
// The recorder hands over what it has every second, so a long video does not wait for the end.
const VIDEO_SLICE_MS = 1000;

function save(blob, filename) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = filename;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

// name(): the files' name without extension, e.g. 'tremblo-1234' for step 1234.
export function installCapture(canvas, screenshotButton, videoButton, name) {
  screenshotButton.addEventListener('click', () => {
    canvas.toBlob((png) => { if (png) save(png, `${name()}.png`); }, 'image/png');
  });

  const type = typeof MediaRecorder === 'undefined' ? undefined : VIDEO_TYPES.find((t) => MediaRecorder.isTypeSupported(t));
  if (!type || !canvas.captureStream) {
    videoButton.disabled = true;
    videoButton.title = 'this browser cannot record WebM video';
    return;
  }
  let recorder = null;
  videoButton.addEventListener('click', () => {
    if (recorder) {
      recorder.stop();
      return;
    }
    const chunks = [];
    const filename = `${name()}.webm`;
    recorder = new MediaRecorder(canvas.captureStream(VIDEO_FRAMES_PER_SECOND), { mimeType: type });
    recorder.addEventListener('dataavailable', (e) => { if (e.data.size > 0) chunks.push(e.data); });
    recorder.addEventListener('stop', () => {
      recorder.stream.getTracks().forEach((t) => t.stop());
      recorder = null;
      videoButton.textContent = 'start video';
      videoButton.setAttribute('aria-pressed', 'false');
      save(new Blob(chunks, { type: 'video/webm' }), filename);
    });
    recorder.start(VIDEO_SLICE_MS);
    videoButton.textContent = 'stop video and save';
    videoButton.setAttribute('aria-pressed', 'true');
  });
}
