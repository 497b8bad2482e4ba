# Sourced by the tests that install the build (cmake --install, cpack): the
# install writes its manifest into the build folder, where `make uninstall`
# reads it, so a packager's own install keeps its manifest. Sets $work, a
# scratch folder removed at exit.
work=$(mktemp -d)
kept_manifest="$build/install_manifest.txt"
[ -f "$kept_manifest" ] && cp -p "$kept_manifest" "$work/manifest.kept"
restore_manifest() {
  if [ -f "$work/manifest.kept" ]; then cp -p "$work/manifest.kept" "$kept_manifest"; else rm -f "$kept_manifest"; fi
  rm -rf "$work"
}
trap restore_manifest EXIT
