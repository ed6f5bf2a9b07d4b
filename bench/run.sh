#!/usr/bin/env bash
# The optional third command: benchmark, soak and start/halt storm of the
# real Tavrel.exe in the Wine test bed, with the stand-ins for the outside
# components and a desktop of watched and unwatched windows.
#
#   bench/run.sh [bench|soak|storm|all]      (default: all)
#
#   bench  about 7 minutes: CPU per tick against a baseline timer program,
#          memory, change-to-event latency, registry opens (from a separate
#          run under Wine's registry trace), driver calls and COM objects
#          per tick
#   soak   about 11 minutes: 600+ ticks under a changing desktop; resource
#          counts after the first 10 ticks and at the end must be equal
#   storm  about 3 minutes: 200 rounds of log-on mode, monitor mode and
#          @@@HaltAll; no process left behind, never two monitors at once
#
# Installs what is missing and builds like the other two commands
# (BUILD_ROOT honoured). Prints each phase's table; the figures also go to
# $BUILD_ROOT/bench/results.json. Exits non-zero when a target or check of
# a phase that ran failed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

what=${1:-all}
case "$what" in
    bench) phases=(registry bench) ;;
    soak) phases=(soak) ;;
    storm) phases=(storm) ;;
    all) phases=(registry bench soak storm) ;;
    *) echo "usage: $0 [bench|soak|storm|all]" >&2; exit 2 ;;
esac

ensure_packages
build_all
start_display
trap 'stop_prefix; stop_display' EXIT
prepare_prefix

out=$BUILD_ROOT/bench
mkdir -p "$out"
driver=$BUILD_ROOT/x86_64/bin/bench/BenchDriver.exe
# Wine maps the Linux root to drive Z:.
win_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# Runs one phase of the driver in the background, with its output in a file
# (a Wine program's output must never go into a pipe: Wine's services
# inherit it and it would never close) that is shown while it grows.
run_phase() {
    local phase=$1
    shift
    local text=$out/$phase.txt
    : >"$text"
    log "phase $phase"
    "$WINE_LOADER" "$driver" "$phase" --json "$(win_path "$out/$phase.json")" "$@" \
        >"$text" 2>"$out/$phase.stderr" </dev/null &
    local pid=$!
    tail -n +1 -f --pid="$pid" "$text" &
    local viewer=$!
    local status=0
    wait "$pid" || status=$?
    wait "$viewer" 2>/dev/null || true
    return $status
}

failed=()
ran=()
rm -f "$out"/*.json
for phase in "${phases[@]}"; do
    status=0
    case "$phase" in
        registry)
            # Every key open of every process it starts shows up in its
            # stderr, headed by the process id; the driver counts the
            # monitor's own.
            rm -f "$out/registry-figures.txt"
            WINEDEBUG=+pid,trace+reg run_phase registry \
                --registry-figures "$(win_path "$out/registry-figures.txt")" \
                --trace "$(win_path "$out/registry.stderr")" || status=$?
            ;;
        bench)
            run_phase bench --registry-figures "$(win_path "$out/registry-figures.txt")" ||
                status=$?
            ;;
        *)
            run_phase "$phase" || status=$?
            ;;
    esac
    [ -s "$out/$phase.json" ] && ran+=("$phase")
    [ "$status" -eq 0 ] || failed+=("$phase")
done

# One document with the JSON object of each phase that ran now.
{
    printf '{'
    sep=
    for phase in "${ran[@]}"; do
        printf '%s\n  "%s": %s' "$sep" "$phase" "$(sed '2,$s/^/  /' "$out/$phase.json")"
        sep=,
    done
    printf '\n}\n'
} >"$out/results.json"
log "figures: $out/results.json"

if [ ${#failed[@]} -gt 0 ]; then
    log "failed: ${failed[*]} (see $out/<phase>.txt)"
    exit 1
fi
log "all phases passed: ${phases[*]}"
