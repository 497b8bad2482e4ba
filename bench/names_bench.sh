#!/usr/bin/env bash
# bench/names_bench.sh FILEPACKER WORK_DIR [COUNT]
# Many names: pack, test and list of an archive of COUNT (160,000) empty
# files and one of a byte, whose every name is checked against every earlier
# one for a clash. Target: test and list under 2 seconds of CPU time (user
# and system; elapsed time beside it). pack, which opens every file, is
# shown without one. The listing is checked against the files once, after
# the timing.
set -eu
. "$(dirname "$0")/listing_check.sh"
filepacker=$1
work=$2
count=${3:-160000}

rm -rf "$work"
mkdir -p "$work/package"
(cd "$work/package" && seq -f 'file%06g.dat' 1 "$count" | xargs touch && printf x >Setup.exe)

echo "names: $count empty files and one of a byte (seconds)"
TIMEFORMAT='%R %U %S'
for step in pack test list; do
  case $step in
    pack) set -- pack -o "$work/names.pak" "$work/package" ;;
    test) set -- test "$work/names.pak" ;;
    *) set -- list "$work/names.pak" ;;
  esac
  times=$({ time "$filepacker" "$@" >/dev/null; } 2>&1) || { echo "names_bench: filepacker $*: $times" >&2; exit 1; }
  echo "$times" | awk -v step="$step" '{ cpu = $2 + $3
    verdict = step == "pack" ? "" : sprintf(" (target: CPU < 2: %s)", cpu < 2 ? "met" : "NOT met")
    printf "  %-5s %7.2f elapsed, %6.2f CPU%s\n", step, $1, cpu, verdict }'
done
check_listing names_bench "$filepacker" "$work/names.pak" "$work/package"
printf '  archive %d bytes\n' "$(stat -c %s "$work/names.pak")"
rm -rf "$work"
