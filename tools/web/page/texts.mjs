// The page's words in English and Japanese; the browser's language chooses.
// A text with {0}, {1} takes the values given to say().
const english = {
  title: 'Open, check and make installers',
  offline: 'Everything happens in this page: once it has loaded, nothing you open or make leaves your machine.',
  noSimd: 'This browser cannot run the engine: it needs WebAssembly SIMD (Chrome or Edge 91, Firefox 89, Safari 16.4 or later).',
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
  notWhole: 'Cannot be unpacked',
  downloadWhole: 'Download the {0} whole files as a zip',
  wholeBefore: 'Only the first {0} files unpack whole; the file where it stops and those after it are not offered.',
  rowsOf: 'Files {0}–{1} of {2}',
  previousPage: 'Previous files', nextPage: 'Next files',
  more: 'and {0} more (marked in the table)',
  mapOthers: '{0} other files',
  notArchive: 'Not an installer or archive: this file holds neither.',
  cause: {
    notArchive: 'it is not an installer or archive.',
    noPayload: 'it is a Windows program, but not an installer: it carries no archive.',
    cut: 'it is cut short: its archive ends before its files do (an incomplete download?).',
    decode: 'its packed bytes are damaged: they do not unpack to the file.',
    payload: 'its payload is damaged: its bytes do not match its check record.',
    checkRecord: 'its check record is damaged.',
    coded: 'its archive is coded or not of this installer; the installer reads plain archives only.',
    values: 'its archive holds sizes that no packer writes: it is damaged.',
    noBytes: 'it holds no bytes to unpack (no files, or only empty ones), and the installer refuses that.',
    memory: 'this page ran out of memory: the file may be too large for it.',
    tooLong: 'the name is too long for the install folder.',
    separator: 'the name holds a folder separator; the installer makes no subfolders.',
    badCharacter: 'the name holds a character that Windows file names cannot hold.',
    badName: 'Windows cannot use the name (a device name such as CON, or a name ending in a dot or space).',
    sameFile: 'Windows takes it for the same file as one before it (it ignores case, and full- and half-width letters are one).',
    shortName: 'the name is the short (8.3) name Windows may give a file before it.',
    created: 'the file cannot be made: a file before it has the same name, or the name is refused.',
  },
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
    blockSize: 'the block size must be from {0} to {1} bytes.',
  },
};

const japanese = {
  title: 'インストーラーを開く・確かめる・作る',
  offline: 'すべてこのページの中で行います。読み込んだ後は、開いたファイルも作ったファイルもこのコンピューターの外へ送られません。',
  noSimd: 'このブラウザーではエンジンを動かせません。WebAssembly SIMD が必要です（Chrome・Edge 91、Firefox 89、Safari 16.4 以降）。',
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
  notWhole: '展開できません',
  downloadWhole: '正常な {0} ファイルを zip でダウンロード',
  wholeBefore: '正常に展開できるのは最初の {0} ファイルだけです。止まったファイルとその後のファイルは提供しません。',
  rowsOf: 'ファイル {0}～{1}（全 {2}）',
  previousPage: '前のファイル', nextPage: '次のファイル',
  more: 'ほか {0} 個（表に印があります）',
  mapOthers: 'その他の {0} ファイル',
  notArchive: 'インストーラーでもアーカイブでもありません。',
  cause: {
    notArchive: 'インストーラーでもアーカイブでもありません。',
    noPayload: 'Windows のプログラムですが、インストーラーではありません（アーカイブを含みません）。',
    cut: '途中で切れています：ファイルより先にアーカイブが終わります（ダウンロードが途中で止まった可能性があります）。',
    decode: '圧縮されたデータが壊れていて、元のファイルに展開できません。',
    payload: 'ペイロードが壊れています：検査値と一致しません。',
    checkRecord: '検査値の記録が壊れています。',
    coded: 'アーカイブが暗号化されているか、このインストーラーのものではありません。',
    values: 'アーカイブにありえないサイズが書かれています：壊れています。',
    noBytes: '展開するデータがありません（ファイルがないか、空のファイルだけです）。インストーラーはこれを拒否します。',
    memory: 'このページのメモリーが足りません：ファイルが大きすぎる可能性があります。',
    tooLong: 'インストール先のフォルダーには長すぎる名前です。',
    separator: '名前にフォルダーの区切りがあります。インストーラーはサブフォルダーを作りません。',
    badCharacter: 'Windows のファイル名に使えない文字を含む名前です。',
    badName: 'Windows で使えない名前です（CON などのデバイス名や、点・空白で終わる名前）。',
    sameFile: 'Windows では前のファイルと同じファイルになります（大文字と小文字、全角と半角は区別されません）。',
    shortName: '前のファイルに Windows が付けうる短い名前（8.3 形式）と同じです。',
    created: 'ファイルを作れません：前に同じ名前のファイルがあるか、名前が拒否されました。',
  },
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
    blockSize: 'ブロックサイズは {0} から {1} バイトまでです。',
  },
};

export const language = (globalThis.navigator?.language ?? 'en').toLowerCase().startsWith('ja') ? 'ja' : 'en';
const words = language === 'ja' ? japanese : english;

export function say(key, ...values) {
  const text = key.split('.').reduce((at, part) => at?.[part], words) ?? key;
  return text.replace(/\{(\d)\}/g, (all, index) => String(values[Number(index)]));
}

// Which plain words fit a refusal of `filepacker installer`, by its message;
// the numbers a pattern captures fill the words' {0}, {1}.
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
  [/block size -?\d+ is outside (\d+)\.\.(\d+)/, 'why.blockSize'],
];

export function plainRefusal(message) {
  for (const [pattern, key] of refusals) {
    const found = pattern.exec(message);
    if (found !== null) return say(key, ...found.slice(1).map((digits) => Number(digits).toLocaleString(language)));
  }
  return message;
}

// Which plain words fit a fault or a refused name, by the engine's words
// (which are English, with offsets and sizes for a developer); words no
// pattern knows are shown as they are.
const causes = [
  [/^not an archive:|ends inside its \d+-byte header|fewer than the \d+ of a header/, 'cause.notArchive'],
  [/not an installer that can be read/, 'cause.noPayload'],
  [/the payload is damaged/, 'cause.payload'],
  [/check record .*is damaged/, 'cause.checkRecord'],
  [/would pass the end of the container|size field claims/, 'cause.cut'],
  [/do not decode as a block|decodes to \d+ bytes, more than|chunks end after/, 'cause.decode'],
  [/coded archive|transform|signature is not/, 'cause.coded'],
  [/size field|block size -?\d+ is outside|chunk length -?\d+ is above|add up past/, 'cause.values'],
  [/holds no bytes to unpack/, 'cause.noBytes'],
  [/out of memory|no memory for|engine stopped/, 'cause.memory'],
  [/its name takes \d+ bytes/, 'cause.tooLong'],
  [/a separator/, 'cause.separator'],
  [/which a Windows file name cannot hold/, 'cause.badCharacter'],
  [/refuses its name/, 'cause.badName'],
  [/takes it for the same file/, 'cause.sameFile'],
  [/short \(8\.3\) name/, 'cause.shortName'],
  [/cannot create|cannot be created|cannot be written/, 'cause.created'],
];

export function plainCause(cause) {
  const found = causes.find(([pattern]) => pattern.test(cause));
  return found === undefined ? cause : say(found[1]);
}

// Whether a bare archive's fault says it is none: a file that does not
// begin as an archive does, or is shorter than its header.
export const isNotArchive = (cause) => causes[0][0].test(cause);
