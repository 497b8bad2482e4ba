// The page of the WebAssembly engine in a real browser: Debian's chromium,
// headless, driven through puppeteer-core, opens the page from a static
// server of ours on 127.0.0.1 that hands out whatever the page's folder
// holds (which must be the page's files alone), loads the sample installer
// through the file input and finds every file name and the verdict; a
// damaged copy shows as damaged; the zip of all files reads back in
// Python's zipfile with the names and bytes; an installer made from files
// equals the command's, byte for byte, and a refused one is refused in
// plain words. An archive with a damaged file offers the files before it
// alone, and says why once, in English or Japanese; a PNG and an empty file
// are no archives; an archive of 100,000 files opens without holding up the
// page for 200 ms or taking 1 GB, and its zip is a zip64 with every file.
// The worker runs under the page's content security policy. Any request
// that leaves the page's own origin fails the test.
// Usage: node page-in-chromium.mjs FILEPACKER PAGE_FOLDER SAMPLE_PACKAGE_FOLDER SCRATCH [--screenshots FOLDER]
// Exit 77 (skipped) only when chromium cannot be started.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, resolve } from 'node:path';
import puppeteer from 'puppeteer-core';

import { samplePackage, writeFiles } from '../sample-package.mjs';

const [filepacker, webFolder, samples, scratch] = process.argv.slice(2, 6).map((path) => resolve(path));
const screenshotsAt = process.argv.indexOf('--screenshots');
const screenshots = screenshotsAt > 0 ? resolve(process.argv[screenshotsAt + 1]) : null;
// Debian's chromium (KORMIT_CHROMIUM names another).
const chromium = process.env.KORMIT_CHROMIUM ?? '/usr/bin/chromium';

// ---- the sample package and its installer, made by the command

rmSync(scratch, { recursive: true, force: true });
const packageFolder = join(scratch, 'package');
const downloads = join(scratch, 'downloads');
mkdirSync(packageFolder, { recursive: true });
mkdirSync(downloads);
const files = samplePackage(samples);
const names = files.map((file) => file.name);
writeFiles(packageFolder, files);
const filepackerRun = (...args) => execFileSync(filepacker, args, { cwd: packageFolder, encoding: 'utf8' });
const sample = join(scratch, 'sample.exe');
filepackerRun('installer', '-o', sample, ...names);
const listed = JSON.parse(filepackerRun('list', '--json', sample));
const damaged = join(scratch, 'damaged.exe');
const damagedBytes = readFileSync(sample);
damagedBytes[listed.payload.offset + Math.floor(listed.payload.bytes / 2)] ^= 0x10;
writeFileSync(damaged, damagedBytes);

// A bare archive (no payload check) in blocks of 1 KiB in which the second
// chunk of a file after the first three is overwritten: the command stops
// there, after writing the file's first kilobyte.
const broken = join(scratch, 'broken.bin');
filepackerRun('pack', '-b', '1024', '-o', broken, ...names);
const brokenEntries = JSON.parse(filepackerRun('list', '--json', broken)).entries;
const brokenAt = brokenEntries.findIndex((entry, index) => index >= 3 && entry.chunks.length > 1);
const brokenBytes = readFileSync(broken);
const brokenChunk = brokenEntries[brokenAt].chunks[1];
brokenBytes.fill(0xa5, brokenChunk.offset + 4, brokenChunk.offset + brokenChunk.coded);  // after its length
writeFileSync(broken, brokenBytes);
const brokenFault = JSON.parse(spawnSync(filepacker, ['test', '--json', broken], { encoding: 'utf8' }).stdout).fault;
assert.equal(brokenFault.entry, brokenAt + 1, 'the command stops at the overwritten file');

// 100,000 files of a few bytes each, packed by the command.
const many = join(scratch, 'many.bin');
mkdirSync(join(scratch, 'many'));
for (let i = 0; i < 100000; i++) writeFileSync(join(scratch, 'many', `f${String(i).padStart(5, '0')}.txt`), String(i));
filepackerRun('pack', '-o', many, join(scratch, 'many'));
rmSync(join(scratch, 'many'), { recursive: true });
// What a web server would hand out of the page's folder: the page alone.
const pageFiles = ['filepacker.mjs', 'filepacker.wasm', 'index.html', 'page.css', 'page.mjs', 'texts.mjs', 'treemap.mjs',
                   'worker.mjs', 'zip.mjs'];
