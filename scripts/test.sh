#!/usr/bin/env bash
# Installs what is missing, builds both targets, prepares the Wine test bed
# and runs every test with ctest. Extra arguments go to ctest (e.g. -R Modes).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

started=$(date +%s)
ensure_packages
build_all
# The display first: Wine's desktop process, started with the prefix's
# services, binds to the display it finds then.
start_display
trap 'stop_prefix; stop_display' EXIT
prepare_prefix

log "running tests (display $DISPLAY, prefix $WINEPREFIX)"
status=0
ctest --test-dir "$BUILD_ROOT/x86_64" --output-on-failure --timeout 300 "$@" \
    >"$BUILD_ROOT/ctest.log" 2>&1 </dev/null || status=$?
# ctest's summary, with the failed tests named (their output is in the log).
sed -n '/% tests passed/,$p' "$BUILD_ROOT/ctest.log"
# Processes a test left running, which the test runner had to end (see
# scripts/wine-run.sh.in); they do not fail a test, but are named here.
leftovers=$(grep -h '^wine-run: ended' "$BUILD_ROOT/x86_64/Testing/Temporary/LastTest.log" \
    2>/dev/null || true)
if [ -n "$leftovers" ]; then
    log "processes left behind by tests, ended by the runner:"
    printf '%s\n' "$leftovers"
fi
log "full log: $BUILD_ROOT/ctest.log; took $(( $(date +%s) - started )) s"
exit $status
