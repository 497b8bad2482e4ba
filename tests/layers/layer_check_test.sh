#!/usr/bin/env bash
# layer_check_test.sh LAYER_CHECK LAYER_PICTURE: the layer check on small
# trees, each a file that includes one header: a header of a lower layer, of
# its own folder, or found beside it passes; one from its own level or above
# fails, naming the file and line. Then the picture: its check fails until
# it is drawn, and again once an include between folders is added.
set -u
check=$1
picture=$2
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
status=0
# file, the header it includes, the check's expected exit code
while read -r file header expected; do
  rm -rf "$tree"/*
  mkdir -p "$tree/$(dirname "$file")"
  printf '#pragma once\n\n#include "%s"\n' "$header" >"$tree/$file"
  output=$("$check" "$tree" 2>&1)
  actual=$?
  if [ "$actual" != "$expected" ]; then
    echo "FAIL: $file including \"$header\": exit $actual, expected $expected: $output"
    status=1
  elif [ "$expected" = 1 ] && ! grep -q "^$file:3: " <<<"$output"; then
    echo "FAIL: $file including \"$header\" is refused without naming the line: $output"
    status=1
  fi
done <<'CASES'
archive/reader.h base/little_endian.h 0
archive/reader.h archive/archive_format.h 0
archive/reader.h progress_target.h 0
archive/platform/posix/files.cpp archive/pack_reader.h 0
tools/filepacker/main.cpp inspect/archive_walk.h 0
tools/web/engine.cpp engine/requests.h 0
engine/requests.cpp inspect/archive_walk.h 0
installer/main.cpp ui/progress_dialog.h 0
tests/archive/test.cpp packer/archive_writer.h 0
archive/reader.h gtest/gtest.h 0
base/little_endian.h archive/archive_format.h 1
archive/reader.h packer/archive_writer.h 1
archive/reader.h pe/pe_image.h 1
pe/pe_image.cpp archive/crc32.h 1
packer/pack_files.h inspect/install_folder_files.h 1
inspect/archive_walk.cpp packer/pack_files.h 1
inspect/archive_walk.cpp tools/filepacker/host_system.h 1
engine/make_installer.cpp tools/filepacker/commands.h 1
packer/archive_writer.cpp engine/requests.h 1
ui/progress_dialog.cpp installer/globals.h 1
archive/platform/win32/files.cpp tests/common/test_files.h 1
CASES

rm -rf "$tree"/*
mkdir -p "$tree/archive" "$tree/packer"
echo '#include "base/little_endian.h"' >"$tree/archive/reader.h"
expect_picture() {  # expected exit code of the picture's check, what changed
  "$picture" --check "$tree" 2>/dev/null
  local actual=$?
  if [ "$actual" != "$1" ]; then echo "FAIL: picture check $2: exit $actual, expected $1"; status=1; fi
}
expect_picture 1 "with no picture drawn"
"$picture" "$tree"
grep -q '^  archive --> base$' "$tree/docs/layers.md" || { echo "FAIL: the picture has no arrow archive --> base"; status=1; }
expect_picture 0 "just drawn"
echo '#include "archive/reader.h"' >"$tree/packer/writer.h"
expect_picture 1 "after packer/ came to include archive/"
exit $status
