// Draws a frame of the simulation with WebGL2: the room's quads in their colours, every spring
// as a red line, every moving point as a yellow cube, seen through the window's camera; and a
// held point's grab, a line to its target and a cube there, over everything. No lighting, like
// the window. Scene units, z up.

const VERTEX_SHADER = `#version 300 es
in vec3 position;
in vec3 offset;            // per point for the cubes, 0 otherwise
uniform float scale;       // cube edge for the points, 1 otherwise
uniform mat4 viewProjection;
void main() { gl_Position = viewProjection * vec4(position * scale + offset, 1.0); }`;

const FRAGMENT_SHADER = `#version 300 es
precision mediump float;
uniform vec3 colour;
out vec4 fragment;
void main() { fragment = vec4(colour, 1.0); }`;

// A cube of edge 1 around the origin, as 12 triangles.
function unitCube() {
  const c = [[-1, -1, -1], [1, -1, -1], [1, 1, -1], [-1, 1, -1], [-1, -1, 1], [1, -1, 1], [1, 1, 1], [-1, 1, 1]];
  const faces = [[0, 3, 2, 1], [4, 5, 6, 7], [0, 1, 5, 4], [2, 3, 7, 6], [1, 2, 6, 5], [0, 4, 7, 3]];
  const out = [];
  for (const [a, b, cc, d] of faces) for (const i of [a, b, cc, a, cc, d]) out.push(...c[i].map((v) => v / 2));
  return new Float32Array(out);
}

// gluLookAt's matrix (column-major), in double precision like GLU.
function lookAt(eye, target, up) {
  const sub = (p, q) => [p[0] - q[0], p[1] - q[1], p[2] - q[2]];
  const cross = (p, q) => [p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]];
  const unit = (p) => { const n = Math.hypot(p[0], p[1], p[2]); return [p[0] / n, p[1] / n, p[2] / n]; };
  const dot = (p, q) => p[0] * q[0] + p[1] * q[1] + p[2] * q[2];
  const f = unit(sub(target, eye));
  const s = unit(cross(f, up));
  const u = cross(s, f);
  return [s[0], u[0], -f[0], 0, s[1], u[1], -f[1], 0, s[2], u[2], -f[2], 0, -dot(s, eye), -dot(u, eye), dot(f, eye), 1];
}

// glFrustum's matrix (column-major).
function frustum(l, r, b, t, n, f) {
  return [2 * n / (r - l), 0, 0, 0, 0, 2 * n / (t - b), 0, 0,
    (r + l) / (r - l), (t + b) / (t - b), -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n), 0];
}

