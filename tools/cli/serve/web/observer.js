// The observers' page: draws each ping the server sends as the console's sonar view does, in
// the same place for every beam and sample, with its colour tables, grid and range labels.
// Read-only: the page sends nothing to the server. frames.js, picture.js and overlay.js come
// first; this script keeps the page's state and runs it.
'use strict';

// Top-level names of a classic script stay in the page's own scope, not on window.
const STALE_AFTER_MS = 2000; // as the console: dimmed, "No new data for N s"
const DIM_PERCENT = 35;
const TABLE_NAMES = ['Norm Hi', 'Norm Lo', 'Green', 'Grey', 'Rev Grey', 'Brown / Yellow',
                     'Green / Blue', 'Green / Yellow', 'Blue'];
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
    Object.assign(state, readGreeting(buffer));
    fillTableChoice();
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

function palette() {
  const tables = state.tables;
  if (!tables) return null;
  const index = state.table !== null ? state.table : (state.frame ? state.frame.table : 0);
  const table = tables[Math.min(index, tables.length - 1)];
  const share = state.staleSeconds > 0 ? DIM_PERCENT : 100;
  return table.map(([r, g, b]) => [Math.floor(r * share / 100), Math.floor(g * share / 100),
                                   Math.floor(b * share / 100)]);
}

// WebGL2 on a GPU, else the 2-D canvas; ?draw=webgl2 or ?draw=2d asks for one of them.
function chooseRenderer() {
  const asked = new URLSearchParams(location.search).get('draw');
  if (asked !== '2d') {
    try {
      const renderer = new GlPicture(pictureCanvas, asked === 'webgl2');
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
  renderer.draw(f, g, colours, state.weights);
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
