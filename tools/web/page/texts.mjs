// The page's words in English and Japanese; the browser's language chooses.
// A text with {0}, {1} takes the values given to say().
const english = {
  title: 'Open, check and make installers',
  offline: 'Everything happens in this page: once it has loaded, nothing you open or make leaves your machine.',
  openHeading: 'Open an installer or archive',
  openLabel: 'Installer or archive',
  dropHint: 'Choose a file, or drop one here.',
  reading: 'Reading {0}…',
  listing: 'Listing the files…',
  checking: 'Checking every file as the installer would unpack it…',
  extracting: 'Unpacking…',
  packing: 'Packing {0} files…',
  size: 'Size', packed: 'Packed', ratio: 'Ratio', attributes: 'Attr', modified: 'Modified', chunks: 'Chunks',
  name: 'Name', download: 'Download', downloadOf: 'Download {0}',
  totals: '{0} files, block size {1}, archive {2} bytes',
  downloadAll: 'Download all as a zip',
  whole: 'Whole: every file unpacks as the installer would unpack it.',
  checkHolds: 'Its payload check holds (CRC-32 {0} of {1} bytes).',
  noCheck: 'It carries no payload check (it was made before there was one).',
  bareArchive: 'A bare archive: only its decoding was checked.',
  damaged: 'Damaged or refused: the installer would stop here.',
  checkFails: 'Its payload is damaged: the check record expects CRC-32 {0}, the bytes give {1}.',
  refusedNames: 'Windows would refuse {0} of its names:',
  notReadable: 'This file cannot be read: {0}',
  mapHeading: 'Where its bytes go',
  mapHint: 'Each file is an area as large as its packed bytes; the darker, the less it was compressed.',
  mapProgram: 'installer program',
  makeHeading: 'Make an installer',
  makeFiles: 'Files',
  makeFolder: 'Or a folder',
  picked: '{0} files, {1} bytes',
  adaptive: 'Adaptive cut (a smaller download, slower to make)',
  blockSize: 'Block size (bytes)',
  allowNoSetup: 'Only to be unpacked (no Setup.exe)',
  installerName: 'Name of the installer',
  make: 'Make the installer',
  made: 'Made {0}: {1} bytes.',
  refused: 'Not made: {0}',
  commandWords: 'The command says:',
  noFiles: 'Choose the files or the folder first.',
  why: {
    setup: 'there is no Setup.exe at the top, which the installer runs after unpacking. Add it, or tick "only to be unpacked".',
    subfolder: 'the folder holds another folder, and the installer makes no subfolders. Move its files up or leave it out.',
    sameFile: 'two names are the same file for Windows (it ignores case, and full- and half-width letters are one).',
    shortName: 'a name is the short (8.3) name Windows may give another file of the package.',
    codePage: 'a name has a character that Japanese Windows cannot hold in a file name (code page 932).',
    tooLong: 'a name is too long for the install folder.',
    badName: 'Windows cannot use a name (a device name such as CON, or a character such as ":").',
    noBytes: 'the files hold no bytes at all.',
    tooLarge: 'the files add up to 2 GiB or more, more than the installer can hold.',
    blockSize: 'the block size must be from 1,024 to 4,000,000 bytes.',
  },
};

