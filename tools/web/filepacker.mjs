// filepacker's engine in WebAssembly (filepacker.wasm beside this file), for
// web pages and Node alike: the code that `filepacker list`, `test` and
// `extract` run, on bytes in memory. Nothing goes over the network but the
// loading of filepacker.wasm itself.
//
//   list(bytes)    the object `filepacker list --json` prints
//   test(bytes)    the object `filepacker test --json` prints
//   extract(bytes, {folder})
//                  the object `filepacker extract --json` prints for that
//                  folder, refusals included, and its entries: [{name,
//                  bytes, attributes, filetimes, ...}]
//   installer(files, {adaptive, blockSize, allowNoSetup, onProgress})
//                  the installer (a Uint8Array) that `filepacker installer`
//                  makes of the files, byte for byte
//   blockSizes()   the block sizes it takes: {least, most, usual}
// bytes: a Uint8Array holding an installer or an archive. An input that
// cannot be read at all (an executable that is no installer) throws a
// FilepackerError with the command's message and exit status, and the
// refusal's code ("no_payload", "no_setup", ...: what a page decides by),
// as does a refused installer; an engine out of memory throws an Error with
// the code "out_of_memory". Times are shown as UTC (the command shows
// local time). FILETIMEs are BigInts.

export class FilepackerError extends Error {
  constructor(message, status, code) {
    super(message);
    this.name = 'FilepackerError';
    this.status = status;
    this.code = code;
  }
}

const wasmUrl = new URL('./filepacker.wasm', import.meta.url);
let loading = null;
let progressListener = null;

async function wasmBytes() {
  if (wasmUrl.protocol === 'file:') {
    const { readFile } = await import('node:fs/promises');
    return readFile(wasmUrl);
  }
  const response = await fetch(wasmUrl);
  if (!response.ok) throw new Error(`filepacker.wasm: ${response.status} ${response.statusText}`);
  return response.arrayBuffer();
}

// The four WASI calls the C library imports: the engine opens no files and
// answers in its results; anything it prints goes to the console.
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
      if (text.trim() !== '') {
        (fd === 2 ? console.error : console.log)(text.trimEnd());
      }
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
      const imports = {
        wasi_snapshot_preview1: wasiImports(() => instance.exports.memory),
        filepacker: { progress: (done, total) => progressListener?.(done, total) },
      };
      ({ instance } = await WebAssembly.instantiate(await wasmBytes(), imports));
      instance.exports._initialize();
      return instance.exports;
    })();
  }
  return loading;
}

// The engine's answer: {status, refusal: null or {code, text}, report,
// ...}, FILETIMEs (decimal strings, as they pass 2^53) as BigInts.
function answerOf(exports, call) {
  const text = new TextDecoder().decode(new Uint8Array(exports.memory.buffer, exports.fp_result(call),
                                                       exports.fp_result_size(call)));
  return JSON.parse(text, (key, value) => (key === 'filetimes' ? value.map(BigInt) : value));
}

function refusalOf(answer) {
  return new FilepackerError(answer.refusal.text, answer.status, answer.refusal.code);
}

function writeText(exports, allocate, call, text) {
  const utf8 = new TextEncoder().encode(text);
  const pointer = allocate(call, utf8.length);  // may grow the memory: its buffer is taken after
  new Uint8Array(exports.memory.buffer, pointer, utf8.length).set(utf8);
}

// A trap leaves the module's memory as it stood: it is loaded afresh next
// time.
function engineStopped(error) {
  if (!(error instanceof WebAssembly.RuntimeError)) return error;
  loading = null;
  const stopped = new Error(`filepacker: the engine stopped (${error.message}); the input may be too large for memory`);
  return Object.assign(stopped, { code: 'out_of_memory' });
}

