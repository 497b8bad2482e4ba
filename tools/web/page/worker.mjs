// The page's long work, off its thread: the engine (filepacker.mjs) opens,
// checks and unpacks the file last opened, zips its files, and makes
// installers. Every message names its job; progress goes back as
// {job, progress: [done, total], stage}.
import { blockSizes, extract, fileTimeToMilliseconds, installer, list, test } from './filepacker.mjs';
import { storedZip } from './zip.mjs';

let opened = null;  // the bytes of the file last opened

// How many areas the picture shows one by one (the rest are one area), and
// how many refused names the verdict lists (the rows mark them all).
const mapAreas = 300;
const namesListed = 20;
let files = null;  // the listing's entries of the file last opened, as columns

// The entries as columns, kept here: the page's thread asks for the rows it
// shows, as taking 100,000 entries from this thread held it up for
// hundreds of milliseconds.
function columns(entries) {
  const count = entries.length;
  const kept = {
    names: entries.map((entry) => entry.name),
    attributes: entries.map((entry) => entry.attribute_letters),
    sizes: new Float64Array(count), packed: new Float64Array(count),
    chunks: new Uint32Array(count), written: new Float64Array(count),
    refusals: new Map(),  // index: {why, code}
  };
  entries.forEach((entry, i) => {
    kept.sizes[i] = entry.size;
    kept.packed[i] = entry.packed;
    kept.chunks[i] = entry.chunks.length;
    kept.written[i] = fileTimeToMilliseconds(entry.filetimes[2]);
    if (entry.refused) kept.refusals.set(i, { why: entry.refusal, code: entry.refusal_code });
  });
  return kept;
}

const row = (index) => ({ index, name: files.names[index], size: files.sizes[index], packed: files.packed[index],
                          attributes: files.attributes[index], written: files.written[index],
                          chunks: files.chunks[index], refusal: files.refusals.get(index)?.why ?? null,
                          refusalCode: files.refusals.get(index)?.code ?? null });

// What the page shows of them at first: the first names refused, and the
// largest files for the picture, largest packed first.
function overview() {
  const largest = Uint32Array.from(files.packed.keys()).sort((a, b) => files.packed[b] - files.packed[a]);
  return { count: files.names.length, refused: files.refusals.size,
           refusals: [...files.refusals.keys()].slice(0, namesListed).map(row),
           largest: [...largest.subarray(0, mapAreas)].map(row) };
}

// How many of the files extraction made are whole: after a failure, the
// file it names and every file after it are not (the one it was writing is
// cut short); a failure that names no file leaves none whole.
function wholeCount({ ok, fault, entries }) {
  if (ok) return entries.length;
  return Math.min(entries.length, fault.entry === null ? 0 : fault.entry - 1);
}

// A download: its name and a URL of its bytes, let go a minute later.
function offer(name, blob) {
  const url = URL.createObjectURL(blob);
  setTimeout(() => URL.revokeObjectURL(url), 60000);
  return { name, url };
}

const jobs = {
  // The block sizes the engine takes, for the page's field.
  limits: () => blockSizes(),

  async open({ file }, report) {
    report('reading', 0, 3, file.name);
    opened = new Uint8Array(await file.arrayBuffer());
    report('listing', 1, 3);
    const { entries, ...listing } = await list(opened, { name: file.name });
    files = columns(entries);
    report('checking', 2, 3);
    const verdict = await test(opened, { name: file.name });
    return { listing, verdict, ...overview() };
  },

  // The rows from `first` up to `end`.
  async rows({ first, end }) {
    return Array.from({ length: Math.max(0, Math.min(end, files.names.length) - first) }, (_, i) => row(first + i));
  },

  // One file ({index}), or all whole files as a zip, as {name, url} to
  // download; with the extraction's fault when it failed, and how many
  // files came out whole. The Blob and its URL are made here: on the
  // page's thread, registering a zip of 100,000 files took 200 ms.
  async extract({ index, zipName }, report) {
    report('extracting', 0, 1);
    const outcome = await extract(opened);
    const whole = wholeCount(outcome);
    const { entries } = outcome;
    const fault = outcome.ok ? null : outcome.fault;
    if (index !== undefined) {
      return index < whole ? { whole, fault, ...offer(entries[index].name, new Blob([entries[index].bytes])) }
                           : { whole, fault };
    }
    if (whole === 0) return { whole, fault };
    return { whole, fault, ...offer(zipName, storedZip(entries.slice(0, whole).map((entry) => ({
      name: entry.name, bytes: entry.bytes, lastModified: entry.lastWriteTime })))) };
  },

  async make({ files, options }, report) {
    report('packing', 0, 1, files.length);
    const read = await Promise.all(files.map(async ({ name, file }) => ({
      name, bytes: new Uint8Array(await file.arrayBuffer()), lastModified: file.lastModified,
    })));
    const bytes = await installer(read, { ...options, onProgress: (done, total) => report('packing', done, total, files.length) });
    return { size: bytes.length,
             ...offer(options.name, new Blob([bytes], { type: 'application/vnd.microsoft.portable-executable' })) };
  },
};

self.onmessage = async ({ data }) => {
  const report = (stage, done, total, detail) => self.postMessage({ job: data.job, stage, progress: [done, total], detail });
  try {
    const result = await jobs[data.kind](data, report);
    self.postMessage({ job: data.job, result });
  } catch (error) {
    self.postMessage({ job: data.job, error: { message: error.message, status: error.status, code: error.code } });
  }
};
