#!/usr/bin/env bash
# pe_bench.sh FILEPACKER MANY_SECTIONS_IMAGE WORK
# `filepacker list` of the largest resource lookup an image can ask for
# (65,535 sections, 786,001 resource leaves): the payload's section is
# found for each leaf, which must not cost a scan of every section. Its
# listing and one extraction are checked against the payload's file once,
# after the timing.
set -euo pipefail
. "$(dirname "$0")/listing_check.sh"
filepacker=$1
generator=$2
work=$3
rm -rf "$work"
mkdir -p "$work/in"
echo "a small payload" >"$work/in/readme.txt"
"$filepacker" pack -o "$work/payload.pack" "$work/in" >/dev/null
"$generator" "$work/payload.pack" "$work/many-sections.exe"
size=$(stat -c %s "$work/many-sections.exe")
start=$(date +%s.%N)
"$filepacker" list "$work/many-sections.exe" >/dev/null || { echo "pe_bench: filepacker list failed" >&2; exit 1; }
end=$(date +%s.%N)
check_listing pe_bench "$filepacker" "$work/many-sections.exe" "$work/in"
# The listing holds the payload's sizes, not its bytes: those from one
# extraction.
mkdir "$work/out"
"$filepacker" extract "$work/many-sections.exe" "$work/out" >/dev/null 2>&1 || true
diff -rq "$work/in" "$work/out" >&2 || { echo "pe_bench: the image does not extract to the files of $work/in" >&2; exit 1; }
echo "pe: list of an image of 65,535 sections and 786,001 resources ($((size / 1000000)) MB):" \
     "$(awk "BEGIN { printf \"%.2f\", $end - $start }") s"
