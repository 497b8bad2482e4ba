// The page: opens an installer or archive, shows its files, its verdict and
// where its bytes go, hands out its files, and makes installers. The engine
// runs in worker.mjs; this thread only shows.
import { isNotArchive, language, plainCause, plainRefusal, say } from './texts.mjs';
import { squarify } from './treemap.mjs';

const $ = (id) => document.getElementById(id);
const svgNS = 'http://www.w3.org/2000/svg';

function element(tag, attributes = {}, ...children) {
  const made = tag.startsWith('svg:') ? document.createElementNS(svgNS, tag.slice(4)) : document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) {
    if (key === 'onclick') made.addEventListener('click', value);
    else made.setAttribute(key, value);
  }
  made.append(...children);
  return made;
}

// ---- the worker, one job at a time, with the progress bar

// Made from a blob: URL that imports worker.mjs, so that it runs under
// this page's content security policy: a worker loaded from its own URL
// takes the policy of its own response, which a static server leaves
// empty, while a blob: worker inherits its maker's.
const workerUrl = new URL('./worker.mjs', import.meta.url).href;
const worker = new Worker(URL.createObjectURL(new Blob([`import ${JSON.stringify(workerUrl)};`],
                                                       { type: 'text/javascript' })), { type: 'module' });
const waiting = new Map();
let jobCount = 0;

worker.onmessage = ({ data }) => {
  const job = waiting.get(data.job);
  if (data.progress !== undefined) {
    const [done, total] = data.progress;
    $('progress').value = total > 0 ? done / total : 0;
    $('progress-box').hidden = false;
    $('progress-label').textContent = say(data.stage, data.detail ?? '');
    return;
  }
  waiting.delete(data.job);
  $('progress-box').hidden = waiting.size === 0 ? true : $('progress-box').hidden;
  if (data.error !== undefined) {
    const { message, status, code } = data.error;
    job.reject(Object.assign(new Error(message), { status, code }));
  } else {
    job.resolve(data.result);
  }
};

// The progress bar shows once the job reports progress (a page of rows
// comes back without).
function run(kind, data = {}) {
  const job = ++jobCount;
  $('progress').value = 0;
  document.body.setAttribute('aria-busy', 'true');
  return new Promise((resolve, reject) => {
    waiting.set(job, { resolve, reject });
    worker.postMessage({ ...data, kind, job });
  }).finally(() => document.body.removeAttribute('aria-busy'));
}

// Downloads what `url` holds as `name`.
function save(name, url) {
  const link = element('a', { href: url, download: name });
  document.body.append(link);
  link.click();
  link.remove();
}

// ---- what the file holds, as `filepacker list` shows it

const two = (n) => String(n).padStart(2, '0');
// A write time (milliseconds since 1970) in local time, as list shows it.
function localTime(milliseconds) {
  const date = new Date(milliseconds);
  return `${date.getFullYear()}-${two(date.getMonth() + 1)}-${two(date.getDate())} `
         + `${two(date.getHours())}:${two(date.getMinutes())}:${two(date.getSeconds())}`;
}
const ratio = (packed, size) => (size > 0 ? `${((100 * packed) / size).toFixed(1)}%` : '-');
// One formatter for every number: toLocaleString(language) makes one a
// call, a third of a millisecond each, which for a page of rows held up the
// page for 100 ms.
const numberFormat = new Intl.NumberFormat(language);
const number = (n) => numberFormat.format(n);

// The file open now: its listing and verdict, how many files it holds and
// how many of them unpack whole (the rest are not offered), the faults
// already shown, and the page of rows on screen. The rows stay in the
// worker, which hands out a page of them at a time.
let shown = null;
const rowsPerPage = 100;

async function showRows() {
  const { count, whole } = shown;
  const first = shown.page * rowsPerPage;
  const rows = await run('rows', { first, end: first + rowsPerPage });
  $('files').tBodies[0].replaceChildren(...rows.map(({ index, name, size, packed, attributes, written, chunks, refusal }) => {
    const offer = index < whole
      ? element('button', { type: 'button', 'aria-label': say('downloadOf', name), onclick: () => downloadOne(index) },
                say('download'))
      : element('span', { class: 'damaged' }, say('notWhole'));
    return element('tr', refusal !== null ? { class: 'refused' } : {},
      element('td', {}, number(size)), element('td', {}, number(packed)), element('td', {}, ratio(packed, size)),
      element('td', {}, attributes), element('td', {}, localTime(written)), element('td', {}, String(chunks)),
      element('th', { scope: 'row', lang: 'ja' }, refusal !== null ? `! ${name}` : name), element('td', {}, offer));
  }));
  const last = first + rows.length;
  $('pages').hidden = count <= rowsPerPage;
  $('page-of').textContent = say('rowsOf', number(first + 1), number(last), number(count));
  $('previous-page').disabled = first === 0;
  $('next-page').disabled = last >= count;
  $('download-all').hidden = whole === 0;
  $('download-all').textContent = whole === count ? say('downloadAll') : say('downloadWhole', number(whole));
}

