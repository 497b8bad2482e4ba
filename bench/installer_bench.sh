#!/usr/bin/env bash
# bench/installer_bench.sh SOURCE_DIR BUILD_DIR FILEPACKER [ROUNDS]
# The installer: the program's size without a payload, from a win32 build
# of its own in BUILD_DIR (target: at most 28,160 bytes: 24 KiB, the one
# file-alignment step that the payload check took, and 3 KiB for the 32-bit
# decoder's own fast path); and the time that
# `filepacker installer` takes to make the installer of the sample package
# and of the benchmark package (bench_package.sh; median of ROUNDS), with
# the installer's size beside the stub's and the archive's.
set -eu
source_dir=$1
build_dir=$2
filepacker=$3
rounds=${4:-5}

cmake --preset win32 -S "$source_dir" -B "$build_dir" -DBUILD_TESTING=OFF -DKORMIT_BENCH=ON >/dev/null
cmake --build "$build_dir" --target kormit_installer kormit_installer_bare >/dev/null
bare=$(stat -c %s "$build_dir/installer/Kormit_bare.exe")
verdict=$([ "$bare" -le 28160 ] && echo "within" || echo "OVER")
printf 'installer program without payload: %d bytes (%s the 28160-byte target)\n' "$bare" "$verdict"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now_ns() { date +%s%N; }
measure() {
  local name=$1 package=$2 times=() start
  for _ in $(seq "$rounds"); do
    start=$(now_ns)
    "$filepacker" installer --adaptive -f --allow-no-setup -o "$work/$name.exe" "$package" >/dev/null
    times+=($(( $(now_ns) - start )))
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (rounds + 1) / 2 ))p")
  "$filepacker" pack --adaptive -f -o "$work/$name.pak" "$package" >/dev/null
  local stub archive installer
  stub=$("$filepacker" installer --adaptive -f --allow-no-setup --json -o "$work/$name.exe" "$package" |
         sed -n 's/.*"stub_bytes":\([0-9]*\).*/\1/p')
  archive=$(stat -c %s "$work/$name.pak")
  installer=$(stat -c %s "$work/$name.exe")
  printf '%-17s %3d files, %9d bytes: made in %7.1f ms; installer %9d bytes = stub %d + archive %d + %d\n' \
    "$name" "$(ls "$package" | wc -l)" "$(du -cb "$package"/* | tail -1 | cut -f1)" \
    "$(echo "$median" | awk '{ printf "%.1f", $1 / 1e6 }')" "$installer" "$stub" "$archive" \
    $((installer - stub - archive))
}
echo "filepacker installer --adaptive (median of $rounds runs; the last term is the resource directory's growth, less the stub's own padding, rounded to the file alignment):"
measure sample-package "$build_dir/payload/package"
"$(dirname "$0")/bench_package.sh" "$work/bench-package"
measure bench-package "$work/bench-package"
