// The demo's colours and where the camera puts a point of the scene on the 800 x 600 canvas,
// written from the camera's description (eye, up, frustum), independent of the page's code.

// 8-bit RGB of the fixed colours (0.4 and 0.77 of 255 come out as 102 and 196).
export const FLOOR = [0, 102, 255];
export const NEAR_WALL = [0, 102, 196];
export const FAR_WALL = [0, 0, 196];
export const SPRING = [255, 0, 0];
export const POINT = [255, 255, 0];

const WIDTH = 800, HEIGHT = 600;
const EYE = [5, 4.5, 3];
const NEAR = 1.5, HALF_EXTENT = 1;

const sub = (a, b) => a.map((v, i) => v - b[i]);
const dot = (a, b) => a.reduce((s, v, i) => s + v * b[i], 0);
const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
const unit = (a) => { const n = Math.sqrt(dot(a, a)); return a.map((v) => v / n); };

// Screen position of a scene point with the camera looking at target (z up).
export function project(point, target) {
  const forward = unit(sub(target, EYE));
  const side = unit(cross(forward, [0, 0, 1]));
  const up = cross(side, forward);
  const d = sub(point, EYE);
  const depth = dot(forward, d);
  const x = NEAR / HALF_EXTENT * dot(side, d) / depth;
  const y = NEAR / HALF_EXTENT * dot(up, d) / depth;
  return [(x + 1) / 2 * WIDTH, (1 - y) / 2 * HEIGHT];
}

// Corners 0..7 of a cube: 0 at the origin, 1 at +y, 2 at -x+y, 3 at -x, 4..7 above.
export function cubeCorners(x, y, z, edge = 1) {
  const bottom = [[x, y, z], [x, y + edge, z], [x - edge, y + edge, z], [x - edge, y, z]];
  return [...bottom, ...bottom.map(([a, b, c]) => [a, b, c + edge])];
}

// Where the camera looks: a quarter of the sum of corners 0, 1 and 3 of the lead cube.
const viewTarget = (c) => [0, 1, 2].map((i) => 0.25 * (c[0][i] + c[1][i] + c[3][i]));

// Screen box of a cube seen with the camera on it, the small cubes at its corners included.
export function expectedCubeBox(corners, pointEdge = 0.1) {
  const target = viewTarget(corners);
  const h = pointEdge / 2;
  const xs = [], ys = [];
  for (const [x, y, z] of corners) {
    for (const dx of [-h, h]) for (const dy of [-h, h]) for (const dz of [-h, h]) {
      const [sx, sy] = project([x + dx, y + dy, z + dz], target);
      xs.push(sx);
      ys.push(sy);
    }
  }
  return { left: Math.min(...xs), right: Math.max(...xs), top: Math.min(...ys), bottom: Math.max(...ys),
    cx: xs.reduce((a, b) => a + b) / xs.length, cy: ys.reduce((a, b) => a + b) / ys.length };
}
