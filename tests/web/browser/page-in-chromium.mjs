// The page of the WebAssembly engine in a real browser: Debian's chromium,
// headless, driven through puppeteer-core, opens the page from a static
// server of ours on 127.0.0.1, loads the sample installer through the file
// input and finds every file name and the verdict; a damaged copy shows as
// damaged; the zip of all files reads back in Python's zipfile with the
// names and bytes; an installer made from files equals the command's, byte
// for byte, and a refused one is refused in plain words. Any request that
// leaves the page's own origin fails the test.
// Usage: node page-in-chromium.mjs FILEPACKER WEB_BUILD_FOLDER SAMPLE_PACKAGE_FOLDER SCRATCH [--screenshots FOLDER]
// Exit 77 (skipped) only when chromium cannot be started.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
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

// ---- a static server of the page's folder

const types = { '.html': 'text/html; charset=utf-8', '.mjs': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
  const path = join(webFolder, decodeURIComponent(new URL(request.url, 'http://x').pathname));
  if (!path.startsWith(webFolder) || !existsSync(path) || !types[extname(path)]) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[extname(path)] }).end(readFileSync(path));
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
async function downloaded(name) {
  const path = join(downloads, name);
  for (let tries = 0; tries < 300 && !existsSync(path); tries++) await new Promise((wait) => setTimeout(wait, 50));
  assert.ok(existsSync(path), `${name} was not downloaded`);
  await new Promise((wait) => setTimeout(wait, 200));  // until it is written whole
  return readFileSync(path);
}

async function load(page, path) {
  await (await page.$('#open-file')).uploadFile(path);
  await page.waitForFunction(() => !document.getElementById('result').hidden
                                   || document.querySelector('#verdict .damaged') !== null);
}

let passed = 0;
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
  if (screenshots !== null) {
    mkdirSync(screenshots, { recursive: true });
    await page.screenshot({ path: join(screenshots, 'page-en.png'), fullPage: true });
  }

  // All files as a zip, read back by an independent reader.
  await page.click('#download-all');
  await downloaded('sample.zip');
  const zipped = JSON.parse(execFileSync('python3', ['-c', `
import json, sys, zipfile, hashlib
with zipfile.ZipFile(sys.argv[1]) as z:
    print(json.dumps([[i.filename, hashlib.sha256(z.read(i)).hexdigest(), list(i.date_time)] for i in z.infolist()]))
`, join(downloads, 'sample.zip')], { encoding: 'utf8' }));
  const sha = (path) => execFileSync('sha256sum', [path], { encoding: 'utf8' }).split(' ')[0];
  assert.deepEqual(zipped.map(([name, digest]) => [name, digest]),
                   listed.entries.map((entry) => [entry.name, sha(join(packageFolder, entry.name))]), 'the zip');
  // The write times, in the local time that both the browser and the
  // command show here (the sample's are whole minutes: no 2-second rounding).
  assert.deepEqual(zipped.map(([, , time]) => time),
                   listed.entries.map((entry) => entry.last_write_time.split(/[-T:]/).map(Number)), 'the zip\'s times');
  passed++;

  // A damaged copy.
  await load(page, damaged);
  assert.match(await page.$eval('#verdict', (verdict) => verdict.textContent), /^Damaged or refused: .*damaged/);
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
  if (screenshots !== null) await japanese.screenshot({ path: join(screenshots, 'page-ja.png'), fullPage: true });

  // The worker's fetch of the module is seen, so the check sees workers too.
  assert.ok(requested.some((url) => url.endsWith('/filepacker.wasm')), 'the module request was not seen');
  assert.deepEqual(elsewhere, [], 'requests that left the page\'s origin, or errors');
  passed++;
} finally {
  await browser.close();
  server.close();
}
rmSync(scratch, { recursive: true, force: true });
console.log(`${passed} passed, 0 failed`);
