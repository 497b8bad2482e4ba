// A zip of stored (uncompressed) files, as every unzip reads it: names in
// UTF-8 (flag bit 11), the write time both as the DOS time in local time
// and, to the second and in UTC, in an extended-timestamp field (0x5455).
// No zip64: the archives this page opens hold less than 2 GiB.
const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

export function crc32(bytes) {
  let crc = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) crc = crcTable[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

// MS-DOS date and time (2-second steps, 1980 to 2107) of a Date, local
// time; a time outside them is the nearest end.
function dosTime(date) {
  if (date.getFullYear() < 1980) return { time: 0, date: (1 << 5) | 1 };
  if (date.getFullYear() > 2107) return { time: (23 << 11) | (59 << 5) | 29, date: (127 << 9) | (12 << 5) | 31 };
  const year = date.getFullYear();
  return {
    time: (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1),
    date: ((year - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate(),
  };
}

function header(length, fill) {
  const bytes = new Uint8Array(length);
  fill(new DataView(bytes.buffer));
  return bytes;
}

// files: [{name, bytes (Uint8Array), lastModified (Date)}]; a Blob.
export function storedZip(files) {
  const parts = [];
  const directory = [];
  let offset = 0;
  for (const file of files) {
    const name = new TextEncoder().encode(file.name);
    const { time, date } = dosTime(file.lastModified);
    const crc = crc32(file.bytes);
    const seconds = Math.floor(file.lastModified.getTime() / 1000);
    const extra = header(9, (view) => {
      view.setUint16(0, 0x5455, true);
      view.setUint16(2, 5, true);
      view.setUint8(4, 1);  // the modification time alone
      view.setInt32(5, seconds, true);
    });
    // The fields the local header and the central directory share, from
    // "version needed" on.
    const common = (view, at) => {
      view.setUint16(at, 10, true);
      view.setUint16(at + 2, 0x0800, true);  // UTF-8 names
      view.setUint16(at + 4, 0, true);  // stored
      view.setUint16(at + 6, time, true);
      view.setUint16(at + 8, date, true);
      view.setUint32(at + 10, crc, true);
      view.setUint32(at + 14, file.bytes.length, true);
      view.setUint32(at + 18, file.bytes.length, true);
      view.setUint16(at + 22, name.length, true);
      view.setUint16(at + 24, extra.length, true);
    };
    const local = header(30, (view) => {
      view.setUint32(0, 0x04034b50, true);
      common(view, 4);
    });
    directory.push(header(46, (view) => {
      view.setUint32(0, 0x02014b50, true);
      view.setUint16(4, 0x0314, true);  // made by: Unix, 2.0
      common(view, 6);
      view.setUint32(38, 0o100644 * 0x10000, true);  // a regular file, rw-r--r--
      view.setUint32(42, offset, true);
    }), name, extra);
    parts.push(local, name, extra, file.bytes);
    offset += local.length + name.length + extra.length + file.bytes.length;
  }
  const directoryLength = directory.reduce((sum, part) => sum + part.length, 0);
  const end = header(22, (view) => {
    view.setUint32(0, 0x06054b50, true);
    view.setUint16(8, files.length, true);
    view.setUint16(10, files.length, true);
    view.setUint32(12, directoryLength, true);
    view.setUint32(16, offset, true);
  });
  return new Blob([...parts, ...directory, end], { type: 'application/zip' });
}
