// The WebAssembly module against the command on the inputs the fuzzers keep
// (tests/fuzz/inputs: archives and images made to break the reader): for
// each, list() and test() give the object that `filepacker list --json` /
// `test --json` prints, or throw the refusal it prints, with its status.
// Usage: node hostile-inputs-match-command.mjs FILEPACKER WEB_BUILD_FOLDER FUZZ_INPUTS_FOLDER
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [filepacker, webFolder, inputs] = process.argv.slice(2).map((path) => resolve(path));
const engine = await import(pathToFileURL(join(webFolder, 'filepacker.mjs')));

let passed = 0;
for (const target of ['walk_archive', 'extract_archive', 'read_pe']) {
  const folder = join(inputs, target);
  for (const name of readdirSync(folder).sort()) {
    const path = join(folder, name);
    const bytes = new Uint8Array(readFileSync(path));
    for (const command of ['list', 'test']) {
      // The command shows local times, the module UTC.
      const run = spawnSync(filepacker, [command, '--json', path], { encoding: 'utf8', env: { ...process.env, TZ: 'UTC' } });
      const printed = engine.parseFilepackerJson(run.stdout);
      const label = `${command} ${target}/${name}`;
      if (printed.ok === false && printed.error !== undefined) {
        await assert.rejects(engine[command](bytes, { name: path }), { message: printed.error, status: run.status }, label);
      } else {
        assert.deepEqual(await engine[command](bytes, { name: path }), printed, label);
      }
      passed++;
    }
  }
}
console.log(`${passed} passed, 0 failed`);
