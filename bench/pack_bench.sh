#!/usr/bin/env bash
# bench/pack_bench.sh FILEPACKER WORK_DIR SAMPLE_STAGE [ROUNDS]
# Packing. Sizes: the archive with the fixed and with the adaptive cut, for
# the sample package as the build stages it (SAMPLE_STAGE) and for the
# benchmark package (bench_package.sh). Times: packing the benchmark package
# on one thread and on every hardware thread, each cut, rounds interleaved,
# medians; every archive must equal the one-thread archive. Targets: the
# adaptive archive at most 0.93 of the fixed one for the benchmark package
# and smaller for the sample package; all threads at least 1.8 times as fast
# as one.
set -eu
filepacker=$1
work=$2
sample=$3
rounds=${4:-7}
threads=$(nproc)

rm -rf "$work"
mkdir -p "$work"
"$(dirname "$0")/bench_package.sh" "$work/package"

now_ns() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
verdict() { awk -v ok="$1" 'BEGIN { print ok ? "met" : "NOT met" }'; }

# size NAME PATHS...: fixed and adaptive archive sizes of one package.
size_line() {
  local name=$1
  shift
  "$filepacker" pack -o "$work/fixed.pak" "$@" >/dev/null
  "$filepacker" pack --adaptive -o "$work/adaptive.pak" "$@" >/dev/null
  local files bytes fixed adaptive
  files=$#
  [ -d "$1" ] && files=$(ls "$1" | wc -l)
  bytes=$(find "$@" -type f -printf '%s\n' | awk '{ sum += $1 } END { print sum }')
  fixed=$(stat -c %s "$work/fixed.pak")
  adaptive=$(stat -c %s "$work/adaptive.pak")
  rm -f "$work/fixed.pak" "$work/adaptive.pak"
  printf '  %-18s %3d files, %8d bytes: fixed cut %8d, adaptive %8d, ratio %s' "$name" "$files" "$bytes" "$fixed" \
    "$adaptive" "$(awk -v a="$adaptive" -v f="$fixed" 'BEGIN { printf "%.4f", a / f }')"
  ratio_of_last=$(awk -v a="$adaptive" -v f="$fixed" 'BEGIN { print a / f }')
}

echo "pack: archive sizes at the default block size (200000)"
if [ -d "$sample" ]; then
  # Kormit.exe first, as the build packs it.
  sample_files=("$sample/Kormit.exe")
  while read -r name; do
    [ "$name" = Kormit.exe ] || sample_files+=("$sample/$name")
  done < <(ls "$sample")
  size_line "sample package:" "${sample_files[@]}"
  printf ' (target < 1: %s)\n' "$(verdict "$(awk -v r="$ratio_of_last" 'BEGIN { print (r < 1) }')")"
else
  echo "  sample package: $sample is missing (the installer step stages it)"
fi
size_line "benchmark package:" "$work/package"
printf ' (target <= 0.93: %s)\n' "$(verdict "$(awk -v r="$ratio_of_last" 'BEGIN { print (r <= 0.93) }')")"

echo "pack: time for the benchmark package, median of $rounds rounds, $threads hardware threads"
for cut in fixed adaptive; do
  flag=
  [ $cut = adaptive ] && flag=--adaptive
  "$filepacker" pack $flag -j 1 -f -o "$work/reference.pak" "$work/package" >/dev/null
  one=()
  all=()
  for round in $(seq 1 "$rounds"); do
    for jobs in 1 "$threads"; do
      start=$(now_ns)
      "$filepacker" pack $flag -j "$jobs" -f -o "$work/timed.pak" "$work/package" >/dev/null
      elapsed=$(($(now_ns) - start))
      cmp -s "$work/reference.pak" "$work/timed.pak" || {
        echo "pack_bench: the $cut archive of $jobs threads differs from the one of 1 thread" >&2
        exit 1
      }
      if [ "$jobs" = 1 ]; then one+=("$elapsed"); else all+=("$elapsed"); fi
    done
  done
  one_ms=$(printf '%s\n' "${one[@]}" | median | awk '{ printf "%.1f", $1 / 1e6 }')
  all_ms=$(printf '%s\n' "${all[@]}" | median | awk '{ printf "%.1f", $1 / 1e6 }')
  speedup=$(awk -v a="$one_ms" -v b="$all_ms" 'BEGIN { printf "%.2f", a / b }')
  printf '  %-9s cut: 1 thread %7s ms, %d threads %7s ms, speed-up %s (target >= 1.80: %s)\n' "$cut" "$one_ms" \
    "$threads" "$all_ms" "$speedup" "$(verdict "$(awk -v s="$speedup" 'BEGIN { print (s >= 1.8) }')")"
done
rm -rf "$work"
