// Real files through one build's decoder, compared byte for byte with the
// originals: Wine's 32-bit programs and DLLs, texts in UTF-8 and Shift-JIS,
// images, man pages, the sample package and long runs of one byte, packed
// with the fixed and the adaptive cut at four block sizes, and a few hundred
// seeded random slices of them spread over those archives. Synthetic bytes
// miss what real ones meet: a WebAssembly build once decoded every made-up
// test right and 45 of 302 system libraries wrong.
//
// Usage: node real-bytes.mjs SCRATCH PACKER PACKAGE DECODER...
//   PACKER   the filepacker that packs (the build's own, or a native one)
//   PACKAGE  the sample package folder
//   DECODER  how the archives are extracted: `command FILEPACKER`,
//            `wine WINE_STATE FILEPACKER.EXE` (under scripts/wine-run, with
//            Windows paths) or `module WEB_FOLDER` (the WebAssembly engine)
// KORMIT_REAL_BYTES_SEED chooses other slices (the seed is printed).
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { basename, dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { gunzipSync } from 'node:zlib';

const [scratchArgument, packerArgument, packageArgument, decoderKind, ...decoderArguments] = process.argv.slice(2);
if (!decoderKind) {
  console.error('usage: node real-bytes.mjs SCRATCH PACKER PACKAGE command FILEPACKER | wine STATE FILEPACKER.EXE | module WEB_FOLDER');
  process.exit(2);
}
const scratch = resolve(scratchArgument);
const packer = resolve(packerArgument);
const here = dirname(fileURLToPath(import.meta.url));
const blockSizes = [1024, 65536, 200000, 4000000];
const sliceCount = 300;
const seed = Number(process.env.KORMIT_REAL_BYTES_SEED ?? 20261210);

function fail(message) {
  console.error(`real-bytes: ${message}`);
  process.exit(1);
}

// Files no one here wrote, from what scripts/install-deps installs; each
// kind must have at least one, so that a machine that lacks them says so.
const wineFolder = '/usr/lib/i386-linux-gnu/wine/i386-windows';
function existing(kind, installedBy, paths) {
  const found = paths.filter((path) => existsSync(path) && statSync(path).isFile());
  if (found.length === 0) fail(`no ${kind} found (${paths.join(', ')}): run scripts/install-deps (${installedBy})`);
  return found.map((path) => ({ source: path, bytes: readFileSync(path) }));
}
function manPagesIn(folder, count) {
  return existsSync(folder) ? readdirSync(folder).filter((name) => name.endsWith('.gz')).sort().slice(0, count)
    .map((name) => join(folder, name)) : [];
}
// Japanese man pages, in UTF-8 as Debian ships them, and turned into code
// page 932 by the host's iconv, as a Japanese Windows text would be.
function shiftJis(page) {
  const text = gunzipSync(readFileSync(page));
  const converted = spawnSync('iconv', ['-c', '-f', 'UTF-8', '-t', 'CP932'], { input: text, maxBuffer: 1 << 26 });
  if (converted.status === null || converted.stdout.length === 0) fail(`iconv could not convert ${page} to CP932`);
  return { source: `${page} in CP932`, bytes: converted.stdout };
}
function gatherCorpus() {
  const files = [
    ...existing('32-bit Windows programs', 'wine32:i386',
                ['notepad.exe', 'winemine.exe', 'regedit.exe', 'comdlg32.dll'].map((name) => join(wineFolder, name))),
    ...existing('UTF-8 texts', 'base-files',
                ['GPL-3', 'GFDL-1.3', 'Apache-2.0'].map((name) => join('/usr/share/common-licenses', name))),
    ...existing('images', 'chromium, imagemagick, debconf',
                ['/usr/share/icons/hicolor/256x256/apps/chromium.png', '/usr/share/icons/hicolor/256x256/apps/display-im6.q16.png',
                 '/usr/share/pixmaps/debian-logo.png']),
  ];
  const japanese = manPagesIn('/usr/share/man/ja/man1', 6);
  if (japanese.length === 0) fail('no Japanese man pages in /usr/share/man/ja/man1 (passwd, dpkg)');
  files.push(...japanese.map(shiftJis));
  const manPages = existing('man pages', 'wine', ['/usr/share/man/man1/wine.1.gz', '/usr/share/man/man1/winedbg.1.gz']);
  files.push(...manPages, ...manPages.map(({ source, bytes }) => ({ source: `${source} unzipped`, bytes: gunzipSync(bytes) })));
  const packageFolder = resolve(packageArgument);
  for (const name of readdirSync(packageFolder).sort()) {
    files.push({ source: join(packageFolder, name), bytes: readFileSync(join(packageFolder, name)) });
  }
  files.push({ source: 'a million zeros', bytes: Buffer.alloc(1000000) },
             { source: '300,001 bytes of A', bytes: Buffer.alloc(300001, 0x41) },
             { source: 'one byte', bytes: Buffer.from([0xff]) },
             { source: 'nothing', bytes: Buffer.alloc(0) });
  return files;
}

// xorshift32: the same slices for the same seed on every machine.
function randomSource(state) {
  state = (state >>> 0) || 1;
  return (limit) => {
    state ^= state << 13; state >>>= 0;
    state ^= state >>> 17;
    state ^= state << 5; state >>>= 0;
    return state % limit;
  };
}
function slicesOf(files) {
  const random = randomSource(seed);
  const sources = files.filter((file) => file.bytes.length > 0);
  return Array.from({ length: sliceCount }, () => {
    const from = sources[random(sources.length)];
    // Lengths spread over every scale up to 256 KiB: many short, some long.
    const length = Math.min(from.bytes.length, random(1 << (1 + random(18))) + 1);
    const start = random(from.bytes.length - length + 1);
    return { source: `${from.source} [${start}, +${length}]`, bytes: from.bytes.subarray(start, start + length) };
  });
}

// Each archive holds every corpus file and its share of the slices, under
// names of its own: flat, distinct in any case, valid on Windows.
function plan(files, slices) {
  const archives = [];
  for (const adaptive of [false, true]) {
    for (const blockSize of blockSizes) archives.push({ adaptive, blockSize, members: [...files] });
  }
  slices.forEach((slice, i) => archives[i % archives.length].members.push(slice));
  return archives.map((archive) => ({
    ...archive,
    name: `${archive.adaptive ? 'adaptive' : 'fixed'}-${archive.blockSize}`,
    members: archive.members.map((member, k) => ({
      ...member,
      name: `${String(k).padStart(3, '0')}-${basename(member.source).replace(/[^A-Za-z0-9.-]+/g, '_').slice(0, 60)}`,
    })),
  }));
}

function pack(archive) {
  const folder = join(scratch, archive.name);
  mkdirSync(folder, { recursive: true });
  for (const member of archive.members) writeFileSync(join(folder, member.name), member.bytes);
  const packed = join(scratch, `${archive.name}.exe`);
  const options = ['installer', '--allow-no-setup', '-b', String(archive.blockSize), '-o', packed];
  if (archive.adaptive) options.push('--adaptive');
  execFileSync(packer, [...options, ...archive.members.map((member) => join(folder, member.name))],
               { stdio: ['ignore', 'ignore', 'inherit'] });
  rmSync(folder, { recursive: true });
  return packed;
}

// The extracted files by name, from one decoder.
async function decoderFor(kind, args) {
  if (kind === 'module') {
    const engine = await import(pathToFileURL(join(resolve(args[0]), 'filepacker.mjs')));
    return async (packed) => {
      try {
        const report = await engine.extract(new Uint8Array(readFileSync(packed)));
        return { ok: report.ok, message: report.message, files: new Map(report.entries.map((e) => [e.name, e.bytes])) };
      } catch (error) {
        return { ok: false, message: error.message, files: new Map() };
      }
    };
  }
  const wine = kind === 'wine';
  if (!wine && kind !== 'command') fail(`unknown decoder ${kind}`);
  const windowsPath = (path) => (wine ? `Z:${path.replaceAll('/', '\\')}` : path);
  const [program, extractor] = wine
    ? [join(here, '../../scripts/wine-run'), [resolve(args[0]), resolve(args[1])]]
    : [resolve(args[0]), []];
  return async (packed) => {
    const out = `${packed}.out`;
    rmSync(out, { recursive: true, force: true });
    mkdirSync(out);
    const run = spawnSync(program, [...extractor, 'extract', '--json', windowsPath(packed), windowsPath(out)],
                          { encoding: 'utf8', maxBuffer: 1 << 26 });
    if (run.status === 77) {
      console.log('real-bytes: the Windows filepacker cannot run here (skipped)');
      process.exit(77);
    }
    const report = JSON.parse(run.stdout || '{}');
    const files = new Map(readdirSync(out).map((name) => [name, readFileSync(join(out, name))]));
    rmSync(out, { recursive: true });
    return { ok: report.ok === true && run.status === 0, message: report.message ?? run.stderr, files };
  };
}

rmSync(scratch, { recursive: true, force: true });
mkdirSync(scratch, { recursive: true });
const decode = await decoderFor(decoderKind, decoderArguments);
const corpus = gatherCorpus();
const archives = plan(corpus, slicesOf(corpus));
const corpusBytes = corpus.reduce((sum, file) => sum + file.bytes.length, 0);
console.log(`real-bytes: ${corpus.length} files (${corpusBytes} bytes) and ${sliceCount} slices (seed ${seed}), `
            + `${archives.length} installers, decoded by ${decoderKind}`);
let passed = 0;
const failures = [];
for (const archive of archives) {
  const { ok, message, files } = await decode(pack(archive));
  if (!ok) failures.push(`${archive.name}: the extraction failed: ${message}`);
  for (const member of archive.members) {
    const got = files.get(member.name);
    if (got === undefined) {
      if (ok) failures.push(`${archive.name}: ${member.name} (${member.source}) is missing`);
    } else if (!Buffer.from(got.buffer, got.byteOffset, got.length).equals(member.bytes)) {
      const at = got.findIndex((byte, i) => byte !== member.bytes[i]);
      failures.push(`${archive.name}: ${member.name} (${member.source}): ${got.length} bytes, ${member.bytes.length} `
                    + `expected, first difference at ${at < 0 ? Math.min(got.length, member.bytes.length) : at}`);
    } else {
      passed++;
    }
  }
}
rmSync(scratch, { recursive: true, force: true });
for (const failure of failures.slice(0, 20)) console.error(`real-bytes: ${failure}`);
if (failures.length > 20) console.error(`real-bytes: and ${failures.length - 20} more`);
console.log(`${passed} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
