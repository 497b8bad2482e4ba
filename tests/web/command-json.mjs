// What `filepacker ... --json` prints, as the module answers it: FILETIMEs
// (numbers beyond 2^53, which JSON.parse would round) as BigInts.
export function parseCommandJson(text) {
  const quoted = text.replace(/("filetimes":\s*\[)([^\]]*)\]/g,
                              (all, head, numbers) => head + numbers.replace(/\d+/g, '"$&"') + ']');
  return JSON.parse(quoted, (key, value) => (key === 'filetimes' ? value.map(BigInt) : value));
}
