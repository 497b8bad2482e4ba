// The package the web tests make installers of: the sample package's texts
// (resources/package), a stand-in for its Setup.exe and a Japanese name,
// each one minute after a fixed release time, Setup.exe first.
import { mkdirSync, readFileSync, readdirSync, utimesSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';

const released = Date.UTC(2008, 7, 10, 12, 0, 0);

// [{name, bytes, lastModified}], as installer() takes them.
export function samplePackage(samples) {
  const files = [{ name: 'Setup.exe', bytes: Buffer.from('MZ not really a program, but bytes to pack '.repeat(3000)) },
                 { name: '使い方.txt', bytes: Buffer.from('日本語のテキスト\r\n'.repeat(500)) }];
  for (const name of readdirSync(samples).filter((name) => /\.(txt|ini|lng|m3u)$/.test(name)).sort()) {
    files.push({ name, bytes: readFileSync(join(samples, name)) });
  }
  files.forEach((file, index) => { file.lastModified = released + index * 60000; });
  return files;
}

// Writes the files under folder (a name "a/b" in a subfolder), each with
// its write time.
export function writeFiles(folder, files) {
  for (const file of files) {
    const path = join(folder, file.name);
    mkdirSync(dirname(path), { recursive: true });
    writeFileSync(path, file.bytes);
    utimesSync(path, file.lastModified / 1000, file.lastModified / 1000);
  }
}
