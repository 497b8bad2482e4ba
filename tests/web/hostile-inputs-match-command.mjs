// The WebAssembly module against the command on the inputs the fuzzers keep
// (tests/fuzz/inputs: archives and images made to break the reader) and on
// archives made by hand with the names an install folder refuses: for each,
// list() and test() give the object that `filepacker list --json` /
// `test --json` prints, or throw the refusal it prints, with its status; and
// extract() the object that `filepacker extract --json` prints for the same
// folder, with the files it leaves there.
// Usage: node hostile-inputs-match-command.mjs FILEPACKER WEB_BUILD_FOLDER FUZZ_INPUTS_FOLDER SCRATCH_FOLDER
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { parseCommandJson } from './command-json.mjs';

const [filepacker, webFolder, inputs, scratch] = process.argv.slice(2).map((path) => resolve(path));
const engine = await import(pathToFileURL(join(webFolder, 'filepacker.mjs')));
// The command shows local times, the module UTC.
const environment = { ...process.env, TZ: 'UTC' };

function command(args) {
  return new Promise((done) => {
    execFile(filepacker, args, { encoding: 'utf8', env: environment, cwd: scratch, maxBuffer: 1 << 28 },
             (error, stdout) => done({ status: error ? error.code : 0, printed: parseCommandJson(stdout) }));
  });
}

let longNames = 0;  // names the command's file system cannot hold

// What the module gives for the command's run, as the command prints it: the
// same object, or the same refusal. extract: its entries, apart.
async function sameAsPrinted(label, run, verb, bytes, options) {
  const { status, printed } = await run;
  if (printed.ok === false && printed.error !== undefined) {
    await assert.rejects(engine[verb](bytes, options), { message: printed.error, status }, label);
    return { printed, entries: [] };
  }
  const given = await engine[verb](bytes, options);
  if (verb !== 'extract') {
    assert.deepEqual(given, printed, label);
    return { printed, entries: [] };
  }
  const { entries, ...report } = given;
  if (printed.fault?.cause === 'cannot create: the name is too long for the file system') {
    // Linux holds 255 bytes of UTF-8 a name, Windows 255 characters: the
    // installer (and filepacker.exe) create what the command cannot here, and
    // extract(), which stands for no one system, goes on as they do.
    const entry = printed.fault.entry;
    assert.ok(Buffer.byteLength(entries[entry - 1]?.name ?? '') > 255, `${label}: ${printed.fault.cause}`);
    longNames++;
    return { printed, entries: entries.slice(0, entry - 1) };
  }
  assert.deepEqual(report, printed, label);
  return { printed, entries };
}

// list, test and extract of the file by the command (its runs at once) and
// by the module. Each extraction: a fresh folder given to the command
// (relative to the scratch folder) and the folder given to extract(), or
// none when it is null; the module's files are the ones the command leaves,
// with the same bytes. Returns what the command's extractions printed.
async function sameAsCommand(name, path, bytes, extractions) {
  for (const [folder] of extractions) {
    rmSync(resolve(scratch, folder), { recursive: true, force: true });
    mkdirSync(resolve(scratch, folder));
  }
  const [listed, tested, ...extracted] = await Promise.all([
    command(['list', '--json', path]), command(['test', '--json', path]),
    ...extractions.map(([folder]) => command(['extract', '--json', path, folder]))]);
  await sameAsPrinted(`list ${name}`, listed, 'list', bytes, { name: path });
  await sameAsPrinted(`test ${name}`, tested, 'test', bytes, { name: path });
  const printed = [];
  for (const [index, [folder, moduleFolder]] of extractions.entries()) {
    const label = `extract ${name} into ${folder}`;
    const options = moduleFolder === null ? { name: path } : { name: path, folder: moduleFolder };
    const outcome = await sameAsPrinted(label, extracted[index], 'extract', bytes, options);
    const out = resolve(scratch, folder);
    const made = Object.fromEntries(readdirSync(out).map((file) => [file, readFileSync(join(out, file))]));
    assert.deepEqual(Object.fromEntries(outcome.entries.map((entry) => [entry.name, Buffer.from(entry.bytes)])), made,
                     `${label}: files`);
    printed.push(outcome.printed);
  }
  return printed;
}

