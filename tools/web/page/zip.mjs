// A zip of stored (uncompressed) files, as every unzip reads it: names in
// UTF-8 (flag bit 11), the write time both as the DOS time in local time
// and, to the second and in UTC, in an extended-timestamp field (0x5455).
// Zip64 where the classic fields overflow: more than 65,534 files, or a
// file or the directory starting at 4 GiB or beyond (an installer of many
// small files makes more headers than bytes). No file is 4 GiB itself: an
// archive holds less than 2 GiB.
const crcTable = Uint32Array.from({ length: 256 }, (_, n) => {
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

// What a 16- or 32-bit field holds when the value is in the zip64 record.
const past16 = 0xffff;
const past32 = 0xffffffff;
const utf8 = new TextEncoder();

// A header of `length` bytes that fill() writes through a DataView.
function header(length, fill) {
  const bytes = new Uint8Array(length);
  fill(new DataView(bytes.buffer));
  return bytes;
}

// Writes the zip of files [{name, size, crc, lastModified (Date)}] in
// order: its headers through write(bytes), and where file i's bytes go,
// writeFile(i).
export function writeZip(files, write, writeFile) {
  const directory = [];
  let offset = 0;
  files.forEach((file, index) => {
    const name = utf8.encode(file.name);
    const { time, date } = dosTime(file.lastModified);
    const seconds = Math.floor(file.lastModified.getTime() / 1000);
    const farOffset = offset >= past32;
    // The fields the local header and the central directory share, from
    // "version needed" on; the name and the time field, at nameAt.
    const common = (view, at, extraLength, nameAt) => {
      view.setUint16(at, farOffset ? 45 : 10, true);
      view.setUint16(at + 2, 0x0800, true);  // UTF-8 names
      view.setUint16(at + 4, 0, true);  // stored
      view.setUint16(at + 6, time, true);
      view.setUint16(at + 8, date, true);
      view.setUint32(at + 10, file.crc, true);
      view.setUint32(at + 14, file.size, true);
      view.setUint32(at + 18, file.size, true);
      view.setUint16(at + 22, name.length, true);
      view.setUint16(at + 24, extraLength, true);
      new Uint8Array(view.buffer).set(name, nameAt);
      const field = nameAt + name.length;
      view.setUint16(field, 0x5455, true);
      view.setUint16(field + 2, 5, true);
      view.setUint8(field + 4, 1);  // the modification time alone
      view.setInt32(field + 5, seconds, true);
    };
    write(header(30 + name.length + 9, (view) => {
      view.setUint32(0, 0x04034b50, true);
      common(view, 4, 9, 30);
    }));
    writeFile(index);
    // The local header's offset, in a zip64 field where the directory's
    // own cannot hold it.
    const extra64 = farOffset ? 12 : 0;
    directory.push(header(46 + name.length + 9 + extra64, (view) => {
      view.setUint32(0, 0x02014b50, true);
      view.setUint16(4, farOffset ? 0x032d : 0x0314, true);  // made by: Unix, 4.5 or 2.0
      common(view, 6, 9 + extra64, 46);
      view.setUint32(38, 0o100644 * 0x10000, true);  // a regular file, rw-r--r--
      view.setUint32(42, Math.min(offset, past32), true);
      if (farOffset) {
        const field = 46 + name.length + 9;
        view.setUint16(field, 0x0001, true);
        view.setUint16(field + 2, 8, true);
        view.setBigUint64(field + 4, BigInt(offset), true);
      }
    }));
    offset += 30 + name.length + 9 + file.size;
  });
  let directoryLength = 0;
  for (const entry of directory) {
    write(entry);
    directoryLength += entry.length;
  }
  if (files.length >= past16 || offset >= past32 || directoryLength >= past32) {
    write(header(56, (view) => {
      view.setUint32(0, 0x06064b50, true);
      view.setBigUint64(4, 44n, true);  // the record's length after this field
      view.setUint16(12, 0x032d, true);
      view.setUint16(14, 45, true);
      view.setBigUint64(24, BigInt(files.length), true);
      view.setBigUint64(32, BigInt(files.length), true);
      view.setBigUint64(40, BigInt(directoryLength), true);
      view.setBigUint64(48, BigInt(offset), true);
    }));
    write(header(20, (view) => {
      view.setUint32(0, 0x07064b50, true);
      view.setBigUint64(8, BigInt(offset + directoryLength), true);  // where the record above starts
      view.setUint32(16, 1, true);  // one disk
    }));
  }
  write(header(22, (view) => {
    view.setUint32(0, 0x06054b50, true);
    view.setUint16(8, Math.min(files.length, past16), true);
    view.setUint16(10, Math.min(files.length, past16), true);
    view.setUint32(12, Math.min(directoryLength, past32), true);
    view.setUint32(16, Math.min(offset, past32), true);
  }));
}

// files: [{name, bytes (Uint8Array), lastModified (Date)}]; a Blob. Headers
// and small files are copied together into pieces of 1 MiB, as a Blob of
// hundreds of thousands of parts takes seconds to make.
export function storedZip(files) {
  const pieceLength = 1 << 20;
  const parts = [];
  let piece = new Uint8Array(pieceLength);
  let used = 0;
  const write = (bytes) => {
    if (used + bytes.length > pieceLength) {
      parts.push(piece.subarray(0, used));
      if (bytes.length > pieceLength / 2) {
        parts.push(bytes);
        piece = new Uint8Array(pieceLength);
        used = 0;
        return;
      }
      piece = new Uint8Array(pieceLength);
      used = 0;
    }
    piece.set(bytes, used);
    used += bytes.length;
  };
  writeZip(files.map((file) => ({ ...file, size: file.bytes.length, crc: crc32(file.bytes) })), write,
           (index) => write(files[index].bytes));
  parts.push(piece.subarray(0, used));
  return new Blob(parts, { type: 'application/zip' });
}