// folder: what extract's names are created behind, for the length a name
// may take there, as the command's folder; by default the installer's
// longest install folder, so that extract() gives only files that install
// mode could create.
async function run(command, bytes, { name = 'input', folder = '' } = {}) {
  if (!(bytes instanceof Uint8Array)) throw new TypeError('filepacker: bytes must be a Uint8Array');
  const exports = await engine();
  const call = exports.fp_call_new();
  try {
    const input = exports.fp_input_bytes(call, bytes.length);
    new Uint8Array(exports.memory.buffer, input, bytes.length).set(bytes);
    writeText(exports, exports.fp_input_name, call, name);
    writeText(exports, exports.fp_input_folder, call, folder);
    exports[command](call);
    const answer = answerOf(exports, call);
    if (answer.report === null) throw refusalOf(answer);
    if (answer.files !== undefined) {
      answer.report.entries = answer.files.map((file, index) => ({
        name: file.name,
        bytes: new Uint8Array(exports.memory.buffer, exports.fp_file_data(call, index), file.size).slice(),  // no growth
        attributes: file.attributes,
        filetimes: file.filetimes,
        lastWriteTime: fileTimeToDate(file.filetimes[2]),
      }));
    }
    return answer.report;
  } catch (error) {
    throw engineStopped(error);
  } finally {
    if (loading !== null) exports.fp_call_delete(call);
  }
}

// 100 ns intervals since 1601 as milliseconds since 1970 or a Date, and
// back.
const fileTimeOf1970 = 11644473600000n;
export function fileTimeToMilliseconds(fileTime) {
  return Number(fileTime / 10000n - fileTimeOf1970);
}
export function fileTimeToDate(fileTime) {
  return new Date(fileTimeToMilliseconds(fileTime));
}
export function fileTimeOf(milliseconds) {
  return (BigInt(Math.floor(milliseconds)) + fileTimeOf1970) * 10000n;
}

// The block sizes that installer() takes, as the engine has them.
export async function blockSizes() {
  const exports = await engine();
  return { least: exports.fp_min_block_size(), most: exports.fp_max_block_size(),
           usual: exports.fp_default_block_size() };
}

function checkFiles(files) {
  if (!Array.isArray(files)) throw new TypeError('filepacker: files must be an array of {name, bytes, lastModified}');
  for (const file of files) {
    if (typeof file?.name !== 'string' || !(file.bytes instanceof Uint8Array) || !Number.isFinite(file.lastModified)) {
      throw new TypeError('filepacker: each file needs a name (string), bytes (Uint8Array) and lastModified '
                          + '(milliseconds since 1970, as File.lastModified)');
    }
  }
}

// The installer of `files`, [{name, bytes, lastModified}], made as
// `filepacker installer --json [--adaptive] [-b blockSize]
// [--allow-no-setup]` makes it of files with those names, bytes and write
// times given one by one in that order (a name "folder/a.txt": the files of
// a folder given as the folder, in byte order of their names; a folder
// inside it is refused, as the command refuses it). The names are UTF-8 and
// converted to code page 932 as the command converts them on Linux; every
// file has the archive attribute and its write time as all three times.
// onProgress(done, total): bytes of the files packed. A refusal throws a
// FilepackerError with the command's message, exit status and code.
export async function installer(files, { adaptive = false, blockSize, allowNoSetup = false,
                                         name = 'installer.exe', onProgress } = {}) {
  checkFiles(files);
  const exports = await engine();
  const size = blockSize ?? exports.fp_default_block_size();
  if (!Number.isInteger(size) || size < -(2 ** 31) || size >= 2 ** 31) {
    throw new TypeError('filepacker: blockSize must be a whole number');
  }
  const call = exports.fp_call_new();
  try {
    for (const file of files) {
      writeText(exports, exports.fp_input_name, call, file.name);
      const pointer = exports.fp_add_file(call, file.bytes.length, fileTimeOf(file.lastModified));
      new Uint8Array(exports.memory.buffer, pointer, file.bytes.length).set(file.bytes);
    }
    writeText(exports, exports.fp_input_name, call, name);
    progressListener = onProgress ?? null;
    exports.fp_installer(call, size, adaptive ? 1 : 0, allowNoSetup ? 1 : 0);
    const answer = answerOf(exports, call);
    if (answer.refusal !== null) throw refusalOf(answer);
    return new Uint8Array(exports.memory.buffer, exports.fp_output_data(call), exports.fp_output_size(call)).slice();
  } catch (error) {
    throw engineStopped(error);
  } finally {
    progressListener = null;
    if (loading !== null) exports.fp_call_delete(call);
  }
}

export const list = (bytes, options) => run('fp_list', bytes, options);
export const test = (bytes, options) => run('fp_test', bytes, options);
export const extract = (bytes, options) => run('fp_extract', bytes, options);