assert.deepEqual(readdirSync(webFolder).sort(), pageFiles, `what ${webFolder} holds`);

// ---- a static server of the page's folder

const types = { '.html': 'text/html; charset=utf-8', '.mjs': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
  const path = join(webFolder, decodeURIComponent(new URL(request.url, 'http://x').pathname));
  if (!path.startsWith(webFolder) || !existsSync(path) || !statSync(path).isFile()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[extname(path)] ?? 'application/octet-stream' }).end(readFileSync(path));
});
await new Promise((done) => server.listen(0, '127.0.0.1', done));
const origin = `http://127.0.0.1:${server.address().port}`;

let browser;
try {
  // Nothing may resolve but our server, so that a stray request fails even
  // where the check below would miss it.
  browser = await puppeteer.launch({ executablePath: chromium, headless: true,
                                     args: ['--no-sandbox', '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1'] });
} catch (error) {
  console.log(`chromium cannot be started (${chromium}): ${error.message.split('\n')[0]}; skipped`);
  server.close();
  process.exit(77);
}

const requested = [];
const elsewhere = [];
async function openPage(language) {
  const page = await browser.newPage();
  page.on('request', (request) => {
    const url = request.url();
    requested.push(url);
    if (!url.startsWith(`${origin}/`) && !url.startsWith('blob:') && !url.startsWith('data:')) elsewhere.push(url);
  });
  page.on('pageerror', (error) => elsewhere.push(`page error: ${error.message}`));
  await page.evaluateOnNewDocument((tag) => Object.defineProperty(navigator, 'language', { get: () => tag }), language);
  await page.setViewport({ width: 1000, height: 900 });
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.goto(`${origin}/index.html`);
  await page.waitForSelector('body[data-ready]');
  return page;
}

// The file that appears in the downloads folder under `name`.
async function downloaded(name, seconds = 15) {
  const path = join(downloads, name);
  for (let tries = 0; tries < seconds * 20 && !existsSync(path); tries++) await new Promise((wait) => setTimeout(wait, 50));
  assert.ok(existsSync(path), `${name} was not downloaded`);
  await new Promise((wait) => setTimeout(wait, 200));  // until it is written whole
  return readFileSync(path);
}

// Opens the file through the file input and waits for its verdict (the
// last one cleared first, so that it is not taken for the new one).
async function load(page, path, timeout = 30000) {
  await page.$eval('#verdict', (verdict) => verdict.replaceChildren());
  await (await page.$('#open-file')).uploadFile(path);
  await page.waitForFunction(() => document.getElementById('verdict').childElementCount > 0
                                   && !document.body.hasAttribute('aria-busy'), { timeout });
}
const verdictText = (page) => page.$eval('#verdict', (verdict) => verdict.textContent);
const times = (text, part) => text.split(part).length - 1;
async function screenshot(page, name) {
  if (screenshots === null) return;
  mkdirSync(screenshots, { recursive: true });
  await page.screenshot({ path: join(screenshots, name), fullPage: true });
}

// [[name, SHA-256, write time]] of each file of a zip, as Python's zipfile
// reads it (after testing every file's CRC).
function zipContents(path) {
  return JSON.parse(execFileSync('/usr/bin/python3', ['-c', `
import json, sys, zipfile, hashlib
with zipfile.ZipFile(sys.argv[1]) as z:
    assert z.testzip() is None
    print(json.dumps([[i.filename, hashlib.sha256(z.read(i)).hexdigest(), list(i.date_time)] for i in z.infolist()]))
`, path], { encoding: 'utf8', maxBuffer: 1 << 28 }));
}
const sha = (bytes) => createHash('sha256').update(bytes).digest('hex');

// The resident memory of the browser's largest renderer, in bytes, as /proc
// gives it: the tab at work (its page and worker run in one process), where
// the others hold the browser's own blank pages.
async function tabMemory(session) {
  const { processInfo } = await session.send('SystemInfo.getProcessInfo');
  let most = 0;
  for (const { id } of processInfo.filter((process) => process.type === 'renderer')) {
    const status = existsSync(`/proc/${id}/status`) ? readFileSync(`/proc/${id}/status`, 'utf8') : '';
    most = Math.max(most, Number(/VmRSS:\s+(\d+) kB/.exec(status)?.[1] ?? 0) * 1024);
  }
  return most;
}