function multiply(a, b) {
  const m = new Array(16).fill(0);
  for (let col = 0; col < 4; ++col) {
    for (let row = 0; row < 4; ++row) {
      for (let k = 0; k < 4; ++k) m[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
    }
  }
  return m;
}

export class Renderer {
  constructor(canvas) {
    // No antialiasing, so that every colour lands exactly; the buffer stays readable after
    // the frame, as the window's front buffer does until the next swap.
    const gl = canvas.getContext('webgl2', { antialias: false, preserveDrawingBuffer: true });
    if (!gl) throw new Error('this browser has no WebGL2');
    this.gl = gl;
    this.program = this.#link();
    this.loc = {
      position: gl.getAttribLocation(this.program, 'position'),
      offset: gl.getAttribLocation(this.program, 'offset'),
      scale: gl.getUniformLocation(this.program, 'scale'),
      viewProjection: gl.getUniformLocation(this.program, 'viewProjection'),
      colour: gl.getUniformLocation(this.program, 'colour'),
    };
    this.roomBuffer = gl.createBuffer();
    this.springBuffer = gl.createBuffer();
    this.pointBuffer = gl.createBuffer();
    this.grabBuffer = gl.createBuffer();
    this.cubeBuffer = gl.createBuffer();
    this.cubeVertices = unitCube();
    gl.bindBuffer(gl.ARRAY_BUFFER, this.cubeBuffer);
    gl.bufferData(gl.ARRAY_BUFFER, this.cubeVertices, gl.STATIC_DRAW);
    this.vao = gl.createVertexArray();
    gl.bindVertexArray(this.vao);
    gl.enableVertexAttribArray(this.loc.position);
    gl.enable(gl.DEPTH_TEST);
    gl.clearColor(0, 0, 0, 0);
  }

  #link() {
    const gl = this.gl;
    const shader = (type, source) => {
      const s = gl.createShader(type);
      gl.shaderSource(s, source);
      gl.compileShader(s);
      if (!gl.getShaderParameter(s, gl.COMPILE_STATUS)) throw new Error(gl.getShaderInfoLog(s));
      return s;
    };
    const program = gl.createProgram();
    gl.attachShader(program, shader(gl.VERTEX_SHADER, VERTEX_SHADER));
    gl.attachShader(program, shader(gl.FRAGMENT_SHADER, FRAGMENT_SHADER));
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) throw new Error(gl.getProgramInfoLog(program));
    return program;
  }

  #positions(buffer, data) {
    const gl = this.gl;
    gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
    gl.bufferData(gl.ARRAY_BUFFER, data, gl.DYNAMIC_DRAW);
    gl.vertexAttribPointer(this.loc.position, 3, gl.FLOAT, false, 0, 0);
  }

  // frame: what ModuleApi.frame() returns (module_api.js): camera, room quads, spring segments,
  // points, and their colours.
  draw(frame) {
    const gl = this.gl;
    const c = frame.camera;
    const view = lookAt(c.eye, c.target, c.up);
    const projection = frustum(c.left, c.right, c.bottom, c.top, c.near, c.far);
    gl.viewport(0, 0, gl.drawingBufferWidth, gl.drawingBufferHeight);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    gl.useProgram(this.program);
    gl.bindVertexArray(this.vao);
    gl.uniformMatrix4fv(this.loc.viewProjection, false, new Float32Array(multiply(projection, view)));

    // Room, springs: plain positions, no offset.
    gl.disableVertexAttribArray(this.loc.offset);
    gl.vertexAttrib3f(this.loc.offset, 0, 0, 0);
    gl.uniform1f(this.loc.scale, 1);
    const quads = [];
    for (const { corners } of frame.room) {
      const v = (i) => corners.subarray(3 * i, 3 * i + 3);
      quads.push(...v(0), ...v(1), ...v(2), ...v(0), ...v(2), ...v(3));
    }
    this.#positions(this.roomBuffer, new Float32Array(quads));
    frame.room.forEach(({ colour }, q) => {
      gl.uniform3f(this.loc.colour, ...colour);
      gl.drawArrays(gl.TRIANGLES, q * 6, 6);
    });

    gl.uniform3f(this.loc.colour, ...frame.springColour);
    this.#positions(this.springBuffer, frame.springSegments);
    gl.drawArrays(gl.LINES, 0, frame.springSegments.length / 3);

    // Points: one cube per point, moved there by its offset.
    const count = frame.points.length / 3;
    if (count > 0) {
      gl.uniform3f(this.loc.colour, ...frame.pointColour);
      gl.uniform1f(this.loc.scale, frame.pointEdge);
      gl.bindBuffer(gl.ARRAY_BUFFER, this.pointBuffer);
      gl.bufferData(gl.ARRAY_BUFFER, frame.points, gl.DYNAMIC_DRAW);
      gl.enableVertexAttribArray(this.loc.offset);
      gl.vertexAttribPointer(this.loc.offset, 3, gl.FLOAT, false, 0, 0);
      gl.vertexAttribDivisor(this.loc.offset, 1);
      gl.bindBuffer(gl.ARRAY_BUFFER, this.cubeBuffer);
      gl.vertexAttribPointer(this.loc.position, 3, gl.FLOAT, false, 0, 0);
      gl.drawArraysInstanced(gl.TRIANGLES, 0, this.cubeVertices.length / 3, count);
      gl.vertexAttribDivisor(this.loc.offset, 0);
      gl.disableVertexAttribArray(this.loc.offset);
    }

    if (frame.grab?.drawn) this.#drawGrab(frame);
  }

  // The line from the held point to its target and the cube that marks the target, in front of
  // whatever lies between them and the eye.
  #drawGrab(frame) {
    const gl = this.gl;
    const { point, target } = frame.grab;
    gl.disable(gl.DEPTH_TEST);
    gl.uniform3f(this.loc.colour, ...frame.grabColour);
    gl.vertexAttrib3f(this.loc.offset, 0, 0, 0);
    gl.uniform1f(this.loc.scale, 1);
    this.#positions(this.grabBuffer, new Float32Array([...point, ...target]));
    gl.drawArrays(gl.LINES, 0, 2);
    gl.vertexAttrib3f(this.loc.offset, ...target);
    gl.uniform1f(this.loc.scale, frame.grabEdge);
    gl.bindBuffer(gl.ARRAY_BUFFER, this.cubeBuffer);
    gl.vertexAttribPointer(this.loc.position, 3, gl.FLOAT, false, 0, 0);
    gl.drawArrays(gl.TRIANGLES, 0, this.cubeVertices.length / 3);
    gl.enable(gl.DEPTH_TEST);
  }
}