function turnPage(step) {
  shown.page += step;
  return showRows();
}

function showTotals() {
  const { listing: { totals, block_size: blockSize, archive_bytes: archiveBytes } } = shown;
  $('files').tFoot.replaceChildren(element('tr', {},
    element('td', {}, number(totals.size)), element('td', {}, number(totals.packed)),
    element('td', {}, ratio(totals.packed, totals.size)), element('td', { colspan: 3 }),
    element('td', { colspan: 2 }, say('totals', number(totals.files), number(blockSize), number(archiveBytes)))));
}

// A fault in the page's words, once: the same fault met again (by test,
// then by extraction) is not shown twice.
function faultLine(fault) {
  const key = `${fault.entry}\n${fault.cause}`;
  if (shown.faults.has(key)) return [];
  shown.faults.add(key);
  const words = plainCause(fault.code, fault.cause);
  if (!fault.name) return [element('p', { class: 'damaged' }, words.charAt(0).toUpperCase() + words.slice(1))];
  return [element('p', { class: 'damaged' }, element('span', { lang: 'ja' }, fault.name), ': ', words)];
}

function showVerdict() {
  const { verdict, count, whole, refused, refusals } = shown;
  const lines = [];
  const { check } = verdict;
  if (verdict.ok) {
    lines.push(element('p', { class: 'whole' }, say('whole')));
  } else {
    lines.push(element('p', { class: 'damaged' }, say('damaged')));
    // A damaged payload is the check's line below.
    if (check?.holds !== false) lines.push(...faultLine(verdict.fault));
    if (whole > 0 && whole < count) lines.push(element('p', {}, say('wholeBefore', number(whole))));
  }
  if (check === null) lines.push(element('p', {}, say('bareArchive')));
  else if (!check.carried) lines.push(element('p', {}, say('noCheck')));
  else if (check.holds) lines.push(element('p', {}, say('checkHolds', check.expected, number(check.covered))));
  else lines.push(element('p', { class: 'damaged' }, say('checkFails', check.expected, check.computed ?? '-')));
  if (refused > 0) {
    const listed = refusals.map(({ name, refusal, refusalCode }) => element(
      'li', {}, element('span', { lang: 'ja' }, name), ': ', plainCause(refusalCode, refusal)));
    if (refused > refusals.length) listed.push(element('li', {}, say('more', number(refused - refusals.length))));
    lines.push(element('p', {}, say('refusedNames', number(refused))), element('ul', {}, ...listed));
  }
  $('verdict').replaceChildren(...lines);
}

// The largest files as areas of their packed bytes, shaded by ratio; the
// other files as one area, and the rest of the file (the installer
// program, headers) as one more.
function showMap(fileSize) {
  const width = 720;
  const height = 300;
  const { largest, count, listing } = shown;
  const items = largest.map(({ name, size, packed }) => ({ value: packed, label: name,
                                                          share: size > 0 ? Math.min(packed / size, 1) : 1 }));
  const others = count - items.length;
  const othersPacked = listing.totals.packed - items.reduce((sum, item) => sum + item.value, 0);
  if (others > 0 && othersPacked > 0) items.push({ value: othersPacked, label: say('mapOthers', number(others)), share: null });
  const rest = fileSize - listing.totals.packed;
  if (rest > 0) items.push({ value: rest, label: say('mapProgram'), share: null });
  const svg = $('map');
  svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
  svg.replaceChildren(...squarify(items, width, height).map(({ item, x, y, width: w, height: h }) => {
    const fill = item.share === null ? '#b9b9b9' : `hsl(210 70% ${Math.round(88 - 58 * item.share)}%)`;
    const title = `${item.label}: ${number(item.value)}${item.share === null ? '' : ` (${(100 * item.share).toFixed(1)}%)`}`;
    const group = element('svg:g', {}, element('svg:title', {}, title),
                          element('svg:rect', { x, y, width: w, height: h, fill, stroke: '#fff' }));
    // A label where it fits, cut to the area's width (about 7 units a letter).
    const letters = Math.floor((w - 8) / 7);
    if (letters >= 4 && h > 16) {
      const label = item.label.length > letters ? `${item.label.slice(0, letters - 1)}…` : item.label;
      group.append(element('svg:text', { x: x + 4, y: y + 14, fill: item.share > 0.6 ? '#fff' : '#000' }, label));
    }
    return group;
  }));
}

let openedName = '';

async function open(file) {
  openedName = file.name;
  shown = null;
  $('result').hidden = true;
  $('verdict').replaceChildren();
  try {
    const opened = await run('open', { file });
    const { listing, verdict, count } = opened;
    // A bare "archive" whose header is not one is no archive at all.
    if (listing.container === 'archive' && verdict.fault !== null && isNotArchive(verdict.fault.code)) {
      $('verdict').replaceChildren(element('p', { class: 'damaged' }, say('notArchive')));
      return;
    }
    const whole = verdict.ok ? count : Math.min(count, (verdict.fault.entry ?? 1) - 1);
    shown = { ...opened, whole, page: 0, faults: new Set() };
    await showRows();
    showTotals();
    showVerdict();
    $('result').hidden = false;
    // The picture in a frame of its own, after the table's; the page is
    // busy until it is drawn.
    document.body.setAttribute('aria-busy', 'true');
    await new Promise((drawn) => requestAnimationFrame(() => setTimeout(drawn)));
    showMap(file.size);
    document.body.removeAttribute('aria-busy');
  } catch (error) {
    $('verdict').replaceChildren(element('p', { class: 'damaged' }, say('notReadable', plainCause(error.code, error.message))));
  }
}

