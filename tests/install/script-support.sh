# Sourced by the installer and standard-user tests: their checks, Windows paths, and a Wine
# prefix of the test's own.

passes=0
failures=()
pass() { passes=$((passes + 1)); echo "PASS  $1"; }
fail() { failures+=("$1"); echo "FAIL  $1${2:+: $2}"; }
expect() {  # expect NAME ACTUAL WANTED
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "got '$2', want '$3'"; fi
}
# summary NAME [DETAIL]: the counts and every failed check; the status says whether all passed.
summary() {
  echo
  echo "$1: ${passes} passed, ${#failures[@]} failed${2:+ $2}"
  for f in "${failures[@]}"; do echo "  failed: $f"; done
  [ ${#failures[@]} -eq 0 ]
}

# A Unix path as Wine's drive Z: shows it.
winpath() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }

# A Wine prefix of the test's own: a copy of the snapshot tools/run-tests.sh takes of its
# prepared prefix before any test runs, or one prepared here when the test runs without it.
# Never a copy of the run's prefix itself: other tests change it while its server runs.
#   own_test_prefix SOURCE_DIR DEST BINDIR
own_test_prefix() {
  local template=${KESTRUN_TEMPLATE_WINEPREFIX:-}
  if [ -n "$template" ] && [ -f "$template/.kestrun-ready" ]; then
    # Without the link to the running server of the original: Debian's Wine finds a prefix's
    # server through it.
    cp -a "$template" "$2" && rm -f "$2/wineserver"
  else
    "$1/tools/prepare-wineprefix.sh" "$2" "$3"
  fi
}
