// The observers' page: draws each ping the server sends as the console's sonar view does, in
// the same place for every beam and sample, with its colour tables, grid and range labels.
// Read-only: the page sends nothing to the server.
'use strict';

// Top-level names of a classic script stay in the page's own scope, not on window.
const STALE_AFTER_MS = 2000; // as the console: dimmed, "No new data for N s"
const DIM_PERCENT = 35;
const PROFILE_VALUE = 235;
const TEXTS = ['sentence', 'latitude', 'longitude', 'heading', 'range', 'scale',
               'mark1', 'mark2', 'mark3', 'mark4', 'mark5'];
const TABLE_NAMES = ['Norm Hi', 'Norm Lo', 'Green', 'Grey', 'Rev Grey', 'Brown / Yellow',
                     'Green / Blue', 'Green / Yellow', 'Blue'];
const FLAG_IMAGE = 1, FLAG_PROFILE = 2, FLAG_DEFLATED = 4;
const LATENCIES_KEPT = 2000;

const $ = (id) => document.getElementById(id);
let pictureCanvas = $('picture');
const overlayCanvas = $('overlay');
const overlay = overlayCanvas.getContext('2d');

const state = {
  tables: null,       // nine colour tables, 256 x [r, g, b]
  weights: null,      // 20 x [previous, same, next]
  frame: null,        // the newest frame decoded
  drawnFrame: null,
  incoming: null,     // the newest message not yet decoded
  decoding: false,
  drawScheduled: false,
  lastFrameAt: 0,     // performance.now() of the last frame received
  staleSeconds: 0,
  side: null,         // picture side in device pixels; null: fit to the window
  panX: 0,
  panY: 0,
  table: null,        // the observer's own choice of colour table
  pointer: null,
  connection: 'connecting',
  retryMs: 1000,
};

// What tests and the figures read: frames received and drawn, and when.
const stats = window.vexarStats = {
  renderer: '', messages: 0, frames: 0, drawn: 0, skipped: 0, bytes: 0,
  latencies: [], drawMs: [], firstDrawnAt: null, lastNumber: -1,
};

// ---------------------------------------------------------------------------------------
// Messages from the server

function text(view, at, length) {
  let s = '';
  for (let i = 0; i < length; ++i) {
    const c = view.getUint8(at + i);
    if (c === 0) break;
    s += String.fromCharCode(c);
  }
  return s;
}

function takeGreeting(buffer) {
  const view = new DataView(buffer);
  const count = view.getUint16(4, true);
  const entries = view.getUint16(6, true);
  let at = 8;
  state.tables = [];
  for (let t = 0; t < count; ++t) {
    const table = [];
    for (let i = 0; i < entries; ++i, at += 3) {
      table.push([view.getUint8(at), view.getUint8(at + 1), view.getUint8(at + 2)]);
    }
    state.tables.push(table);
  }
  const triples = view.getUint16(at, true);
  at += 2;
  state.weights = [];
  for (let i = 0; i < triples; ++i, at += 3) {
    state.weights.push([view.getUint8(at), view.getUint8(at + 1), view.getUint8(at + 2)]);
  }
  fillTableChoice();
}

function readHeader(buffer) {
  const v = new DataView(buffer);
  const f = {
    headerBytes: v.getUint16(4, true), flags: v.getUint8(6), table: v.getUint8(7),
    arrivalMs: v.getFloat64(8, true), number: v.getUint32(16, true), counter: v.getUint32(20, true),
    beams: v.getUint16(24, true), samples: v.getUint16(26, true), stored: v.getUint16(28, true),
    reduction: v.getUint16(30, true), sweepBeams: v.getUint16(32, true), subSteps: v.getUint16(34, true),
    rangeM: v.getFloat32(36, true), soundScale: v.getFloat32(40, true),
    pingsPerSecond: v.getFloat32(44, true), imageBytes: v.getUint32(48, true),
    stamp: text(v, 52, 17), texts: {},
  };
  let at = 70;
  for (const name of TEXTS) {
    const length = v.getUint16(at, true);
    f.texts[name] = text(v, at + 2, length);
    at += 2 + length;
  }
  return f;
}

