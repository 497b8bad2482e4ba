#!/usr/bin/env bash
# bench/web_bench.sh SOURCE_DIR WEB_BUILD_DIR CORPUS_FILE FILEPACKER DECODE_SPEED [STUB]
# The WebAssembly engine in Node (web_bench.mjs): built in WEB_BUILD_DIR with
# decode_speed.wasm, timed on the codec corpus beside DECODE_SPEED (the same
# loop built natively), and on the benchmark installer, made here as the
# installer step makes it; the module's answers for it are checked against
# the package it was made of.
set -eu
source_dir=$1
web_build=$2
corpus=$3
filepacker=$4
decode_speed=$5
stub=${6:-}

for tool in clang++-14 wasm-ld-14 node; do
  if ! command -v "$tool" >/dev/null; then
    echo "WebAssembly module: not measured: $tool is missing (run scripts/install-deps)"
    exit 0
  fi
done
cmake -S "$source_dir" -B "$web_build" -G Ninja \
  "-DCMAKE_TOOLCHAIN_FILE=$source_dir/cmake/toolchain-wasm32-wasi.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DKORMIT_WEB_BENCH=ON "-DKORMIT_EMBEDDED_STUB=$stub" >/dev/null
cmake --build "$web_build" >/dev/null
echo "WebAssembly module: $(stat -c %s "$web_build/filepacker.wasm") bytes"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$source_dir/bench/bench_package.sh" "$work/bench-package"
"$filepacker" installer --adaptive --allow-no-setup -o "$work/bench-package.exe" "$work/bench-package" >/dev/null
node --no-warnings "$source_dir/bench/web_bench.mjs" "$corpus" "$decode_speed" "$web_build" \
  "$work/bench-package.exe" "$work/bench-package" "$work/decode"
