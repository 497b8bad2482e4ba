// filepacker's engine in WebAssembly (filepacker.wasm beside this file), for
// web pages and Node alike: the code that `filepacker list`, `test` and
// `extract` run, on bytes in memory. Nothing goes over the network but the
// loading of filepacker.wasm itself.
//
//   list(bytes)    the object `filepacker list --json` prints
//   test(bytes)    the object `filepacker test --json` prints
//   extract(bytes) the object `filepacker extract --json` prints, and its
//                  entries: [{name, bytes, attributes, filetimes, ...}]
// bytes: a Uint8Array holding an installer or an archive. An input that
// cannot be read at all (an executable that is no installer) throws a
// FilepackerError with the command's message and exit status. Times are
// shown as UTC (the command shows local time). FILETIMEs are BigInts.

export class FilepackerError extends Error {
  constructor(message, status) {
    super(message);
    this.name = 'FilepackerError';
    this.status = status;
  }
}

const wasmUrl = new URL('./filepacker.wasm', import.meta.url);
let loading = null;

async function wasmBytes() {
  if (wasmUrl.protocol === 'file:') {
    const { readFile } = await import('node:fs/promises');
    return readFile(wasmUrl);
  }
  const response = await fetch(wasmUrl);
  if (!response.ok) throw new Error(`filepacker.wasm: ${response.status} ${response.statusText}`);
  return response.arrayBuffer();
}

// The four WASI calls the C library imports: the engine opens no files;
// what it would print goes to the console.
function wasiImports(memory) {
  const ENOSYS = 52;
  const decoder = new TextDecoder();
  return {
    fd_write(fd, iovs, iovsLength, written) {
      const view = new DataView(memory().buffer);
      let text = '';
      let total = 0;
      for (let i = 0; i < iovsLength; i++) {
        const pointer = view.getUint32(iovs + i * 8, true);
        const length = view.getUint32(iovs + i * 8 + 4, true);
        text += decoder.decode(new Uint8Array(memory().buffer, pointer, length));
        total += length;
      }
      if (text.trim() !== '') (fd === 2 ? console.error : console.log)(text.trimEnd());
      view.setUint32(written, total, true);
      return 0;
    },
    fd_close() { return ENOSYS; },
    fd_seek() { return ENOSYS; },
    fd_fdstat_get() { return ENOSYS; },
  };
}

async function engine() {
  if (loading === null) {
    loading = (async () => {
      let instance = null;
      const imports = { wasi_snapshot_preview1: wasiImports(() => instance.exports.memory) };
      ({ instance } = await WebAssembly.instantiate(await wasmBytes(), imports));
      instance.exports._initialize();
      return instance.exports;
    })();
  }
  return loading;
}

// JSON as the engine and the command print it, with FILETIMEs (beyond
// 2^53) as BigInts rather than rounded.
export function parseFilepackerJson(text) {
  const quoted = text.replace(/("filetimes":\s*\[)([^\]]*)\]/g,
                              (all, head, numbers) => head + numbers.replace(/\d+/g, '"$&"') + ']');
  return JSON.parse(quoted, (key, value) => (key === 'filetimes' ? value.map(BigInt) : value));
}

function writeText(exports, allocate, text) {
  const utf8 = new TextEncoder().encode(text);
  const pointer = allocate(utf8.length);  // may grow the memory: its buffer is taken after
  new Uint8Array(exports.memory.buffer, pointer, utf8.length).set(utf8);
}

async function run(command, bytes, { name = 'input', folder = 'out' } = {}) {
  if (!(bytes instanceof Uint8Array)) throw new TypeError('filepacker: bytes must be a Uint8Array');
  const exports = await engine();
  try {
    const input = exports.fp_input_bytes(bytes.length);
    new Uint8Array(exports.memory.buffer, input, bytes.length).set(bytes);
    writeText(exports, exports.fp_input_name, name);
    writeText(exports, exports.fp_input_folder, folder);
    exports[command]();
    const [pointer, size] = [exports.fp_result(), exports.fp_result_size()];
    const result = new Uint8Array(exports.memory.buffer, pointer, size);
    const outcome = parseFilepackerJson(new TextDecoder().decode(result));
    if (outcome.error !== null) throw new FilepackerError(outcome.error, outcome.status);
    if (outcome.files !== undefined) {
      outcome.report.entries = outcome.files.map((file, index) => ({
        name: file.name,
        bytes: new Uint8Array(exports.memory.buffer, exports.fp_file_data(index), file.size).slice(),  // no growth
        attributes: file.attributes,
        filetimes: file.filetimes,
        lastWriteTime: fileTimeToDate(file.filetimes[2]),
      }));
    }
    return outcome.report;
  } catch (error) {
    // A trap leaves the module's memory as it stood: load it afresh next time.
    if (error instanceof WebAssembly.RuntimeError) {
      loading = null;
      throw new Error(`filepacker: the engine stopped (${error.message}); the input may be too large for memory`);
    }
    throw error;
  } finally {
    if (loading !== null) exports.fp_release();
  }
}

// 100 ns intervals since 1601 as a Date (to the millisecond).
export function fileTimeToDate(fileTime) {
  return new Date(Number(fileTime / 10000n - 11644473600000n));
}

export const list = (bytes, options) => run('fp_list', bytes, options);
export const test = (bytes, options) => run('fp_test', bytes, options);
export const extract = (bytes, options) => run('fp_extract', bytes, options);
