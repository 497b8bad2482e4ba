# Sourced by the tests of filepacker as it is installed (cmake --install, the
# packages), with $build set. Sets $work, a scratch folder removed at exit.
# The install writes its manifest into the build folder, where `make
# uninstall` reads it, so a packager's own install keeps its manifest.
work=$(mktemp -d)
kept_manifest="$build/install_manifest.txt"
[ -f "$kept_manifest" ] && cp -p "$kept_manifest" "$work/manifest.kept"
restore_manifest() {
  if [ -f "$work/manifest.kept" ]; then cp -p "$work/manifest.kept" "$kept_manifest"; else rm -f "$kept_manifest"; fi
  rm -rf "$work"
}
trap restore_manifest EXIT

# The installed program, through the caller's run() (from a folder of its
# own), says it carries the installer program, and with it makes an
# installer that it lists and tests. program_path turns a path into the
# program's view of it.
program_path() { echo "$1"; }
check_installed_program() {
  mkdir -p "$work/package"
  printf 'MZ not really a program' >"$work/package/Setup.exe"
  local kit
  kit=$(program_path "$work/kit.exe")
  run --version | tr -d '\r' | sed -n 2p | grep -q '^installer program: carried ([1-9][0-9]* bytes)$' ||
    fail "the program does not say it carries the installer program: $(run --version)"
  run installer -o "$kit" "$(program_path "$work/package")" >/dev/null || fail "installer failed"
  run list "$kit" | grep -q 'Setup\.exe' || fail "list does not show Setup.exe"
  run test "$kit" | grep -q '^OK: 1 entries' || fail "test did not pass"
}
