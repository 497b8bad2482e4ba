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

// A record of `length` bytes that fill() writes through a DataView.
function header(length, fill) {
  const bytes = new Uint8Array(length);
  fill(new DataView(bytes.buffer));
  return bytes;
}

// Writes the zip of files [{name, size, crc, lastModified (Date)}] in
// order: its headers through write(bytes), which must copy what it keeps
// (every header is made in the same buffer, as 100,000 files' headers each
// in its own took hundreds of megabytes), and where file i's bytes go,
// writeFile(i).
export function writeZip(files, write, writeFile) {
  const longestName = files.reduce((most, file) => Math.max(most, file.name.length), 0);
  const record = new Uint8Array(46 + 3 * longestName + 9 + 12);  // UTF-8 takes at most 3 bytes a UTF-16 unit
  const view = new DataView(record.buffer);
  // Lays out file's local header (central false) or its directory record,
  // its local header at `offset`; returns the record's length.
  const layOut = (file, offset, central) => {
    const { time, date } = dosTime(file.lastModified);
    const farOffset = offset >= past32;
    const nameAt = central ? 46 : 30;
    const nameLength = utf8.encodeInto(file.name, record.subarray(nameAt)).written;
    const extraLength = 9 + (central && farOffset ? 12 : 0);
    record.fill(0, 0, nameAt);
    view.setUint32(0, central ? 0x02014b50 : 0x04034b50, true);
    // Made by (Unix; 4.5 for zip64, else 2.0), in the directory alone.
    if (central) view.setUint16(4, farOffset ? 0x032d : 0x0314, true);
    // The fields both share, from "version needed" on.
    const at = central ? 6 : 4;
    view.setUint16(at, farOffset ? 45 : 10, true);
    view.setUint16(at + 2, 0x0800, true);  // UTF-8 names
    view.setUint16(at + 4, 0, true);  // stored
    view.setUint16(at + 6, time, true);
    view.setUint16(at + 8, date, true);
    view.setUint32(at + 10, file.crc, true);
    view.setUint32(at + 14, file.size, true);
    view.setUint32(at + 18, file.size, true);
    view.setUint16(at + 22, nameLength, true);
    view.setUint16(at + 24, extraLength, true);
    if (central) {
      view.setUint32(38, 0o100644 * 0x10000, true);  // a regular file, rw-r--r--
      view.setUint32(42, Math.min(offset, past32), true);
    }
    const field = nameAt + nameLength;
    view.setUint16(field, 0x5455, true);
    view.setUint16(field + 2, 5, true);
    view.setUint8(field + 4, 1);  // the modification time alone
    view.setInt32(field + 5, Math.floor(file.lastModified.getTime() / 1000), true);
    // The local header's offset, in a zip64 field where the directory's
    // own cannot hold it.
    if (central && farOffset) {
      view.setUint16(field + 9, 0x0001, true);
      view.setUint16(field + 11, 8, true);
      view.setBigUint64(field + 13, BigInt(offset), true);
    }
    return field + extraLength;
  };
  const offsets = new Float64Array(files.length);
  let offset = 0;
  files.forEach((file, index) => {
    offsets[index] = offset;
    const length = layOut(file, offset, false);
    write(record.subarray(0, length));
    writeFile(index);
    offset += length + file.size;
  });
  let directoryLength = 0;
  files.forEach((file, index) => {
    const length = layOut(file, offsets[index], true);
    write(record.subarray(0, length));
    directoryLength += length;
  });
  if (files.length >= past16 || offset >= past32 || directoryLength >= past32) {
    write(header(56, (end) => {
      end.setUint32(0, 0x06064b50, true);
      end.setBigUint64(4, 44n, true);  // the record's length after this field
      end.setUint16(12, 0x032d, true);
      end.setUint16(14, 45, true);
      end.setBigUint64(24, BigInt(files.length), true);
      end.setBigUint64(32, BigInt(files.length), true);
      end.setBigUint64(40, BigInt(directoryLength), true);
      end.setBigUint64(48, BigInt(offset), true);
    }));
    write(header(20, (locator) => {
      locator.setUint32(0, 0x07064b50, true);
      locator.setBigUint64(8, BigInt(offset + directoryLength), true);  // where the record above starts
      locator.setUint32(16, 1, true);  // one disk
    }));
  }
  write(header(22, (end) => {
    end.setUint32(0, 0x06054b50, true);
    end.setUint16(8, Math.min(files.length, past16), true);
    end.setUint16(10, Math.min(files.length, past16), true);
    end.setUint32(12, Math.min(directoryLength, past32), true);
    end.setUint32(16, Math.min(offset, past32), true);
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
