#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test in two
# legs at the same time, each in its own Wine prefix and on its own display:
#
#   x86_64  the 64-bit build, everything natively;
#   i686    the 32-bit build that ships: its own test programs for what they
#           test in-process, and the x86_64 system-test drivers run against
#           its Tavrel.exe and the stand-ins that load into it.
#
#   test.sh [--leg x86_64|i686] [ctest arguments]
#
# Extra arguments go to each leg's ctest (e.g. -R ModesTest).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

choose_legs "$@"
shift "$leg_options"

started=$(date +%s)
ensure_packages
[[ " ${legs[*]} " != *" i686 "* ]] || ensure_i686_packages
build_all
i686_environment=
[[ " ${legs[*]} " != *" i686 "* ]] || i686_environment=$(prepare_i686_runner)

# One leg: its display first (Wine's desktop process, started with the
# prefix's services, binds to the display it finds then), its prefix, then
# ctest over its build tree. Prints the leg's summary.
run_leg() {
    local leg=$1
    shift
    local began
    began=$(date +%s)
    export WINEPREFIX
    WINEPREFIX=$(leg_prefix "$leg")
    [ "$leg" != i686 ] || export_lines "$i686_environment"
    start_display
    trap 'stop_prefix; stop_display' EXIT
    prepare_prefix

    local tree=$BUILD_ROOT/$leg log=$BUILD_ROOT/ctest-$leg.log status=0
    ctest --test-dir "$tree" --output-on-failure --timeout 300 "$@" >"$log" 2>&1 </dev/null ||
        status=$?
    echo "== $leg leg ($([ "$leg" = i686 ] && echo "32-bit code $I686_RUNNER, " || true)display $DISPLAY, prefix $WINEPREFIX)"
    # ctest's summary, with the failed tests named (their output is in the log).
    sed -n '/% tests passed/,$p' "$log"
    grep -q '% tests passed' "$log" || tail -20 "$log"
    # Processes a test left running, which the test runner had to end (see
    # scripts/wine-run.sh.in); they do not fail a test, but are named here.
    local leftovers
    leftovers=$(grep -h '^wine-run: ended' "$tree/Testing/Temporary/LastTest.log" 2>/dev/null || true)
    if [ -n "$leftovers" ]; then
        echo "processes left behind by tests, ended by the runner:"
        printf '%s\n' "$leftovers"
    fi
    # Under emulation a 32-bit process can crash in qemu itself (see the
    # README, "Running the 32-bit build"); qemu says so in the output.
    if [ "$leg" = i686 ] && [ "$I686_RUNNER" = emulated ]; then
        local crashed
        crashed=$(awk '/Test +#[0-9]+: / { test = $4 }
                       /^qemu: uncaught target signal/ && test != "" { print "  " test ": " $0; test = "" }' "$log")
        if [ -n "$crashed" ]; then
            echo "crashed in the emulator itself (qemu's known fault, see the README):"
            printf '%s\n' "$crashed"
        fi
    fi
    echo "full log: $log; the leg took $(( $(date +%s) - began )) s"
    return $status
}

log "running the ${legs[*]} leg(s)"
declare -A pids
for leg in "${legs[@]}"; do
    ( run_leg "$leg" "$@" ) >"$BUILD_ROOT/leg-$leg.txt" 2>&1 &
    pids[$leg]=$!
done
status=0
for leg in "${legs[@]}"; do
    wait "${pids[$leg]}" || status=1
done
for leg in "${legs[@]}"; do
    echo
    cat "$BUILD_ROOT/leg-$leg.txt"
done
echo
log "took $(( $(date +%s) - started )) s in all"
exit $status