async function inflate(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

async function decodeFrame(buffer) {
  const f = readHeader(buffer);
  const v = new DataView(buffer);
  f.image = null;
  if (f.flags & FLAG_IMAGE) {
    const packed = new Uint8Array(buffer, f.headerBytes, f.imageBytes);
    f.image = (f.flags & FLAG_DEFLATED) ? await inflate(packed) : packed;
    if (f.image.length !== f.beams * f.stored) {
      throw new Error('frame ' + f.number + ': image of ' + f.image.length + ' bytes');
    }
  }
  f.profile = null;
  if (f.flags & FLAG_PROFILE) {
    const at = f.headerBytes + Math.ceil(f.imageBytes / 4) * 4;
    f.profile = new Float32Array(f.beams);
    for (let i = 0; i < f.beams; ++i) f.profile[i] = v.getFloat32(at + 4 * i, true);
  }
  return f;
}

async function decodeNewest() {
  state.decoding = true;
  while (state.incoming) {
    const buffer = state.incoming;
    state.incoming = null;
    try {
      const f = await decodeFrame(buffer);
      if (stats.lastNumber >= 0 && f.number > stats.lastNumber + 1) {
        stats.skipped += f.number - stats.lastNumber - 1;
      }
      stats.lastNumber = f.number;
      ++stats.frames;
      state.frame = f;
      scheduleDraw();
    } catch (error) {
      console.warn('frame not shown:', error);
    }
  }
  state.decoding = false;
}

function takeMessage(buffer) {
  ++stats.messages;
  stats.bytes += buffer.byteLength;
  const magic = buffer.byteLength >= 8 ? text(new DataView(buffer), 0, 4) : '';
  if (magic === 'VXP1') {
    takeGreeting(buffer);
    scheduleDraw();
    return;
  }
  if (magic !== 'VXO1' || buffer.byteLength < 70) return;
  state.lastFrameAt = performance.now();
  if (state.staleSeconds !== 0) {
    state.staleSeconds = 0;
    showMessage();
  }
  state.incoming = buffer; // a newer frame replaces one still waiting
  if (!state.decoding) decodeNewest();
}

function connect() {
  const token = new URLSearchParams(location.search).get('token');
  const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
  const url = scheme + location.host + '/ws' + (token ? '?token=' + encodeURIComponent(token) : '');
  const socket = new WebSocket(url);
  socket.binaryType = 'arraybuffer';
  socket.onopen = () => {
    state.connection = 'open';
    state.retryMs = 1000;
    showMessage();
  };
  socket.onmessage = (event) => {
    if (event.data instanceof ArrayBuffer) takeMessage(event.data);
  };
  socket.onclose = () => {
    state.connection = 'lost';
    showMessage();
    setTimeout(connect, state.retryMs);
    state.retryMs = Math.min(5000, state.retryMs * 2);
  };
}

// ---------------------------------------------------------------------------------------
// Geometry: the console's picture of side N, centred in the window

function geometry() {
  const width = pictureCanvas.width, height = pictureCanvas.height;
  let side = state.side;
  if (side === null) {
    // Fill Screen: the smaller side of the window, rounded up to a multiple of 4.
    side = 4 * Math.floor((Math.min(width, height) + 3) / 4);
  }
  side = Math.max(4, side);
  const cx = Math.floor(width / 2) - state.panX;
  const cy = Math.floor(height / 2) - state.panY;
  return { width, height, side, radius: side / 2, cx, cy, left: cx - side / 2, top: cy - side / 2 };
}

// The console builds its picture by sweeping rays counter-clockwise from the top and stores it
// mirrored; a pixel shows the beam of the ray through it, blended with both neighbours by the
// ray's sub-step, at the sample of its distance from the centre. Returns -1 outside the
// picture, 0 for a pixel without data, else 1 + the packed beam, stored sample and sub-step.
function pixelCode(x, y, g, f) {
  const n = g.side, c = n / 2;
  if (x < 0 || y < 0 || x >= n || y >= n) return -1;
  const dx = (n - 1 - x) - c, dy = y - c;
  const e = Math.sqrt(dx * dx + dy * dy);
  if (e > Math.floor(c) - 1.5) return 0;
  const steps = f.sweepBeams * f.subSteps;
  let turn = e < 0.5 ? 0 : -Math.atan2(dx, -dy);
  if (turn < 0) turn += 2 * Math.PI;
  const s = Math.floor(turn / (2 * Math.PI / steps) + 0.5) % steps;
  const beam = Math.floor(s / f.subSteps);
  if (beam === 0) return 0; // the console never draws beam 0
  const sample = Math.min(Math.floor(e * f.samples / c + 0.5), f.samples - 1);
  const stored = Math.floor(sample / f.reduction);
  return ((beam * 1024 + stored) * 32 + (s - beam * f.subSteps)) + 1;
}

function palette() {
  const tables = state.tables;
  if (!tables) return null;
  const index = state.table !== null ? state.table : (state.frame ? state.frame.table : 0);
  const table = tables[Math.min(index, tables.length - 1)];
  const share = state.staleSeconds > 0 ? DIM_PERCENT : 100;
  return table.map(([r, g, b]) => [Math.floor(r * share / 100), Math.floor(g * share / 100),
                                   Math.floor(b * share / 100)]);
}

// ---------------------------------------------------------------------------------------
// The picture: WebGL2 does the scan conversion per pixel; a 2-D canvas where it is missing

const VERTEX_SHADER = `#version 300 es
  void main() {
    vec2 corner = vec2(float((gl_VertexID & 1) << 2) - 1.0, float((gl_VertexID & 2) << 1) - 1.0);
    gl_Position = vec4(corner, 0.0, 1.0);
  }`;

// The same mapping as pixelCode, per fragment, into a map of the window's pixels: made again
// only when the geometry changes, so that a frame costs a few lookups a pixel.
const MAP_SHADER = `#version 300 es
  precision highp float;
  precision highp int;
  uniform vec2 uOrigin;
  uniform float uSide;
  uniform float uHeight;
  uniform int uSamples, uReduction, uSweepBeams, uSubSteps;
  layout(location = 0) out highp int code;
  void main() {
    float x = floor(gl_FragCoord.x) - uOrigin.x;
    float y = uHeight - 1.0 - floor(gl_FragCoord.y) - uOrigin.y;
    if (x < 0.0 || y < 0.0 || x >= uSide || y >= uSide) {
      code = -1;
      return;
    }
    float c = uSide * 0.5;
    float dx = (uSide - 1.0 - x) - c;
    float dy = y - c;
    float e = sqrt(dx * dx + dy * dy);
    code = 0;
    if (e > floor(c) - 1.5) return;
    int steps = uSweepBeams * uSubSteps;
    float turn = e < 0.5 ? 0.0 : -atan(dx, -dy);
    if (turn < 0.0) turn += 6.283185307179586;
    int s = int(floor(turn / (6.283185307179586 / float(steps)) + 0.5)) % steps;
    int beam = s / uSubSteps;
    if (beam == 0) return;
    int stored = min(int(floor(e * float(uSamples) / c + 0.5)), uSamples - 1) / uReduction;
    code = ((beam * 1024 + stored) * 32 + (s - beam * uSubSteps)) + 1;
  }`;

const FRAGMENT_SHADER = `#version 300 es
  precision highp float;
  precision highp int;
  uniform highp isampler2D uMap;
  uniform highp sampler2D uImage;
  uniform highp sampler2D uPalette;
  uniform int uBeams, uFirstTriple, uHasImage;
  uniform ivec3 uWeights[20];
  out vec4 colour;
  int sampleAt(int beam, int stored) {
    return int(texelFetch(uImage, ivec2(stored, beam % uBeams), 0).r * 255.0 + 0.5);
  }
  void main() {
    int code = texelFetch(uMap, ivec2(gl_FragCoord.xy), 0).r;
    if (code < 0) {
      colour = vec4(0.0, 0.0, 0.0, 1.0);
      return;
    }
    int v = 0;
    if (code > 0 && uHasImage != 0) {
      code -= 1;
      int stored = (code >> 5) & 1023;
      int beam = code >> 15;
      ivec3 w = uWeights[uFirstTriple + (code & 31)];
      int sum = w.x * sampleAt(beam - 1, stored) + w.y * sampleAt(beam, stored) + w.z * sampleAt(beam + 1, stored);
      v = max(sum >> 8, 1);
    }
    colour = vec4(texelFetch(uPalette, ivec2(v, 0), 0).rgb, 1.0);
  }`;

class GlPicture {
  constructor(canvas) {
    const gl = canvas.getContext('webgl2', { antialias: false, alpha: false, preserveDrawingBuffer: true });
    if (!gl) throw new Error('no WebGL2');
    this.gl = gl;
    this.mapper = this.link(VERTEX_SHADER, MAP_SHADER);
    this.program = this.link(VERTEX_SHADER, FRAGMENT_SHADER);
    this.map = this.texture();
    this.image = this.texture();
    this.palette = this.texture();
    this.framebuffer = gl.createFramebuffer();
    this.mapKey = '';
    this.uploaded = null;
  }

  link(vertexSource, fragmentSource) {
    const gl = this.gl;
    const program = gl.createProgram();
    for (const [type, source] of [[gl.VERTEX_SHADER, vertexSource], [gl.FRAGMENT_SHADER, fragmentSource]]) {
      const shader = gl.createShader(type);
      gl.shaderSource(shader, source);
      gl.compileShader(shader);
      if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) throw new Error(gl.getShaderInfoLog(shader));
      gl.attachShader(program, shader);
    }
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) throw new Error(gl.getProgramInfoLog(program));
    program.uniforms = {};
    const count = gl.getProgramParameter(program, gl.ACTIVE_UNIFORMS);
    for (let i = 0; i < count; ++i) {
      const name = gl.getActiveUniform(program, i).name.replace(/\[0\]$/, '');
      program.uniforms[name] = gl.getUniformLocation(program, name);
    }
    return program;
  }

  texture() {
    const gl = this.gl;
    const texture = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, texture);
    for (const [name, value] of [[gl.TEXTURE_MIN_FILTER, gl.NEAREST], [gl.TEXTURE_MAG_FILTER, gl.NEAREST],
                                 [gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE], [gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE]]) {
      gl.texParameteri(gl.TEXTURE_2D, name, value);
    }
    return texture;
  }

  // Draws the map of the window's pixels for this geometry into its integer texture.
  prepare(f, g) {
    const key = [g.width, g.height, g.side, g.left, g.top, f.samples, f.reduction, f.sweepBeams, f.subSteps].join();
    if (key === this.mapKey) return;
    const gl = this.gl, u = this.mapper.uniforms;
    gl.bindTexture(gl.TEXTURE_2D, this.map);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.R32I, g.width, g.height, 0, gl.RED_INTEGER, gl.INT, null);
    gl.bindFramebuffer(gl.FRAMEBUFFER, this.framebuffer);
    gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, this.map, 0);
    gl.viewport(0, 0, g.width, g.height);
    gl.useProgram(this.mapper);
    gl.uniform2f(u.uOrigin, g.left, g.top);
    gl.uniform1f(u.uSide, g.side);
    gl.uniform1f(u.uHeight, g.height);
    gl.uniform1i(u.uSamples, f.samples);
    gl.uniform1i(u.uReduction, f.reduction);
    gl.uniform1i(u.uSweepBeams, f.sweepBeams);
    gl.uniform1i(u.uSubSteps, f.subSteps);
    gl.drawArrays(gl.TRIANGLES, 0, 3);
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    this.mapKey = key;
  }

  draw(f, g, colours) {
    const gl = this.gl, u = this.program.uniforms;
    const hasImage = f && f.image && state.weights;
    if (!hasImage) {
      gl.clearColor(0, 0, 0, 1);
      gl.clear(gl.COLOR_BUFFER_BIT);
      return;
    }
    this.prepare(f, g);
    gl.viewport(0, 0, g.width, g.height);
    gl.useProgram(this.program);
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
    gl.activeTexture(gl.TEXTURE0);
    gl.bindTexture(gl.TEXTURE_2D, this.map);
    gl.activeTexture(gl.TEXTURE1);
    gl.bindTexture(gl.TEXTURE_2D, this.image);
    if (this.uploaded !== f) {
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.R8, f.stored, f.beams, 0, gl.RED, gl.UNSIGNED_BYTE, f.image);
      this.uploaded = f;
    }
    gl.activeTexture(gl.TEXTURE2);
    gl.bindTexture(gl.TEXTURE_2D, this.palette);
    const rgba = new Uint8Array(256 * 4);
    (colours || []).forEach(([r, gr, b], i) => rgba.set([r, gr, b, 255], 4 * i));
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, 256, 1, 0, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
    gl.uniform1i(u.uMap, 0);
    gl.uniform1i(u.uImage, 1);
    gl.uniform1i(u.uPalette, 2);
    gl.uniform1i(u.uHasImage, 1);
    gl.uniform1i(u.uBeams, f.beams);
    gl.uniform1i(u.uFirstTriple, 10 - f.subSteps / 2);
    gl.uniform3iv(u.uWeights, new Int32Array(state.weights.flat()));
    gl.drawArrays(gl.TRIANGLES, 0, 3);
  }
}

