// installer() of the WebAssembly module against `filepacker installer`: for
// the sample package's files (fixed and adaptive cut, files one by one and
// a folder), the same bytes; for what the command refuses, the same exit
// status, message and code.
// Usage: node installer-matches-command.mjs FILEPACKER WEB_BUILD_FOLDER SAMPLE_PACKAGE_FOLDER SCRATCH_FOLDER
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync, rmSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

import { samplePackage, writeFiles } from './sample-package.mjs';

const [filepacker, webFolder, samples, scratch] = process.argv.slice(2).map((path) => resolve(path));
const engine = await import(pathToFileURL(join(webFolder, 'filepacker.mjs')));

const sample = samplePackage(samples);
const released = sample[0].lastModified;

// Writes the files into a fresh folder, each with its time, and runs the
// command there on `args`, the files' names standing as they are given.
function command(files, args) {
  const folder = join(scratch, 'package');
  rmSync(scratch, { recursive: true, force: true });
  writeFiles(folder, files);
  const run = spawnSync(filepacker, ['installer', '--json', '-o', '../out.exe', ...args],
                        { cwd: folder, encoding: 'utf8' });
  const installer = run.status === 0 ? readFileSync(join(scratch, 'out.exe')) : null;
  assert.notEqual(run.stdout, "", `filepacker installer ${args.join(" ")}: ${run.stderr}`);
  return { status: run.status, report: JSON.parse(run.stdout), installer };
}

const names = (files) => files.map((file) => file.name);
const inFolder = (files) => files.map((file) => ({ ...file, name: `pkg/${file.name}` }));
const made = [
  ['fixed cut, files one by one', sample, {}, names(sample)],
  ['adaptive cut, 64 KiB blocks', sample, { adaptive: true, blockSize: 65536 }, ['--adaptive', '-b', '65536', ...names(sample)]],
  ['a folder, in byte order of its names', inFolder(sample), { adaptive: true }, ['--adaptive', 'pkg']],
  ['no Setup.exe, allowed', sample.slice(1), { allowNoSetup: true }, ['--allow-no-setup', ...names(sample.slice(1))]],
];
let passed = 0;
for (const [label, files, options, args] of made) {
  const native = command(files, args);
  assert.equal(native.status, 0, `${label}: filepacker installer ${args.join(' ')}`);
  let progress = [0, 0];
  const bytes = await engine.installer(files, { ...options, name: '../out.exe', onProgress: (...p) => { progress = p; } });
  assert.ok(Buffer.from(bytes).equals(native.installer), `${label}: installer() differs from the command's`);
  const packed = files.reduce((sum, file) => sum + file.bytes.length, 0);
  assert.deepEqual(progress, [packed, packed], `${label}: progress at the end`);
  passed++;
}

const setup = sample[0];
const file = (name, text = 'text') => ({ name, bytes: Buffer.from(text), lastModified: released });
const refused = [
  ['no Setup.exe', [file('a.txt')], {}, ['a.txt'], 'no_setup'],
  ['a folder inside the folder', [setup, file('pkg/sub/a.txt')].map((f, i) => (i === 0 ? { ...f, name: 'pkg/Setup.exe' } : f)),
   {}, ['pkg'], 'subfolder'],
  ['two names Windows takes for one', [setup, file('a.txt'), file('A.TXT')], {}, ['Setup.exe', 'a.txt', 'A.TXT'],
   'same_file'],
  ['a device name', [setup, file('CON.txt')], {}, ['Setup.exe', 'CON.txt'], 'name_refused'],
  ['a name without code page 932 form', [setup, file('\u{1F600}.txt')], {}, ['Setup.exe', '\u{1F600}.txt'],
   'no_code_page_form'],
  ['no bytes at all', [{ ...setup, bytes: Buffer.alloc(0) }], {}, ['Setup.exe'], 'no_bytes'],
];
for (const [label, files, options, args, code] of refused) {
  const native = command(files, args);
  assert.notEqual(native.status, 0, `${label}: the command makes it`);
  await assert.rejects(engine.installer(files, { ...options, name: '../out.exe' }), (error) => {
    assert.ok(error instanceof engine.FilepackerError, `${label}: ${error}`);
    assert.equal(error.status, native.status, `${label}: exit status`);
    assert.equal(error.message, native.report.error, `${label}: message`);
    assert.equal(error.code, code, `${label}: code`);
    assert.equal(native.report.code, code, `${label}: the command's code`);
    return true;
  });
  passed++;
}
// The command's argument parser refuses a block size out of range (exit 2)
// before the packer's own check, which the module meets: its words.
await assert.rejects(engine.installer([setup], { blockSize: 100 }),
                     { status: 2, message: 'block size 100 is outside 1024..4000000', code: 'block_size' });
// The block sizes the page offers are those the engine refuses by.
assert.deepEqual(await engine.blockSizes(), { least: 1024, most: 4000000, usual: 200000 });
// What is no list of files is refused before the engine sees it.
await assert.rejects(engine.installer([{ name: 'a.txt', bytes: 'text' }]), TypeError);
rmSync(scratch, { recursive: true, force: true });
console.log(`${passed + 3} passed, 0 failed`);