// After an extraction of the file shown then: fewer whole files than the
// test found (a name the folder refused) are no longer offered, and why is
// shown. A file opened meanwhile is left as it is.
function extracted({ whole, fault }, then) {
  if (shown !== then) return undefined;
  if (fault !== null) $('verdict').append(...faultLine(fault));
  if (whole < shown.whole) {
    shown.whole = whole;
    return showRows();
  }
  return undefined;
}

async function downloadOne(index) {
  const then = shown;
  const result = await run('extract', { index });
  await extracted(result, then);
  if (result.url !== undefined) save(result.name, result.url);
}

async function downloadAll() {
  const then = shown;
  const result = await run('extract', { zipName: `${openedName.replace(/\.[^.]*$/, '')}.zip` });
  await extracted(result, then);
  if (result.url !== undefined) save(result.name, result.url);
}

// ---- making an installer

let picked = [];  // [{name, file}]
let blockLimits;  // the block sizes the engine takes, {least, most}, once it has said

function pick(files, useRelativePath) {
  picked = [...files].map((file) => ({ name: useRelativePath && file.webkitRelativePath ? file.webkitRelativePath : file.name, file }));
  const bytes = picked.reduce((sum, { file }) => sum + file.size, 0);
  $('picked').textContent = say('picked', picked.length, number(bytes));
  $('make-outcome').replaceChildren();
}

async function make() {
  const outcome = $('make-outcome');
  if (picked.length === 0) {
    outcome.replaceChildren(element('p', { class: 'damaged' }, say('noFiles')));
    return;
  }
  const name = $('installer-name').value.trim() || 'installer.exe';
  const options = { adaptive: $('adaptive').checked, blockSize: Number($('block-size').value),
                    allowNoSetup: $('allow-no-setup').checked, name };
  outcome.replaceChildren();
  try {
    const { size, url } = await run('make', { files: picked, options });
    outcome.replaceChildren(element('p', { class: 'whole' }, say('made', name, number(size))));
    save(name, url);
  } catch (error) {
    outcome.replaceChildren(element('p', { class: 'damaged' }, say('refused', plainRefusal(error.code, error.message, blockLimits))),
                            element('p', {}, say('commandWords'), ' ', element('code', { lang: 'en' }, error.message)));
  }
}

// ---- wiring

document.documentElement.lang = language;
document.title = say('title');
for (const node of document.querySelectorAll('[data-text]')) node.textContent = say(node.dataset.text);
// The engine uses WebAssembly SIMD: a browser without it would fail on the
// first file with a compiler's message, so the page says so at once. The
// probe is a module of one function returning a v128 constant.
const simdProbe = new Uint8Array([0, 0x61, 0x73, 0x6d, 1, 0, 0, 0, 1, 5, 1, 0x60, 0, 1, 0x7b, 3, 2, 1, 0,
                                  0x0a, 0x16, 1, 0x14, 0, 0xfd, 0x0c, ...new Array(16).fill(0), 0x0b]);
if (!WebAssembly.validate(simdProbe)) $('offline').after(element('p', { class: 'damaged', role: 'alert' }, say('noSimd')));
$('open-file').addEventListener('change', (event) => event.target.files[0] && open(event.target.files[0]));
const drop = $('drop');
for (const type of ['dragenter', 'dragover']) {
  drop.addEventListener(type, (event) => { event.preventDefault(); drop.classList.add('over'); });
}
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
// A file dropped beside the zone is not opened by the browser in the page's place.
for (const type of ['dragover', 'drop']) document.addEventListener(type, (event) => event.preventDefault());
drop.addEventListener('drop', (event) => {
  event.preventDefault();
  drop.classList.remove('over');
  if (event.dataTransfer.files[0]) open(event.dataTransfer.files[0]);
});
$('download-all').addEventListener('click', downloadAll);
$('previous-page').addEventListener('click', () => turnPage(-1));
$('next-page').addEventListener('click', () => turnPage(1));
$('make-files').addEventListener('change', (event) => pick(event.target.files, false));
$('make-folder').addEventListener('change', (event) => pick(event.target.files, true));
$('make').addEventListener('click', make);
// The block sizes the engine takes, before the page is ready (a browser
// that cannot run the engine has been told so above).
try {
  const { least, most, usual } = await run('limits');
  Object.assign($('block-size'), { min: least, max: most, value: usual });
  blockLimits = { least, most };
} catch {}
document.body.dataset.ready = 'true';
