// The WebAssembly module against the command it is built from: for an
// installer, a damaged installer and a bare archive, list() and test() give
// the objects that `filepacker list --json` / `test --json` print, and
// extract() the report and the files that `filepacker extract --json` makes.
// Usage: node compare-with-command.mjs FILEPACKER WEB_BUILD_FOLDER SCRATCH_FOLDER
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdirSync, readFileSync, readdirSync, rmSync, statSync, utimesSync, writeFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { parseCommandJson } from './command-json.mjs';

const [filepacker, webFolder, scratch] = process.argv.slice(2).map((path) => resolve(path));
const engine = await import(pathToFileURL(join(webFolder, 'filepacker.mjs')));
// The command shows local times, the module UTC.
const environment = { ...process.env, TZ: 'UTC' };

function command(...args) {
  const run = spawnSync(filepacker, args, { env: environment, encoding: 'utf8' });
  return { status: run.status, stdout: run.stdout };
}

rmSync(scratch, { recursive: true, force: true });
const packageFolder = join(scratch, 'package');
mkdirSync(packageFolder, { recursive: true });
const files = {
  'Setup.exe': Buffer.from('MZ not really a program, but bytes to pack '.repeat(50)),
  '説明書.txt': Buffer.from('日本語のテキスト\r\n'.repeat(4000)),
  'empty.dat': Buffer.alloc(0),
  'noise.bin': Buffer.from(Array.from({ length: 300000 }, (_, i) => (i * 7919) % 251)),
};
for (const [name, bytes] of Object.entries(files)) {
  writeFileSync(join(packageFolder, name), bytes);
  utimesSync(join(packageFolder, name), 1218326400, 1218326400 + 3600);
}
const installer = join(scratch, 'installer.exe');
const archive = join(scratch, 'archive.pak');
const names = Object.keys(files).map((name) => join(packageFolder, name));
execFileSync(filepacker, ['installer', '--adaptive', '-b', '65536', '-o', installer, ...names], { env: environment });
execFileSync(filepacker, ['pack', '-o', archive, ...names], { env: environment });
// One bit flipped in the middle of the payload: the check record disagrees.
const listed = JSON.parse(command('list', '--json', installer).stdout);
const damagedBytes = readFileSync(installer);
damagedBytes[listed.payload.offset + Math.floor(listed.payload.bytes / 2)] ^= 0x10;
const damaged = join(scratch, 'damaged.exe');
writeFileSync(damaged, damagedBytes);

let compared = 0;
for (const [label, path, expectedStatus] of [['installer', installer, 0], ['damaged installer', damaged, 1],
                                             ['archive', archive, 0]]) {
  const bytes = new Uint8Array(readFileSync(path));
  for (const name of ['list', 'test']) {
    const native = command(name, '--json', path);
    assert.equal(native.status, expectedStatus, `${label}: filepacker ${name} exit status`);
    assert.deepEqual(await engine[name](bytes), parseCommandJson(native.stdout), `${label}: ${name}()`);
    compared++;
  }
  const out = join(scratch, `out-${compared}`);
  mkdirSync(out);
  const native = command('extract', '--json', path, out);
  const extracted = await engine.extract(bytes, { folder: out });
  const { entries, ...report } = extracted;
  assert.deepEqual(report, parseCommandJson(native.stdout), `${label}: extract()`);
  assert.deepEqual(entries.map((entry) => entry.name).sort(), readdirSync(out).sort(), `${label}: extracted names`);
  for (const entry of entries) {
    assert.deepEqual(Buffer.from(entry.bytes), readFileSync(join(out, entry.name)), `${label}: ${entry.name}`);
    assert.equal(entry.lastWriteTime.getTime(), statSync(join(out, entry.name)).mtimeMs, `${label}: ${entry.name} time`);
  }
  compared++;
}
// The Japanese name comes out as UTF-8, the FILETIME whole.
const listing = await engine.list(new Uint8Array(readFileSync(installer)));
const manual = listing.entries.find((entry) => entry.name === '説明書.txt');
assert.equal(manual.filetimes[2], (1218326400n + 3600n + 11644473600n) * 10000000n);
// An executable that is no installer is refused as the command refuses it.
const notInstaller = new Uint8Array(Buffer.from('MZ and nothing else'));
const refusal = command('list', '--json', join(packageFolder, 'Setup.exe'));
await assert.rejects(engine.list(notInstaller, { name: join(packageFolder, 'Setup.exe') }),
                     (error) => error.status === refusal.status && error.message.includes('not an installer'));
rmSync(scratch, { recursive: true, force: true });
console.log(`${compared + 2} passed, 0 failed`);
