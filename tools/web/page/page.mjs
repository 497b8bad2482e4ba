// The page: opens an installer or archive, shows its files, its verdict and
// where its bytes go, hands out its files, and makes installers. The engine
// runs in worker.mjs; this thread only shows.
import { language, plainRefusal, say } from './texts.mjs';
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

const worker = new Worker(new URL('./worker.mjs', import.meta.url), { type: 'module' });
const waiting = new Map();
let jobCount = 0;

worker.onmessage = ({ data }) => {
  const job = waiting.get(data.job);
  if (data.progress !== undefined) {
    const [done, total] = data.progress;
    $('progress').value = total > 0 ? done / total : 0;
    $('progress-label').textContent = say(data.stage, data.detail ?? '');
    return;
  }
  waiting.delete(data.job);
  $('progress-box').hidden = waiting.size === 0 ? true : $('progress-box').hidden;
  if (data.error !== undefined) job.reject(Object.assign(new Error(data.error.message), { status: data.error.status }));
  else job.resolve(data.result);
};

function run(kind, data = {}) {
  const job = ++jobCount;
  $('progress').value = 0;
  $('progress-box').hidden = false;
  document.body.setAttribute('aria-busy', 'true');
  return new Promise((resolve, reject) => {
    waiting.set(job, { resolve, reject });
    worker.postMessage({ ...data, kind, job });
  }).finally(() => document.body.removeAttribute('aria-busy'));
}

function save(name, blob) {
  const link = element('a', { href: URL.createObjectURL(blob), download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// ---- what the file holds, as `filepacker list` shows it

const fileTimeOf1970 = 11644473600000n;
const two = (n) => String(n).padStart(2, '0');
// A FILETIME in local time, as list shows it.
function localTime(fileTime) {
  const date = new Date(Number(fileTime / 10000n - fileTimeOf1970));
  return `${date.getFullYear()}-${two(date.getMonth() + 1)}-${two(date.getDate())} `
         + `${two(date.getHours())}:${two(date.getMinutes())}:${two(date.getSeconds())}`;
}
const ratio = (packed, size) => (size > 0 ? `${((100 * packed) / size).toFixed(1)}%` : '-');
const number = (n) => n.toLocaleString(language);

function showFiles(listing) {
  const body = $('files').tBodies[0];
  body.replaceChildren(...listing.entries.map((entry, index) => element('tr', entry.refused ? { class: 'refused' } : {},
    element('td', {}, number(entry.size)), element('td', {}, number(entry.packed)),
    element('td', {}, ratio(entry.packed, entry.size)), element('td', {}, entry.attribute_letters),
    element('td', {}, localTime(entry.filetimes[2])), element('td', {}, String(entry.chunks.length)),
    element('th', { scope: 'row', lang: 'ja' }, entry.refused ? `! ${entry.name}` : entry.name),
    element('td', {}, element('button', { type: 'button', 'aria-label': say('downloadOf', entry.name),
                                          onclick: () => downloadOne(index) }, say('download'))))));
  const { totals } = listing;
  $('files').tFoot.replaceChildren(element('tr', {},
    element('td', {}, number(totals.size)), element('td', {}, number(totals.packed)),
    element('td', {}, ratio(totals.packed, totals.size)), element('td', { colspan: 3 }),
    element('td', { colspan: 2 }, say('totals', totals.files, listing.block_size, listing.archive_bytes))));
}

function showVerdict(listing, verdict) {
  const lines = [];
  if (verdict.ok) {
    lines.push(element('p', { class: 'whole' }, say('whole')));
  } else {
    const fault = verdict.fault;
    const place = fault.name ? `${fault.name}: ` : '';
    lines.push(element('p', { class: 'damaged' }, say('damaged')),
               element('p', { lang: 'en' }, `${place}${fault.cause}`, fault.message ? ` [${fault.message}]` : ''));
  }
  const { check } = verdict;
  if (check === null) lines.push(element('p', {}, say('bareArchive')));
  else if (!check.carried) lines.push(element('p', {}, say('noCheck')));
  else if (check.holds) lines.push(element('p', {}, say('checkHolds', check.expected, number(check.covered))));
  else lines.push(element('p', { class: 'damaged' }, say('checkFails', check.expected, check.computed)));
  const refused = listing.entries.filter((entry) => entry.refused);
  if (refused.length > 0) {
    lines.push(element('p', {}, say('refusedNames', refused.length)),
               element('ul', {}, ...refused.map((entry) => element('li', {}, `${entry.name}: `,
                                                                    element('span', { lang: 'en' }, entry.refusal)))));
  }
  $('verdict').replaceChildren(...lines);
}

// The files as areas of their packed bytes, shaded by ratio; the rest of
// the file (the installer program, headers) as one more area.
function showMap(listing, fileSize) {
  const width = 720;
  const height = 300;
  const items = listing.entries.map((entry) => ({ value: entry.packed, label: entry.name,
                                                  share: entry.size > 0 ? Math.min(entry.packed / entry.size, 1) : 1 }));
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
  $('result').hidden = true;
  $('verdict').replaceChildren();
  try {
    const { listing, verdict } = await run('open', { file });
    showFiles(listing);
    showVerdict(listing, verdict);
    showMap(listing, file.size);
    $('result').hidden = false;
  } catch (error) {
    $('verdict').replaceChildren(element('p', { class: 'damaged' }, say('notReadable', error.message)));
  }
}

async function downloadOne(index) {
  const { name, bytes } = await run('extract', { index });
  save(name, new Blob([bytes]));
}

async function downloadAll() {
  const { zip, fault } = await run('extract');
  if (zip !== undefined) save(`${openedName.replace(/\.[^.]*$/, '')}.zip`, zip);
  else $('verdict').append(element('p', { class: 'damaged' }, fault.cause));
}

// ---- making an installer

let picked = [];  // [{name, file}]

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
    const { bytes } = await run('make', { files: picked, options });
    outcome.replaceChildren(element('p', { class: 'whole' }, say('made', name, number(bytes.length))));
    save(name, new Blob([bytes], { type: 'application/vnd.microsoft.portable-executable' }));
  } catch (error) {
    outcome.replaceChildren(element('p', { class: 'damaged' }, say('refused', plainRefusal(error.message))),
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
$('make-files').addEventListener('change', (event) => pick(event.target.files, false));
$('make-folder').addEventListener('change', (event) => pick(event.target.files, true));
$('make').addEventListener('click', make);
document.body.dataset.ready = 'true';
