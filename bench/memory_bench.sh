#!/usr/bin/env bash
# bench/memory_bench.sh FILEPACKER WORK_DIR [SIZES_MB]
# Peak memory (resident set, /usr/bin/time) against the package's size, for
# packages of real files (the machine's shared libraries and data files) of
# 100 and 600 MB: pack, installer with each cut, and list, test and extract
# of the installer. Each run's result is checked: the installer extracts to
# the package byte for byte, and list names every file. Target: every peak
# under 200 MB, whatever the size; a wrong result fails the step.
set -eu
filepacker=$1
work=$2
sizes=${3:-100 600}
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# stage DIR MB: regular files of 200 KB to 20 MB from /usr, distinct names,
# until MB are reached.
stage() {
  local dir=$1 limit=$(($2 * 1000000)) total=0 name size
  mkdir -p "$dir"
  while read -r file; do
    name=${file##*/}
    [ ${#name} -le 60 ] && [ ! -e "$dir/$name" ] || continue
    size=$(stat -c %s "$file")
    cp "$file" "$dir/$name" 2>/dev/null || continue
    total=$((total + size))
    [ $total -ge $limit ] && break
  done < <(find /usr/lib /usr/share -type f -size +200k -size -20M 2>/dev/null | sort)
  echo "$total"
}

# peak NAME COMMAND...: runs it, prints its peak in MB and checks the target.
worst=0
peak() {
  local name=$1
  shift
  /usr/bin/time -f %M -o "$work/peak" "$@" >"$work/out" 2>"$work/err" || {
    echo "memory: $name failed: $(cat "$work/err")" >&2
    exit 1
  }
  local kb
  kb=$(tail -n 1 "$work/peak")
  [ "$kb" -gt "$worst" ] && worst=$kb
  printf '  %-22s %5d MB' "$name" $((kb / 1024))
}

echo "memory: peak resident memory against the package's size (target: under 200 MB at every size)"
for mb in $sizes; do
  pkg="$work/package-$mb"
  bytes=$(stage "$pkg" "$mb")
  files=$(ls "$pkg" | wc -l)
  echo " package of $files files, $bytes bytes:"
  peak "pack" "$filepacker" pack -o "$work/a.pak" "$pkg"
  echo " (archive $(stat -c %s "$work/a.pak") bytes)"
  for cut in fixed adaptive; do
    option=()
    [ $cut = adaptive ] && option=(--adaptive)
    peak "installer ($cut)" "$filepacker" installer "${option[@]}" --allow-no-setup -o "$work/$cut.exe" "$pkg"
    echo " (installer $(stat -c %s "$work/$cut.exe") bytes)"
  done
  rm -f "$work/a.pak" "$work/adaptive.exe"
  peak "list" "$filepacker" list --json "$work/fixed.exe"
  listed=$(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["entries"]))' "$work/out")
  [ "$listed" = "$files" ] || { echo; echo "memory: list named $listed files of $files" >&2; exit 1; }
  echo
  peak "test" "$filepacker" test "$work/fixed.exe"
  echo
  mkdir "$work/out-$mb"
  peak "extract" "$filepacker" extract "$work/fixed.exe" "$work/out-$mb"
  echo
  diff -r "$pkg" "$work/out-$mb" >/dev/null || { echo "memory: extract differs from the package" >&2; exit 1; }
  rm -rf "$pkg" "$work/out-$mb" "$work/fixed.exe"
done
echo "memory: largest peak $((worst / 1024)) MB (target under 200 MB: $([ $worst -lt 204800 ] && echo met || echo NOT met))"