let passed = 0;
let sampling;
try {
  const page = await openPage('en-US');
  // The probe of WebAssembly SIMD, which this chromium has, finds it.
  assert.equal(await page.$$eval('[role=alert]', (alerts) => alerts.length), 0, 'an alert on a page that can run');
  await load(page, sample);
  const shown = await page.$$eval('#files tbody th', (cells) => cells.map((cell) => cell.textContent));
  assert.deepEqual(shown, listed.entries.map((entry) => entry.name), 'the file names on the page');
  assert.match(await page.$eval('#verdict', (verdict) => verdict.textContent), /^Whole: .*payload check holds/);
  assert.equal(await page.$$eval('#map rect', (rects) => rects.length), names.length + 1, 'areas of the picture');
  passed += 3;
  await screenshot(page, 'page-en.png');
  // The worker runs under the page's policy: a fetch from it of another
  // origin is refused as a violation (where, under none, it would be sent).
  assert.equal(await page.workers()[0].evaluate(() => new Promise((done) => {
    let violated = null;
    self.addEventListener('securitypolicyviolation', (event) => { violated = event.effectiveDirective; });
    fetch('http://127.0.0.2:9/').catch(() => {}).finally(() => setTimeout(() => done(violated), 100));
  })), 'connect-src', 'the worker\'s content security policy');
  passed++;

  // All files as a zip, read back by an independent reader.
  await page.click('#download-all');
  await downloaded('sample.zip');
  const zipped = zipContents(join(downloads, 'sample.zip'));
  assert.deepEqual(zipped.map(([name, digest]) => [name, digest]),
                   listed.entries.map((entry) => [entry.name, sha(readFileSync(join(packageFolder, entry.name)))]), 'the zip');
  // The write times, in the local time that both the browser and the
  // command show here (the sample's are whole minutes: no 2-second rounding).
  assert.deepEqual(zipped.map(([, , time]) => time),
                   listed.entries.map((entry) => entry.last_write_time.split(/[-T:]/).map(Number)), 'the zip\'s times');
  passed++;

  // A damaged copy.
  await load(page, damaged);
  assert.match(await verdictText(page), /^Damaged or refused: .*damaged/);
  passed++;

  // A damaged file: it and the files after it are not offered, the zip
  // holds the files before it, and why is said once, before and after.
  await load(page, broken);
  assert.deepEqual(await page.$$eval('#files tbody tr', (rows) => rows.map((row) => row.querySelector('button') !== null)),
                   names.slice(0, brokenAt + 1).map((name, index) => index < brokenAt), 'the files offered');
  const cause = `${names[brokenAt]}: its packed bytes are damaged: they do not unpack to the file.`;
  assert.equal(times(await verdictText(page), cause), 1, `"${cause}" once in: ${await verdictText(page)}`);
  await page.click('#download-all');
  await downloaded('broken.zip');
  assert.deepEqual(zipContents(join(downloads, 'broken.zip')).map(([name, digest]) => [name, digest]),
                   files.slice(0, brokenAt).map((file) => [file.name, sha(file.bytes)]), 'the zip of the whole files');
  assert.equal(times(await verdictText(page), cause), 1, 'the cause, once after the download');
  await screenshot(page, 'broken-en.png');
  passed += 2;

  // A PNG and an empty file are neither installers nor archives.
  const empty = join(scratch, 'empty.exe');
  writeFileSync(empty, '');
  for (const path of ['/usr/share/icons/hicolor/48x48/apps/chromium.png', empty]) {
    await load(page, path);
    assert.equal(await verdictText(page), 'Not an installer or archive: this file holds neither.', path);
    assert.ok(await page.$eval('#result', (result) => result.hidden), `${path}: files shown`);
  }
  await screenshot(page, 'png-en.png');
  passed++;

  // An installer made of the files, as the command makes it.
  await (await page.$('#make-files')).uploadFile(...names.map((name) => join(packageFolder, name)));
  const order = await page.$eval('#make-files', (input) => [...input.files].map((file) => file.name));
  await page.$eval('#block-size', (input) => { input.value = '65536'; });
  await page.$eval('#installer-name', (input) => { input.value = 'made.exe'; });
  await page.click('#make');
  const made = await downloaded('made.exe');
  filepackerRun('installer', '--adaptive', '-b', '65536', '-o', join(scratch, 'command.exe'), ...order);
  assert.ok(made.equals(readFileSync(join(scratch, 'command.exe'))), 'the installer made in the page differs');
  passed++;

  // Without Setup.exe it is refused, in plain words and the command's.
  await (await page.$('#make-files')).uploadFile(join(packageFolder, 'Readme.txt'));
  await page.click('#make');
  await page.waitForSelector('#make-outcome .damaged');
  assert.match(await page.$eval('#make-outcome', (outcome) => outcome.textContent),
               /Not made: there is no Setup\.exe.*no top-level Setup\.exe/);
  passed++;

  // In Japanese where the browser says so; the installer dropped on the page.
  const japanese = await openPage('ja-JP');
  await japanese.evaluate((base64) => {
    const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const dropped = new DataTransfer();
    dropped.items.add(new File([bytes], 'sample.exe'));
    document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true,
                                                                          cancelable: true }));
  }, readFileSync(sample).toString('base64'));
  await japanese.waitForFunction(() => !document.getElementById('result').hidden);
  assert.match(await japanese.$eval('#verdict', (verdict) => verdict.textContent), /^正常：/);
  assert.equal(await japanese.$eval('html', (html) => html.lang), 'ja');
  passed++;
  await screenshot(japanese, 'page-ja.png');
  // The damaged file's cause in Japanese, once; no English but its name.
  await load(japanese, broken);
  const japaneseVerdict = await verdictText(japanese);
  assert.equal(times(japaneseVerdict, `${names[brokenAt]}: 圧縮されたデータが壊れていて`), 1, japaneseVerdict);
  assert.doesNotMatch(japaneseVerdict.replaceAll(names[brokenAt], ''), /[A-Za-z]{3}/, 'English on the Japanese page');
  await screenshot(japanese, 'broken-ja.png');
  passed++;
  await page.close();
  await japanese.close();

  // 100,000 files: no frame of the page's thread takes 200 ms, the tab
  // stays under 1 GB, and the zip of all is a zip64 of every file.
  const large = await openPage('en-US');
  await large.evaluate(() => {
    window.longestFrame = { duration: 0 };
    new PerformanceObserver((frames) => {
      for (const frame of frames.getEntries()) if (frame.duration > window.longestFrame.duration) window.longestFrame = frame;
    }).observe({ type: 'long-animation-frame' });
  });
  const browserSession = await browser.target().createCDPSession();
  let mostMemory = 0;
  sampling = setInterval(() => tabMemory(browserSession).then((bytes) => { mostMemory = Math.max(mostMemory, bytes); },
                                                                () => {}), 100);
  await load(large, many, 180000);
  assert.equal(await large.$eval('#page-of', (pages) => pages.textContent), 'Files 1–100 of 100,000');
  await large.click('#next-page');
  await large.waitForFunction(() => document.querySelector('#files tbody th').textContent === 'f00100.txt');
  await screenshot(large, 'many-en.png');
  await large.click('#download-all');
  await downloaded('many.zip', 180);
  clearInterval(sampling);
  const manyZipped = zipContents(join(downloads, 'many.zip'));
  assert.equal(manyZipped.length, 100000, 'files in the zip');
  assert.deepEqual(manyZipped[99999].slice(0, 2), ['f99999.txt', sha('99999')]);
  // The longest frame, with where its time went.
  const longestFrame = await large.evaluate(() => JSON.stringify(window.longestFrame));
  const { duration } = JSON.parse(longestFrame);
  console.log(`100,000 files: the longest frame ${duration.toFixed(0)} ms, the tab ${(mostMemory / 2 ** 20).toFixed(0)} MiB at most`);
  assert.ok(duration < 200, `the page's thread was held up: ${longestFrame}`);
  assert.ok(mostMemory > 0 && mostMemory < 2 ** 30, `the tab took ${mostMemory} bytes`);
  passed += 2;

  // The worker's fetch of the module is seen, so the check sees workers too.
  assert.ok(requested.some((url) => url.endsWith('/filepacker.wasm')), 'the module request was not seen');
  assert.deepEqual(elsewhere, [], 'requests that left the page\'s origin, or errors');
  passed++;
} finally {
  clearInterval(sampling);
  await browser.close();
  server.close();
}
rmSync(scratch, { recursive: true, force: true });
console.log(`${passed} passed, 0 failed`);
