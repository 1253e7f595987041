// A live plot of the scene's kinetic, gravitational and spring energy over the last seconds,
// on a 2-D canvas. The vertical scale follows the largest value in view.

export const SERIES = [
  { name: 'kinetic', colour: '#ffd54a' },
  { name: 'gravitational', colour: '#5aa8ff' },
  { name: 'spring', colour: '#ff6b6b' },
];

export class EnergyPlot {
  constructor(canvas, seconds = 10) {
    this.canvas = canvas;
    this.ctx = canvas.getContext('2d');
    this.seconds = seconds;
    this.samples = [];  // { t: ms of real time, values: [kinetic, gravitational, spring] }
  }

  // energy: { kinetic, gravitational, spring }
  add(t, energy) {
    this.samples.push({ t, values: SERIES.map((series) => energy[series.name]) });
    while (this.samples.length > 0 && this.samples[0].t < t - this.seconds * 1000) this.samples.shift();
  }

  draw() {
    const { ctx, canvas, samples } = this;
    const w = canvas.width, h = canvas.height, pad = 4;
    ctx.clearRect(0, 0, w, h);
    if (samples.length < 2) return;
    const finite = samples.flatMap((s) => s.values).filter(Number.isFinite);
    const top = Math.max(1e-9, ...finite);
    const end = samples[samples.length - 1].t;
    const x = (t) => w - pad - (end - t) / (this.seconds * 1000) * (w - 2 * pad);
    const y = (v) => h - pad - Math.max(0, v) / top * (h - 2 * pad);
    ctx.strokeStyle = '#333';
    ctx.strokeRect(0.5, 0.5, w - 1, h - 1);
    ctx.fillStyle = '#888';
    ctx.font = '11px monospace';
    ctx.fillText(top.toPrecision(3), pad + 2, 12);
    SERIES.forEach((series, i) => {
      ctx.strokeStyle = series.colour;
      ctx.beginPath();
      let pen = false;
      for (const s of samples) {
        const v = s.values[i];
        if (!Number.isFinite(v)) { pen = false; continue; }
        if (pen) ctx.lineTo(x(s.t), y(v)); else ctx.moveTo(x(s.t), y(v));
        pen = true;
      }
      ctx.stroke();
    });
  }
}
