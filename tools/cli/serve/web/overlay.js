// What the console draws over its picture: the profile points, the range rings, the axes and
// the range labels, on the overlay canvas.
'use strict';

const PROFILE_VALUE = 235;

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

// The grid changes with the window, the zoom and the range only: it is drawn once into a canvas
// of its own and copied onto each frame.
const gridCache = { canvas: document.createElement('canvas'), key: '' };

function drawGrid(f, g) {
  const key = [g.width, g.height, g.cx, g.cy, g.radius, f.soundScale, f.rangeM].join();
  if (key !== gridCache.key) {
    gridCache.canvas.width = g.width;
    gridCache.canvas.height = g.height;
    paintGrid(gridCache.canvas.getContext('2d'), f, g);
    gridCache.key = key;
  }
  overlay.drawImage(gridCache.canvas, 0, 0);
}

function line(context, x0, y0, x1, y1) {
  context.beginPath();
  context.moveTo(x0 + 0.5, y0 + 0.5);
  context.lineTo(x1 + 0.5, y1 + 0.5);
  context.stroke();
}

function paintGrid(context, f, g) {
  const r = Math.floor(g.radius);
  const spacing = g.radius / 5 * (f.soundScale > 0 ? f.soundScale : 1);
  context.lineWidth = 1;
  context.strokeStyle = 'rgb(100,20,0)';
  for (let i = 1; i <= 5; ++i) {
    context.beginPath();
    context.arc(g.cx + 0.5, g.cy + 0.5, Math.floor(i * spacing), 0, 2 * Math.PI);
    context.stroke();
  }
  context.strokeStyle = 'rgb(110,110,0)';
  line(context, g.cx, g.cy - r, g.cx, g.cy + r);
  line(context, g.cx - r, g.cy, g.cx + r, g.cy);
  context.font = '16px Arial, "Liberation Sans", Helvetica, sans-serif';
  context.textBaseline = 'top';
  for (let i = 1; i <= 5; ++i) {
    const e = Math.floor(i * spacing);
    const label = f.texts['mark' + i];
    const width = Math.ceil(context.measureText(label).width);
    for (const [x, y] of [[g.cx - e - 10, g.cy - 8], [g.cx + e - 10, g.cy - 8], [g.cx - 10, g.cy - e - 8],
                          [g.cx - 10, g.cy + e - 8]]) {
      context.fillStyle = '#000';
      context.fillRect(x, y, width, 18);
      context.fillStyle = 'rgb(180,180,150)';
      context.fillText(label, x, y + 1);
    }
  }
}
