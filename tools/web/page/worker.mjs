// The page's long work, off its thread: the engine (filepacker.mjs) opens,
// checks and unpacks the file last opened, zips its files, and makes
// installers. Every message names its job; progress goes back as
// {job, progress: [done, total], stage}.
import { extract, installer, list, test } from './filepacker.mjs';
import { storedZip } from './zip.mjs';

let opened = null;  // the bytes of the file last opened

const jobs = {
  async open({ file }, report) {
    report('reading', 0, 3, file.name);
    opened = new Uint8Array(await file.arrayBuffer());
    report('listing', 1, 3);
    const listing = await list(opened, { name: file.name });
    report('checking', 2, 3);
    const verdict = await test(opened, { name: file.name });
    return { listing, verdict };
  },

  // One file's bytes ({index}), or all of them as a zip.
  async extract({ index }, report) {
    report('extracting', 0, 1);
    const { entries, ok, fault } = await extract(opened);
    if (!ok && (index === undefined || index >= entries.length)) return { fault };
    if (index !== undefined) return { name: entries[index].name, bytes: entries[index].bytes };
    return { zip: storedZip(entries.map((entry) => ({ name: entry.name, bytes: entry.bytes,
                                                      lastModified: entry.lastWriteTime }))) };
  },

  async make({ files, options }, report) {
    report('packing', 0, 1, files.length);
    const read = await Promise.all(files.map(async ({ name, file }) => ({
      name, bytes: new Uint8Array(await file.arrayBuffer()), lastModified: file.lastModified,
    })));
    const bytes = await installer(read, { ...options, onProgress: (done, total) => report('packing', done, total, files.length) });
    return { bytes };
  },
};

self.onmessage = async ({ data }) => {
  const report = (stage, done, total, detail) => self.postMessage({ job: data.job, stage, progress: [done, total], detail });
  try {
    const result = await jobs[data.kind](data, report);
    self.postMessage({ job: data.job, result }, result.bytes ? [result.bytes.buffer] : []);
  } catch (error) {
    self.postMessage({ job: data.job, error: { message: error.message, status: error.status } });
  }
};
