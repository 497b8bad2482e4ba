// The page's own pieces under Node: the treemap's areas are in proportion
// to their values, inside the picture and apart; the zip reads back in
// Python's zipfile with its names, bytes, CRCs and DOS times, and carries
// each write time to the second in its extended-timestamp field; past
// 65,534 files, and with files beyond 4 GiB, it is a zip64 that zipfile,
// zipinfo and Debian's unzip read; faults and refusals are put in words by
// their codes, each a code that the engine gives, and a refused block size
// with the limits that the engine takes.
// Usage: node page-parts.mjs SCRATCH_FOLDER
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { closeSync, mkdirSync, openSync, readFileSync, rmSync, writeFileSync, writeSync } from 'node:fs';
import { join, resolve } from 'node:path';

import { isNotArchive, plainCause, plainRefusal } from '../../tools/web/page/texts.mjs';
import { squarify } from '../../tools/web/page/treemap.mjs';
import { crc32, storedZip, writeZip } from '../../tools/web/page/zip.mjs';

const scratch = resolve(process.argv[2]);
let passed = 0;

for (const values of [[1], [5, 5], [500, 120, 90, 60, 33, 20, 7, 1, 1], [3, 0, 2]]) {
  const [width, height] = [720, 300];
  const placed = squarify(values.map((value) => ({ value })), width, height);
  const total = values.reduce((a, b) => a + b, 0);
  assert.equal(placed.length, values.filter((value) => value > 0).length, `${values}: one area each`);
  for (const { item, x, y, width: w, height: h } of placed) {
    assert.ok(Math.abs((w * h) / (width * height) - item.value / total) < 1e-9, `${values}: area of ${item.value}`);
    assert.ok(x >= -1e-9 && y >= -1e-9 && x + w <= width + 1e-6 && y + h <= height + 1e-6, `${values}: inside`);
  }
  for (const a of placed) {
    for (const b of placed) {
      const apart = a === b || a.x + a.width <= b.x + 1e-6 || b.x + b.width <= a.x + 1e-6
                    || a.y + a.height <= b.y + 1e-6 || b.y + b.height <= a.y + 1e-6;
      assert.ok(apart, `${values}: ${a.item.value} and ${b.item.value} overlap`);
    }
  }
  passed++;
}

// Times in UTC, so that the DOS fields (local time) are known.
process.env.TZ = 'UTC';
const files = [
  { name: '説明書.txt', bytes: new TextEncoder().encode('日本語\r\n'.repeat(100)), lastModified: new Date(Date.UTC(2008, 7, 10, 12, 34, 57)) },
  { name: 'empty.dat', bytes: new Uint8Array(0), lastModified: new Date(Date.UTC(2024, 0, 31, 23, 59, 58)) },
  { name: 'old.ini', bytes: new Uint8Array([1, 2, 3]), lastModified: new Date(Date.UTC(1975, 5, 15, 12)) },
];
rmSync(scratch, { recursive: true, force: true });
mkdirSync(scratch, { recursive: true });
const path = join(scratch, 'files.zip');
writeFileSync(path, new Uint8Array(await storedZip(files).arrayBuffer()));
const read = JSON.parse(execFileSync('python3', ['-c', `
import json, struct, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    assert z.testzip() is None
    out = []
    for i in z.infolist():
        tag, size, flags, mtime = struct.unpack('<HHBi', i.extra)
        out.append([i.filename, list(z.read(i)), list(i.date_time), i.flag_bits & 0x800, tag, mtime])
    print(json.dumps(out))
`, path], { encoding: 'utf8' }));
assert.deepEqual(read, files.map((file) => [
  file.name, [...file.bytes],
  // DOS times step by 2 seconds (57 becomes 56) and start in 1980.
  file.lastModified.getUTCFullYear() < 1980 ? [1980, 1, 1, 0, 0, 0]
    : [file.lastModified.getUTCFullYear(), file.lastModified.getUTCMonth() + 1, file.lastModified.getUTCDate(),
       file.lastModified.getUTCHours(), file.lastModified.getUTCMinutes(), file.lastModified.getUTCSeconds() & ~1],
  0x800, 0x5455, file.lastModified.getTime() / 1000]));
passed++;

const python = (script, ...args) => execFileSync('/usr/bin/python3', ['-c', script, ...args], { encoding: 'utf8' });
// More files than the end record's 16-bit count: zipfile tests each one,
// zipinfo counts them.
const tiny = Array.from({ length: 65536 }, (_, i) => ({ name: `f${i}.txt`, bytes: new TextEncoder().encode(String(i)),
                                                       lastModified: new Date(Date.UTC(2020, 0, 1)) }));
