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