class CanvasPicture {
  constructor(canvas) {
    this.context = canvas.getContext('2d', { alpha: false });
    this.key = '';
  }

  prepare(f, g) {
    const key = [g.width, g.height, g.side, g.left, g.top, f.beams, f.samples, f.reduction, f.sweepBeams,
                 f.subSteps].join();
    if (key === this.key) return;
    this.pixels = this.context.createImageData(g.width, g.height);
    this.codes = new Int32Array(g.width * g.height);
    for (let y = 0, i = 0; y < g.height; ++y) {
      for (let x = 0; x < g.width; ++x, ++i) this.codes[i] = pixelCode(x - g.left, y - g.top, g, f);
    }
    this.key = key;
  }

  draw(f, g, colours) {
    const hasImage = f && f.image && state.weights && colours;
    if (!hasImage) {
      this.context.fillStyle = '#000';
      this.context.fillRect(0, 0, g.width, g.height);
      return;
    }
    this.prepare(f, g);
    const out = new Uint32Array(this.pixels.data.buffer);
    const packed = colours.map(([r, gr, b]) => (255 << 24 | b << 16 | gr << 8 | r) >>> 0);
    const black = (255 << 24) >>> 0;
    const first = 10 - f.subSteps / 2, weights = state.weights, image = f.image;
    const beams = f.beams, stored = f.stored, codes = this.codes;
    for (let i = 0; i < codes.length; ++i) {
      let code = codes[i];
      if (code <= 0) {
        out[i] = code < 0 ? black : packed[0];
        continue;
      }
      code -= 1;
      const step = code & 31;
      const sample = (code >> 5) & 1023;
      const beam = code >> 15;
      const w = weights[first + step];
      const sum = w[0] * image[((beam - 1) % beams) * stored + sample] +
                  w[1] * image[(beam % beams) * stored + sample] + w[2] * image[((beam + 1) % beams) * stored + sample];
      out[i] = packed[Math.max(sum >> 8, 1)];
    }
    this.context.putImageData(this.pixels, 0, 0);
  }
}

