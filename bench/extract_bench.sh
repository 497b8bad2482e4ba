#!/usr/bin/env bash
# bench/extract_bench.sh FILEPACKER WORK_DIR [ROUNDS]
# Extraction of the benchmark package (bench_package.sh), by
# `filepacker extract` beside `tar -xzf` of the same files packed with
# gzip -9, timed in the same run, rounds interleaved, medians compared. Target: filepacker at
# most 0.45 times tar's time. Also the archive's size beside the .tar.gz, and
# the adaptive cut's archive (many more, mostly small chunks) beside the
# fixed one: target at most 1.15 times its time.
set -eu
filepacker=$1
work=$2
rounds=${3:-15}

rm -rf "$work"
mkdir -p "$work"
pkg=$work/package
"$(dirname "$0")/bench_package.sh" "$pkg"

files=$(ls "$pkg" | wc -l)
bytes=$(du -cb "$pkg"/* | tail -1 | cut -f1)

now_ns() { date +%s%N; }
start=$(now_ns)
"$filepacker" pack -o "$work/package.pak" "$pkg" >/dev/null
pack_ns=$(($(now_ns) - start))
"$filepacker" pack --adaptive -o "$work/adaptive.pak" "$pkg" >/dev/null
start=$(now_ns)
tar -cf - -C "$pkg" . | gzip -9 >"$work/package.tar.gz"
tgz_pack_ns=$(($(now_ns) - start))
pak_size=$(stat -c %s "$work/package.pak")
tgz_size=$(stat -c %s "$work/package.tar.gz")

pak_times=()
adaptive_times=()
tgz_times=()
for round in $(seq 1 "$rounds"); do
  for tool in pak adaptive tgz; do
    dest=$work/out-$tool-$round
    mkdir "$dest"
    start=$(now_ns)
    if [ $tool = pak ]; then
      "$filepacker" extract "$work/package.pak" "$dest" >/dev/null
      pak_times+=($(($(now_ns) - start)))
    elif [ $tool = adaptive ]; then
      "$filepacker" extract "$work/adaptive.pak" "$dest" >/dev/null
      adaptive_times+=($(($(now_ns) - start)))
    else
      tar -xzf "$work/package.tar.gz" -C "$dest"
      tgz_times+=($(($(now_ns) - start)))
    fi
  done
  # Each must give back the package exactly; diff names the files that differ.
  for tool in pak adaptive tgz; do
    diff -rq "$pkg" "$work/out-$tool-$round" >&2 || { echo "extract_bench: $tool round $round differs" >&2; exit 1; }
    rm -rf "$work/out-$tool-$round"
  done
done

# Medians: a busy moment of the machine spoils a round or two, not the figure.
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
pak_ns=$(median "${pak_times[@]}")
tgz_ns=$(median "${tgz_times[@]}")
adaptive_ns=$(median "${adaptive_times[@]}")
pak_ms=$(awk -v ns=$pak_ns 'BEGIN { printf "%.2f", ns / 1e6 }')
tgz_ms=$(awk -v ns=$tgz_ns 'BEGIN { printf "%.2f", ns / 1e6 }')
ratio=$(awk -v a=$pak_ns -v b=$tgz_ns 'BEGIN { printf "%.2f", a / b }')
target=0.45
verdict=$(awk -v a=$pak_ns -v b=$tgz_ns -v t=$target 'BEGIN { print (a <= t * b) ? "within" : "OVER" }')
printf 'extract package: %d files, %d bytes\n' "$files" "$bytes"
printf '  filepacker extract: %8s ms per run (median of %d)\n' "$pak_ms" "$rounds"
printf '  tar -xzf (gzip -9): %8s ms per run\n' "$tgz_ms"
printf '  time ratio filepacker/tar: %s (%s the target of %s)\n' "$ratio" "$verdict" "$target"
printf '  size: archive %d bytes (%.1f%%), .tar.gz %d bytes (%.1f%%)\n' "$pak_size" \
  "$(awk -v a=$pak_size -v b=$bytes 'BEGIN { print 100 * a / b }')" "$tgz_size" \
  "$(awk -v a=$tgz_size -v b=$bytes 'BEGIN { print 100 * a / b }')"
adaptive_ratio=$(awk -v a=$adaptive_ns -v b=$pak_ns 'BEGIN { printf "%.2f", a / b }')
printf '  adaptive cut (%d chunks, fixed %d): %s ms per run; adaptive/fixed, target <= 1.15: %s: %s\n' \
  "$("$filepacker" list "$work/adaptive.pak" | tail -1 | awk '{ print $4 }')" \
  "$("$filepacker" list "$work/package.pak" | tail -1 | awk '{ print $4 }')" \
  "$(awk -v ns=$adaptive_ns 'BEGIN { printf "%.2f", ns / 1e6 }')" "$adaptive_ratio" \
  "$(awk -v r=$adaptive_ratio 'BEGIN { print r <= 1.15 ? "met" : "NOT met" }')"
printf '  packing once: filepacker pack %d ms, tar | gzip -9 %d ms\n' $((pack_ns / 1000000)) $((tgz_pack_ns / 1000000))
rm -rf "$work"
