#!/usr/bin/env bash
# bench/installer_size.sh SOURCE_DIR BUILD_DIR
# Reports the size of the installer executable, without a payload and with
# the sample package, from a win32 build of its own in BUILD_DIR (the
# benchmarks themselves are a native build). Target: at most 24 KiB without
# the payload.
set -eu
source_dir=$1
build_dir=$2
cmake --preset win32 -S "$source_dir" -B "$build_dir" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build_dir" --target kormit_installer kormit_installer_bare >/dev/null
bare=$(stat -c %s "$build_dir/installer/Kormit_bare.exe")
full=$(stat -c %s "$build_dir/installer/Kormit_DaduD1e63.exe")
payload=$(stat -c %s "$build_dir/payload/sample-package.pak")
verdict=$([ "$bare" -le 24576 ] && echo "within" || echo "OVER")
printf 'installer Kormit_DaduD1e63.exe: %d bytes without payload (%s the 24576-byte target); %d bytes with the sample package (archive %d bytes)\n' \
  "$bare" "$verdict" "$full" "$payload"