function chooseRenderer() {
  if (new URLSearchParams(location.search).get('draw') !== '2d') {
    try {
      const renderer = new GlPicture(pictureCanvas);
      stats.renderer = 'webgl2';
      return renderer;
    } catch (error) {
      console.info('drawing on a 2-D canvas:', error.message);
      stats.fallback = error.message;
      // A canvas that has given out a WebGL context gives no other.
      const fresh = pictureCanvas.cloneNode(false);
      pictureCanvas.replaceWith(fresh);
      pictureCanvas = fresh;
    }
  }
  stats.renderer = '2d';
  return new CanvasPicture(pictureCanvas);
}
const renderer = chooseRenderer();

// ---------------------------------------------------------------------------------------
// Overlays: profile points, grid, axes and range labels, as the console draws them

function css(colour) {
  return 'rgb(' + colour.join(',') + ')';
}

function drawProfilePoints(f, g, colours) {
  const quarter = f.beams / 4;
  if (!f.profile || quarter <= 0 || !colours) return;
  overlay.fillStyle = css(colours[PROFILE_VALUE]);
  const step = Math.fround(90 / quarter), half = g.side >> 1, n = g.side, c = g.side / 2;
  let angle = Math.fround(-90 - step / 2);
  for (let i = 0; i < f.beams; ++i, angle = Math.fround(angle + step)) {
    const m = f.profile[i];
    if (!(m > 0) || !(f.rangeM > 0)) continue;
    const rho = m / f.rangeM * half; // the point's sample x half the side / samples
    const radians = angle * 0.017453292;
    const x = Math.floor(c + rho * Math.cos(radians) + 0.5);
    const y = Math.floor(c + rho * Math.sin(radians) + 0.5);
    if (y > 0 && y < n && x >= 0 && x <= n - 1) overlay.fillRect(g.left + x, g.top + y, 1, 1);
  }
}

