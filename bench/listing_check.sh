# bench/listing_check.sh: sourced by the bench steps that time
# `filepacker list` or `test`, so that a fast answer is also a right one.
# check_listing STEP FILEPACKER ARCHIVE FOLDER: one untimed listing of
# ARCHIVE against the folder it was packed from: every file's name and size,
# and no entry more (names without spaces, as the steps make them). A
# difference ends the step with a message naming the archive and the files.
check_listing() {
  local step=$1 filepacker=$2 archive=$3 folder=$4 listed packed
  # The entry lines, the ones with a time: not the heading, the totals or a
  # note on the payload check.
  listed=$("$filepacker" list "$archive" 2>/dev/null |
           awk '/ [0-9]+-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9] / { print $1, $NF }' | LC_ALL=C sort)
  packed=$(find "$folder" -maxdepth 1 -type f -printf '%s %f\n' | LC_ALL=C sort)
  [ "$listed" = "$packed" ] && return 0
  echo "$step: filepacker list $archive does not give the files of $folder (< packed, > listed):" >&2
  diff <(echo "$packed") <(echo "$listed") | head -6 >&2
  exit 1
}