rmSync(scratch, { recursive: true, force: true });
mkdirSync(scratch, { recursive: true });
let passed = 0;
for (const target of ['walk_archive', 'extract_archive', 'read_pe']) {
  const folder = join(inputs, target);
  for (const name of readdirSync(folder).sort()) {
    const path = join(folder, name);
    await sameAsCommand(`${target}/${name}`, path, new Uint8Array(readFileSync(path)), [['out', 'out']]);
    passed += 3;
  }
}

// An archive made by hand, as the extractor's tests make theirs: names as
// code page 932 bytes, each file one stored block (decoded length + 1, a
// code table of one 8-bit level, the run stage's stored form, the bytes).
function archiveOf(names) {
  const int32 = (value) => { const bytes = Buffer.alloc(4); bytes.writeInt32LE(value); return bytes; };
  const filetime = Buffer.alloc(8);
  filetime.writeBigUInt64LE(0x01C8FA781C90E550n);
  const body = [];
  for (const name of names) {
    const content = Buffer.from(`${name.toString('hex')}\r\n`);
    const block = Buffer.concat([int32(content.length + 1), Buffer.from([1, 8, 0]), content]);
    body.push(Buffer.from([name.length]), name, int32(content.length), int32(0x20), filetime, filetime, filetime,
              int32(block.length), block, int32(0));
  }
  body.push(Buffer.from([0]));
  const entries = Buffer.concat(body);
  return Buffer.concat([Buffer.from('FILE_PACKER 1.00/***', 'latin1'), int32(12 + entries.length),
                        Buffer.from('QVL-2000', 'latin1'), int32(1024), entries]);
}

// Each archive's names, and which of them the install folder refuses (0:
// none) and why. Full-width letters: "ａ" is 82 81, "Ａ" 82 60.
const cp932 = (text) => Buffer.from(text, 'latin1');
const refusedNames = [
  [['Setup.exe', 'readme.txt'], 0, ''],
  [['a.txt', 'A.TXT'], 2, 'same file as entry 1'],
  [[Buffer.from([0x82, 0x81, 0x2E, 0x74]), Buffer.from([0x82, 0x60, 0x2E, 0x74])], 2, 'same file as entry 1'],
  [['LongFileName.txt', 'LONGFI~1.TXT'], 2, 'short (8.3) name'],
  [['LONGFI~1.TXT', 'LongFileName.txt'], 0, ''],
  ...[...'<>"|*?'].map((c) => [['ok.txt', `a${c}b.txt`], 2, 'cannot hold']),
  [['sub\\f.txt'], 1, 'creates no subfolders'],
  [['CON'], 1, 'device'],
  [['com1.txt'], 1, 'device'],
  [['LPT0.txt'], 1, 'device'],
  [['n'.repeat(235)], 0, ''],
  [['n'.repeat(236)], 1, 'at most 235'],
].map(([names, entry, cause]) => [names.map((name) => (typeof name === 'string' ? cp932(name) : name)), entry, cause]);

// A folder as long as the longest install folder (C:\WINDOWS\UnpackDir999):
// the command in it judges lengths as extract() does without a folder.
const installLong = 'install-folder-23-bytes';
assert.equal(installLong.length, 23);
for (const [index, [names, entry, cause]] of refusedNames.entries()) {
  const name = `names ${names.map((n) => n.toString('hex')).join(',')}`;
  const path = join(scratch, `names-${index}.pak`);
  const bytes = archiveOf(names);
  writeFileSync(path, bytes);
  const [inFolder] = await sameAsCommand(name, path, new Uint8Array(bytes),
                                         [[installLong, null], [join(scratch, 'out'), join(scratch, 'out')]]);
  assert.equal(inFolder.fault?.entry ?? 0, entry, `${name}: the entry refused`);
  if (entry !== 0) assert.ok(inFolder.fault.cause.includes(cause), `${name}: ${inFolder.fault.cause}`);
  passed += 4;
}
rmSync(scratch, { recursive: true, force: true });
console.log(`(${longNames} extractions past a name longer than Linux holds)`);
console.log(`${passed} passed, 0 failed`);
