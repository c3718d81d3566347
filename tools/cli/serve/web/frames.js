// The server's messages: the greeting (colour tables and interpolation weights) and the frames
// of the pings, laid out as tools/cli/serve/ObserverFrame.h describes.
'use strict';

const FRAME_TEXTS = ['sentence', 'latitude', 'longitude', 'heading', 'range', 'scale',
                     'mark1', 'mark2', 'mark3', 'mark4', 'mark5'];
const FLAG_IMAGE = 1, FLAG_PROFILE = 2, FLAG_DEFLATED = 4;

function text(view, at, length) {
  let s = '';
  for (let i = 0; i < length; ++i) {
    const c = view.getUint8(at + i);
    if (c === 0) break;
    s += String.fromCharCode(c);
  }
  return s;
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
  for (const name of FRAME_TEXTS) {
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

// The nine colour tables (256 x [r, g, b]) and the 20 weight triples of the greeting.
function readGreeting(buffer) {
  const view = new DataView(buffer);
  const count = view.getUint16(4, true);
  const entries = view.getUint16(6, true);
  let at = 8;
  const tables = [];
  for (let t = 0; t < count; ++t) {
    const table = [];
    for (let i = 0; i < entries; ++i, at += 3) {
      table.push([view.getUint8(at), view.getUint8(at + 1), view.getUint8(at + 2)]);
    }
    tables.push(table);
  }
  const triples = view.getUint16(at, true);
  at += 2;
  const weights = [];
  for (let i = 0; i < triples; ++i, at += 3) {
    weights.push([view.getUint8(at), view.getUint8(at + 1), view.getUint8(at + 2)]);
  }
  return { tables, weights };
}
