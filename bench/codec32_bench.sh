#!/usr/bin/env bash
# bench/codec32_bench.sh SOURCE_DIR WIN32_BUILD_DIR CORPUS_FILE
# The 32-bit codec benchmark (codec_bench32.cpp): built in the win32 build
# WIN32_BUILD_DIR (that of the installer step) and run under Wine on the
# blocks that the native codec benchmark wrote to CORPUS_FILE.
set -eu
source_dir=$1
build_dir=$2
corpus=$3

if ! why=$("$source_dir/scripts/wine-check" 2>&1); then
  echo "32-bit decode/inflate: not measured: $why"
  exit 0
fi
cmake --preset win32 -S "$source_dir" -B "$build_dir" -DBUILD_TESTING=OFF -DKORMIT_BENCH=ON >/dev/null
cmake --build "$build_dir" --target codec_bench32 >/dev/null
"$source_dir/scripts/wine-run" "$build_dir/bench-wine" "$build_dir/bench/codec_bench32.exe" "Z:$corpus"
