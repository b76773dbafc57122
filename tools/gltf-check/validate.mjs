// Validates glTF files with the Khronos glTF validator: prints each file's counts and
// the messages of severity info or worse; fails when any has an error or a warning.
import validator from 'gltf-validator';
import fs from 'fs';
let bad = 0;
for (const f of process.argv.slice(2)) {
  const data = new Uint8Array(fs.readFileSync(f));
  const r = await validator.validateBytes(data, {maxIssues: 20, externalResourceFunction: () => Promise.reject('none')});
  const i = r.issues;
  console.log(`${f}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos, ${i.numHints} hints`);
  for (const m of i.messages) if (m.severity <= 2) console.log('   ', m.code, m.message, m.pointer);
  bad += i.numErrors + i.numWarnings;
}
process.exit(bad ? 1 : 0);
