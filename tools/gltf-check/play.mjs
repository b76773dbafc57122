// Plays every clip of an export in three.js and checks that at each key
// exactly the expected morph target is at weight 1 (all others 0).
import * as THREE from 'three';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import fs from 'fs';
globalThis.ProgressEvent ??= class extends Event { constructor(t, o = {}) { super(t); Object.assign(this, o); } };
const [file] = process.argv.slice(2);
const buf = fs.readFileSync(file);
const ab = buf.buffer.slice(buf.byteOffset, buf.byteOffset + buf.byteLength);
new GLTFLoader().parse(ab, '', (gltf) => {
  let mesh; gltf.scene.traverse(o => { if (o.isMesh) mesh = o; });
  const names = Object.keys(mesh.morphTargetDictionary);
  let bad = 0, keys = 0;
  for (const clip of gltf.animations) {
    const mixer = new THREE.AnimationMixer(gltf.scene);
    const action = mixer.clipAction(clip); action.play();
    const track = clip.tracks[0];
    let prev = -1, first = -1;
    for (let k = 0; k < track.times.length; ++k) {
      mixer.setTime(track.times[k]);
      const w = mesh.morphTargetInfluences;
      const expected = Array.from(track.values.slice(k * w.length, (k + 1) * w.length));
      const on = expected.map((v, i) => v ? i : -1).filter(i => i >= 0);
      if (on.length > 1 || expected.some(v => v !== 0 && v !== 1)) ++bad;
      // Keys step through consecutive frames (target t is frame t + 1; none on: frame 0), the
      // last key of a looping clip back at the first.
      const frame = on.length ? on[0] + 1 : 0;
      if (k > 0 && frame !== prev + 1 && !(k === track.times.length - 1 && frame === first)) ++bad;
      if (k === 0) first = frame;
      prev = frame;
      for (let i = 0; i < w.length; ++i) if (Math.abs(w[i] - expected[i]) > 1e-6 && k < track.times.length - 1) ++bad;
      ++keys;
    }
  }
  console.log(`${file}: ${names.length} morph targets, ${gltf.animations.length} clips, ${keys} keys checked, ${bad} wrong`);
  process.exit(bad ? 1 : 0);
}, (e) => { console.error(file, e); process.exit(1); });
