# Sourced by the installer and standard-user tests. A Wine prefix of the test's own, copied from
# the test run's prepared prefix (tools/run-tests.sh makes it and passes it as WINEPREFIX) rather
# than booted a second time; prepared here only when the test runs without one:
#   copy_test_prefix SOURCE_DIR SUITE_PREFIX DEST BINDIR
copy_test_prefix() {
  if [ -n "$2" ] && [ -f "$2/.kestrun-ready" ]; then
    # Without the link to the running server of the original: Debian's Wine finds a prefix's
    # server through it.
    cp -a "$2" "$3" && rm -f "$3/wineserver"
  else
    "$1/tools/prepare-wineprefix.sh" "$3" "$4"
  fi
}
