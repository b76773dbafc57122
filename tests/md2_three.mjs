// Reads an MD2 file with three.js's MD2Loader (npm's three) and prints what
// it made of it: triangles, frames (morph targets) and clips, as JSON.
import { MD2Loader } from 'three/examples/jsm/loaders/MD2Loader.js';
import fs from 'fs';
const [file] = process.argv.slice(2);
const buf = fs.readFileSync(file);
const geometry = new MD2Loader().parse(buf.buffer.slice(buf.byteOffset, buf.byteOffset + buf.byteLength));
const position = geometry.getAttribute('position');
const finite = Array.from(position.array).every(Number.isFinite);
console.log(JSON.stringify({
  triangles: position.count / 3,
  frames: geometry.morphAttributes.position.length,
  clips: geometry.animations.map((a) => a.name),
  finite,
}));