const japanese = {
  title: 'インストーラーを開く・確かめる・作る',
  offline: 'すべてこのページの中で行います。読み込んだ後は、開いたファイルも作ったファイルもこのコンピューターの外へ送られません。',
  openHeading: 'インストーラーまたはアーカイブを開く',
  openLabel: 'インストーラーまたはアーカイブ',
  dropHint: 'ファイルを選ぶか、ここにドロップしてください。',
  reading: '{0} を読み込んでいます…',
  listing: 'ファイルの一覧を作っています…',
  checking: 'インストーラーと同じように全ファイルを確かめています…',
  extracting: '展開しています…',
  packing: '{0} 個のファイルを圧縮しています…',
  size: 'サイズ', packed: '圧縮後', ratio: '比率', attributes: '属性', modified: '更新日時', chunks: 'チャンク',
  name: '名前', download: 'ダウンロード', downloadOf: '{0} をダウンロード',
  totals: '{0} ファイル、ブロックサイズ {1}、アーカイブ {2} バイト',
  downloadAll: 'すべてを zip でダウンロード',
  whole: '正常：インストーラーと同じように、すべてのファイルを展開できます。',
  checkHolds: 'ペイロードの検査値も一致しています（CRC-32 {0}、{1} バイト）。',
  noCheck: 'ペイロードの検査値はありません（検査値が入る前に作られたものです）。',
  bareArchive: 'アーカイブ単体です。展開できることだけを確かめました。',
  damaged: '壊れているか、拒否されます：インストーラーはここで止まります。',
  checkFails: 'ペイロードが壊れています：検査値は CRC-32 {0} ですが、実際は {1} です。',
  refusedNames: 'Windows が拒否する名前が {0} 個あります：',
  notReadable: 'このファイルは読めません：{0}',
  mapHeading: 'バイトの内訳',
  mapHint: '各ファイルの面積は圧縮後のバイト数です。色が濃いほど圧縮されていません。',
  mapProgram: 'インストーラー本体',
  makeHeading: 'インストーラーを作る',
  makeFiles: 'ファイル',
  makeFolder: 'またはフォルダー',
  picked: '{0} ファイル、{1} バイト',
  adaptive: '可変長の分割（小さくなりますが、時間がかかります）',
  blockSize: 'ブロックサイズ（バイト）',
  allowNoSetup: '展開のみ（Setup.exe なし）',
  installerName: 'インストーラーの名前',
  make: 'インストーラーを作る',
  made: '{0} を作りました：{1} バイト。',
  refused: '作れません：{0}',
  commandWords: 'コマンドの言葉：',
  noFiles: '先にファイルかフォルダーを選んでください。',
  why: {
    setup: '一番上に Setup.exe がありません（インストーラーは展開後にこれを実行します）。追加するか「展開のみ」を選んでください。',
    subfolder: 'フォルダーの中に別のフォルダーがあります。インストーラーはサブフォルダーを作りません。',
    sameFile: 'Windows では同じファイルになる名前が二つあります（大文字と小文字、全角と半角は区別されません）。',
    shortName: 'ある名前が、パッケージの別のファイルに Windows が付ける短い名前（8.3 形式）と同じです。',
    codePage: '日本語版 Windows のファイル名に使えない文字（コードページ 932 にない文字）を含む名前があります。',
    tooLong: 'インストール先のフォルダーには長すぎる名前があります。',
    badName: 'Windows で使えない名前があります（CON などのデバイス名や「:」などの文字）。',
    noBytes: 'ファイルの中身がまったくありません。',
    tooLarge: 'ファイルの合計が 2 GiB 以上で、インストーラーに入りません。',
    blockSize: 'ブロックサイズは 1,024 から 4,000,000 バイトまでです。',
  },
};

export const language = (globalThis.navigator?.language ?? 'en').toLowerCase().startsWith('ja') ? 'ja' : 'en';
const words = language === 'ja' ? japanese : english;

export function say(key, ...values) {
  const text = key.split('.').reduce((at, part) => at?.[part], words) ?? key;
  return text.replace(/\{(\d)\}/g, (all, index) => String(values[Number(index)]));
}

// Which plain words fit a refusal of `filepacker installer`, by its message.
const refusals = [
  [/no top-level Setup\.exe/, 'why.setup'],
  [/is a folder inside/, 'why.subfolder'],
  [/takes it for the same file/, 'why.sameFile'],
  [/short \(8\.3\) name/, 'why.shortName'],
  [/no code page 932 form/, 'why.codePage'],
  [/bytes in code page 932; behind the install folder/, 'why.tooLong'],
  [/cannot hold|refuses its name|separator/, 'why.badName'],
  [/hold no bytes/, 'why.noBytes'],
  [/2 GiB/, 'why.tooLarge'],
  [/block size/, 'why.blockSize'],
];

export function plainRefusal(message) {
  const found = refusals.find(([pattern]) => pattern.test(message));
  return found === undefined ? message : say(found[1]);
}
