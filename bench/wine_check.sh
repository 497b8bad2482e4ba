# Sourced by the benchmark steps that run Windows programs: wine_runs tells
# whether Wine can run here at all (it needs a host that runs 32-bit x86
# programs), with the reason in wine_failure when not.
wine_runs() {
  local out
  if ! command -v wine >/dev/null; then
    wine_failure="wine is missing: run scripts/install-deps"
    return 1
  fi
  if ! out=$(wine --version 2>&1); then
    wine_failure="Wine does not run on this machine ($(echo "$out" | tail -1))"
    return 1
  fi
}