writeFileSync(path, new Uint8Array(await storedZip(tiny).arrayBuffer()));
assert.match(execFileSync('/usr/bin/python3', ['-m', 'zipfile', '-t', path], { encoding: 'utf8' }), /Done testing/);
assert.match(execFileSync('/usr/bin/zipinfo', ['-t', path], { encoding: 'utf8' }), /^65536 files/);
passed++;

// Files past 4 GiB, written to a sparse file: the bytes of the 1 GiB files
// are holes, the last file is real and is read back through the offset in
// its zip64 field.
const gib = 2 ** 30;
const last = new TextEncoder().encode('the last file\n');
const far = [...Array.from({ length: 5 }, (_, i) => ({ name: `big${i}.bin`, size: gib, crc: 0 })),
             { name: 'last.txt', size: last.length, crc: crc32(last) }]
  .map((file) => ({ ...file, lastModified: new Date(Date.UTC(2020, 0, 1)) }));
const sparse = join(scratch, 'far.zip');
const handle = openSync(sparse, 'w');
let at = 0;
writeZip(far, (bytes) => { at += writeSync(handle, bytes, 0, bytes.length, at); }, (index) => {
  if (far[index].name === 'last.txt') writeSync(handle, last, 0, last.length, at);
  at += far[index].size;
});
closeSync(handle);
assert.deepEqual(JSON.parse(python(`
import json, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    print(json.dumps([[i.filename, i.header_offset, i.file_size] for i in z.infolist()] + [z.read('last.txt').decode()]))
`, sparse)), [...far.map((file, i) => [file.name, i * (gib + 30 + 8 + 9), file.size]),  // header, name, time field
             'the last file\n']);
assert.match(execFileSync('/usr/bin/unzip', ['-p', sparse, 'last.txt'], { encoding: 'utf8' }), /^the last file$/m);
passed++;

// A block size refused: the words take the limits the engine takes; without
// them, the command's words stand.
const blockSize = 'block size 100 is outside 1024..4000000';
assert.equal(plainRefusal('block_size', blockSize, { least: 1024, most: 4000000 }),
             'the block size must be from 1,024 to 4,000,000 bytes.');
assert.equal(plainRefusal('block_size', blockSize), blockSize);
passed++;

// Words by code, each code one that the engine names (archive/refusal_code.cpp);
// a code without words, or none, leaves the engine's words.
const engineCodes = new Set(readFileSync(new URL('../../archive/refusal_code.cpp', import.meta.url), 'utf8')
  .match(/return "[a-z_]+"/g).map((found) => found.slice(8, -1)));
const causeWords = [
  ['not_archive', 'it is not an installer or archive.'],
  ['no_payload', 'carries no archive'], ['truncated', 'cut short'], ['undecodable', 'do not unpack'],
  ['payload_damaged', 'do not match its check record'], ['check_record_damaged', 'its check record is damaged'],
  ['coded', 'plain archives only'], ['impossible_values', 'sizes that no packer writes'],
  ['no_bytes', 'no bytes to unpack'], ['out_of_memory', 'out of memory'], ['name_too_long', 'too long'],
  ['name_separator', 'folder separator'], ['name_character', 'a character that Windows'],
  ['name_refused', 'device name'], ['same_file', 'same file as one before it'], ['short_name', 'short (8.3) name'],
  ['cannot_create', 'cannot be made'],
];
const refusalWords = [
  ['no_setup', 'no Setup.exe'], ['subfolder', 'another folder'], ['same_file', 'two names are the same file'],
  ['short_name', 'another file of the package'], ['no_code_page_form', 'code page 932'],
  ['name_too_long', 'a name is too long'], ['name_separator', 'cannot use a name'],
  ['name_character', 'cannot use a name'], ['name_refused', 'cannot use a name'], ['no_bytes', 'no bytes at all'],
  ['too_large', '2 GiB or more'],
];
for (const [plain, table] of [[plainCause, causeWords], [plainRefusal, refusalWords]]) {
  for (const [code, words] of table) {
    assert.ok(engineCodes.has(code), `${code}: a code the engine gives`);
    assert.ok(plain(code, 'engine words').includes(words), `${code}: ${plain(code, 'engine words')}`);
  }
  for (const code of ['unreadable', 'other', 'usage', undefined, 'constructor']) {
    assert.equal(plain(code, 'engine words'), 'engine words', `${code}: the engine's words`);
  }
}
assert.ok(isNotArchive('not_archive') && !isNotArchive('truncated') && !isNotArchive(undefined));
passed++;
rmSync(scratch, { recursive: true, force: true });
console.log(`${passed} passed, 0 failed`);
