// The picture: the console's scan conversion of a frame's beams into the window's pixels, with
// WebGL2, or on a 2-D canvas where WebGL2 is missing. Both give the same pixels.
'use strict';

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
  // `anyWebGl`: also WebGL2 that a browser without a GPU draws in software, which costs more
  // than the 2-D canvas there.
  constructor(canvas, anyWebGl) {
    const gl = canvas.getContext('webgl2', { antialias: false, alpha: false, preserveDrawingBuffer: true,
                                             failIfMajorPerformanceCaveat: !anyWebGl });
    if (!gl) throw new Error(anyWebGl ? 'no WebGL2' : 'no WebGL2 on a GPU');
    if (!anyWebGl && GlPicture.isSoftware(gl)) {
      const lose = gl.getExtension('WEBGL_lose_context');
      if (lose) lose.loseContext();
      throw new Error('WebGL2 in software only');
    }
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

  // Browsers without a usable GPU give WebGL drawn by a rasteriser on the processor.
  static isSoftware(gl) {
    const info = gl.getExtension('WEBGL_debug_renderer_info');
    const name = info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER);
    return /swiftshader|llvmpipe|softpipe|software|basic render/i.test(String(name));
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

  draw(f, g, colours, weights) {
    const gl = this.gl, u = this.program.uniforms;
    const hasImage = f && f.image && weights;
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
    gl.uniform3iv(u.uWeights, new Int32Array(weights.flat()));
    gl.drawArrays(gl.TRIANGLES, 0, 3);
  }
}

class CanvasPicture {
  constructor(canvas) {
    this.context = canvas.getContext('2d', { alpha: false });
    this.key = '';
  }

  // Per window pixel: where the previous beam's sample is in the image (the beam itself and the
  // next follow a row apart each), or -1 outside the picture and -2 for a pixel without data;
  // and the sweep's sub-step, which picks the weights.
  prepare(f, g) {
    const key = [g.width, g.height, g.side, g.left, g.top, f.beams, f.samples, f.stored, f.reduction,
                 f.sweepBeams, f.subSteps].join();
    if (key === this.key) return;
    const n = g.width * g.height;
    this.pixels = this.context.createImageData(g.width, g.height);
    this.previous = new Int32Array(n);
    this.step = new Uint8Array(n);
    for (let y = 0, i = 0; y < g.height; ++y) {
      for (let x = 0; x < g.width; ++x, ++i) {
        const code = pixelCode(x - g.left, y - g.top, g, f);
        if (code <= 0) {
          this.previous[i] = code < 0 ? -1 : -2;
          continue;
        }
        const beam = (code - 1) >> 15;
        this.previous[i] = ((beam - 1) % f.beams) * f.stored + (((code - 1) >> 5) & 1023);
        this.step[i] = (code - 1) & 31;
      }
    }
    // The sweep reads a few beams past the last: the first ones again, as the console's margin.
    this.image = new Uint8Array((f.beams + 8) * f.stored);
    this.key = key;
  }

  draw(f, g, colours, weights) {
    const hasImage = f && f.image && weights && colours;
    if (!hasImage) {
      this.context.fillStyle = '#000';
      this.context.fillRect(0, 0, g.width, g.height);
      return;
    }
    this.prepare(f, g);
    const stored = f.stored, image = this.image, previous = this.previous, step = this.step;
    image.set(f.image);
    image.set(f.image.subarray(0, Math.min(8, f.beams) * stored), f.beams * stored);
    const first = 10 - f.subSteps / 2;
    const w = new Int32Array(3 * f.subSteps);
    for (let k = 0; k < f.subSteps; ++k) w.set(weights[first + k], 3 * k);
    const out = new Uint32Array(this.pixels.data.buffer);
    const packed = colours.map(([r, gr, b]) => (255 << 24 | b << 16 | gr << 8 | r) >>> 0);
    const black = (255 << 24) >>> 0, empty = packed[0];
    for (let i = 0; i < previous.length; ++i) {
      const at = previous[i];
      if (at < 0) {
        out[i] = at === -1 ? black : empty;
        continue;
      }
      const k = 3 * step[i];
      const sum = w[k] * image[at] + w[k + 1] * image[at + stored] + w[k + 2] * image[at + 2 * stored];
      out[i] = packed[sum >= 256 ? sum >> 8 : 1]; // at least 1 where there is data
    }
    this.context.putImageData(this.pixels, 0, 0);
  }
}