function line(x0, y0, x1, y1) {
  overlay.beginPath();
  overlay.moveTo(x0 + 0.5, y0 + 0.5);
  overlay.lineTo(x1 + 0.5, y1 + 0.5);
  overlay.stroke();
}

function drawGrid(f, g) {
  const r = Math.floor(g.radius);
  const spacing = g.radius / 5 * (f.soundScale > 0 ? f.soundScale : 1);
  overlay.lineWidth = 1;
  overlay.strokeStyle = 'rgb(100,20,0)';
  for (let i = 1; i <= 5; ++i) {
    overlay.beginPath();
    overlay.arc(g.cx + 0.5, g.cy + 0.5, Math.floor(i * spacing), 0, 2 * Math.PI);
    overlay.stroke();
  }
  overlay.strokeStyle = 'rgb(110,110,0)';
  line(g.cx, g.cy - r, g.cx, g.cy + r);
  line(g.cx - r, g.cy, g.cx + r, g.cy);
  overlay.font = '16px Arial, "Liberation Sans", Helvetica, sans-serif';
  overlay.textBaseline = 'top';
  for (let i = 1; i <= 5; ++i) {
    const e = Math.floor(i * spacing);
    const label = f.texts['mark' + i];
    const width = Math.ceil(overlay.measureText(label).width);
    for (const [x, y] of [[g.cx - e - 10, g.cy - 8], [g.cx + e - 10, g.cy - 8], [g.cx - 10, g.cy - e - 8],
                          [g.cx - 10, g.cy + e - 8]]) {
      overlay.fillStyle = '#000';
      overlay.fillRect(x, y, width, 18);
      overlay.fillStyle = 'rgb(180,180,150)';
      overlay.fillText(label, x, y + 1);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Texts

function setText(id, value) {
  const element = $(id);
  if (element.textContent !== value) element.textContent = value;
}

function showTexts(f) {
  setText('range', f ? f.texts.range : '');
  setText('scale', f ? f.texts.scale : '');
  const s = f ? f.stamp : '';
  setText('clock', s.length === 17 ? s.slice(0, 2) + '-' + s.slice(2, 4) + '-' + s.slice(4, 8) + ' ' +
    s.slice(8, 10) + ':' + s.slice(10, 12) + ':' + s.slice(12, 14) + '.' + s.slice(14, 17) : '');
  setText('rate', f && f.pingsPerSecond > 0 ? f.pingsPerSecond.toFixed(1) + ' pings/s' : '');
  const nav = [];
  if (f && f.texts.latitude) nav.push('Lat: ' + f.texts.latitude);
  if (f && f.texts.longitude) nav.push('Lon: ' + f.texts.longitude);
  if (f && f.texts.heading) nav.push('Heading: ' + f.texts.heading);
  setText('navigation', nav.join('   '));
  showPointer();
}

// Bearing clockwise from the top and range of the pointer, as the console's info panel reads
// them: a ring of the grid is as many metres as its label says.
function showPointer() {
  const f = state.frame, p = state.pointer;
  if (!f || !p) {
    setText('pointer', '');
    return;
  }
  const g = geometry();
  const dx = g.cx - p.x, dy = g.cy - p.y;
  let bearing = 0;
  if (p.x !== g.cx) bearing = Math.atan((p.y - g.cy) / (p.x - g.cx)) * 57.29577791868205;
  else if (p.y !== g.cy) bearing = p.y < g.cy ? -90 : 90;
  bearing += p.x < g.cx ? 270 : 90;
  if (bearing >= 360 || bearing <= 0) bearing = 0;
  const scale = f.soundScale > 0 ? f.soundScale : 1;
  const range = f.rangeM * Math.sqrt(dx * dx + dy * dy) / g.radius / scale;
  setText('pointer', 'Bearing: ' + bearing.toFixed(1) + ' deg.   Range: ' + range.toFixed(2) + ' m');
}

function showMessage() {
  const element = $('message');
  let message = '';
  if (state.connection === 'lost') message = 'The connection to the server is lost; trying again ...';
  else if (state.connection === 'connecting') message = 'Connecting to the server ...';
  else if (state.staleSeconds > 0) message = 'No new data for ' + state.staleSeconds + ' s';
  else if (!state.frame) message = 'Waiting for data from Sonar ...';
  setText('message', message);
  element.hidden = message === '';
}

function fillTableChoice() {
  const select = $('table');
  if (select.options.length === state.tables.length) return;
  select.textContent = '';
  state.tables.forEach((_, i) => select.add(new Option(TABLE_NAMES[i] || 'Table ' + i, String(i))));
  select.value = String(state.frame ? state.frame.table : 0);
}

// ---------------------------------------------------------------------------------------
// Drawing

function fitCanvases() {
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(pictureCanvas.clientWidth * ratio));
  const height = Math.max(1, Math.round(pictureCanvas.clientHeight * ratio));
  for (const canvas of [pictureCanvas, overlayCanvas]) {
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
  }
}

function draw() {
  state.drawScheduled = false;
  fitCanvases();
  const f = state.frame, g = geometry(), colours = palette();
  const started = performance.now();
  renderer.draw(f, g, colours);
  overlay.clearRect(0, 0, g.width, g.height);
  if (f && colours) {
    drawProfilePoints(f, g, colours);
    drawGrid(f, g);
  }
  showTexts(f);
  showMessage();
  if (f && f !== state.drawnFrame) {
    state.drawnFrame = f;
    ++stats.drawn;
    if (stats.firstDrawnAt === null) stats.firstDrawnAt = performance.now();
    stats.latencies.push(Date.now() - f.arrivalMs);
    stats.drawMs.push(performance.now() - started);
    if (stats.latencies.length > LATENCIES_KEPT) stats.latencies.shift();
    if (stats.drawMs.length > LATENCIES_KEPT) stats.drawMs.shift();
    if (state.table === null) $('table').value = String(f.table);
  }
}

function scheduleDraw() {
  if (!state.drawScheduled) {
    state.drawScheduled = true;
    requestAnimationFrame(draw);
  }
}

function watchStaleness() {
  if (!state.frame || state.connection !== 'open') return;
  const since = performance.now() - state.lastFrameAt;
  const seconds = since >= STALE_AFTER_MS ? Math.floor(since / 1000) : 0;
  if (seconds !== state.staleSeconds) {
    state.staleSeconds = seconds;
    scheduleDraw();
  }
}

// ---------------------------------------------------------------------------------------
// Zoom, pan and the pointer

function zoomTo(side, aboutX, aboutY) {
  const g = geometry();
  const samples = state.frame ? state.frame.samples : 1000;
  const wanted = Math.min(Math.max(4 * Math.round(side / 4), 64), 16 * samples);
  // The point under the pointer stays where it is.
  const x = aboutX === undefined ? g.cx : aboutX, y = aboutY === undefined ? g.cy : aboutY;
  const cx = Math.round(x - (x - g.cx) * wanted / g.side), cy = Math.round(y - (y - g.cy) * wanted / g.side);
  state.side = wanted;
  state.panX = Math.floor(g.width / 2) - cx;
  state.panY = Math.floor(g.height / 2) - cy;
  scheduleDraw();
}

function fit() {
  state.side = null;
  state.panX = state.panY = 0;
  scheduleDraw();
}

function devicePoint(event) {
  const ratio = window.devicePixelRatio || 1;
  return { x: Math.floor(event.clientX * ratio), y: Math.floor(event.clientY * ratio) };
}

let drag = null;
overlayCanvas.addEventListener('wheel', (event) => {
  event.preventDefault();
  const p = devicePoint(event);
  zoomTo(geometry().side * (event.deltaY < 0 ? 1.25 : 0.8), p.x, p.y);
}, { passive: false });
overlayCanvas.addEventListener('pointerdown', (event) => {
  drag = devicePoint(event);
  overlayCanvas.setPointerCapture(event.pointerId);
});
overlayCanvas.addEventListener('pointerup', () => { drag = null; });
overlayCanvas.addEventListener('pointermove', (event) => {
  const p = devicePoint(event);
  if (drag) {
    if (state.side === null) state.side = geometry().side;
    state.panX += drag.x - p.x;
    state.panY += drag.y - p.y;
    drag = p;
    scheduleDraw();
  }
  state.pointer = p;
  showPointer();
});
overlayCanvas.addEventListener('pointerleave', () => {
  state.pointer = null;
  showPointer();
});
$('zoom-in').addEventListener('click', () => zoomTo(geometry().side * 1.25));
$('zoom-out').addEventListener('click', () => zoomTo(geometry().side * 0.8));
$('zoom-fit').addEventListener('click', fit);
$('table').addEventListener('change', (event) => {
  state.table = Number(event.target.value);
  scheduleDraw();
});
window.addEventListener('keydown', (event) => {
  if (event.target instanceof HTMLSelectElement) return;
  if (event.key === '+' || event.key === '=') zoomTo(geometry().side * 1.25);
  else if (event.key === '-') zoomTo(geometry().side * 0.8);
  else if (event.key === '0' || event.key === 'f' || event.key === 'F') fit();
});
window.addEventListener('resize', scheduleDraw);

// For tests and figures: where the picture is, and what the page shows.
window.vexarView = () => {
  const g = geometry();
  return { renderer: stats.renderer, side: g.side, cx: g.cx, cy: g.cy, left: g.left, top: g.top,
           width: g.width, height: g.height, stale: state.staleSeconds,
           message: $('message').hidden ? '' : $('message').textContent,
           frame: state.frame ? state.frame.number : -1 };
};

setInterval(watchStaleness, 250);
showMessage();
scheduleDraw();
connect();
