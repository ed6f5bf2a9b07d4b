#!/usr/bin/env bash
# The optional third command: benchmark, soak and start/halt storm of the
# real Tavrel.exe in the Wine test bed, with the stand-ins for the outside
# components and a desktop of watched and unwatched windows, on each leg:
# x86_64 (the 64-bit build) and i686 (the 32-bit build that ships), one
# after the other, so that neither disturbs the other's measurement.
#
#   bench/run.sh [--leg x86_64|i686] [bench|soak|storm|all] [driver options]
#
#   bench  about 8 minutes a leg: the calls of a steady tick traced from the
#          monitor (and checked against a traced replay of them), then CPU
#          per tick of the monitor, the replay of those calls and a baseline
#          timer program side by side, memory of the monitor beside the
#          baseline's, change-to-event latency, registry opens (from a run
#          under Wine's registry trace), driver calls and COM objects per tick
#   soak   about 11 minutes: 600+ ticks under a changing desktop; resource
#          counts after the first 10 ticks and at the end must be equal
#   storm  about 3 minutes: 200 rounds of log-on mode, monitor mode and
#          @@@HaltAll; no process left behind, never two monitors at once
#
# Driver options (e.g. --ticks 60 --changes 20 --rounds 20) go to every
# phase, for short runs while developing; the soak never runs fewer than 600
# ticks. Installs what is missing and builds like the other two commands
# (BUILD_ROOT honoured). Prints each phase's table; the figures go to
# $BUILD_ROOT/bench/<leg>/results.json, the pictures (PNG, made with
# gnuplot from the .dat files beside it) next to it. Exits non-zero when a
# target or check of a phase that ran failed on either leg.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

choose_legs "$@"
shift "$leg_options"
what=${1:-all}
[ $# -eq 0 ] || shift
case "$what" in
    bench) phases=(registry calls bench) ;;
    soak) phases=(soak) ;;
    storm) phases=(storm) ;;
    all) phases=(registry calls bench soak storm) ;;
    *) echo "usage: $0 [--leg x86_64|i686] [bench|soak|storm|all] [driver options]" >&2; exit 2 ;;
esac
driver_options=("$@")

ensure_packages
# The pictures are the bench's alone: gnuplot without X11 (PNG by cairo).
if ! command -v gnuplot >/dev/null; then
    log "installing: gnuplot-nox"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends gnuplot-nox >/dev/null
fi
[[ " ${legs[*]} " != *" i686 "* ]] || ensure_i686_packages
build_all
i686_environment=
[[ " ${legs[*]} " != *" i686 "* ]] || i686_environment=$(prepare_i686_runner)

# Both legs use the 64-bit driver; on the i686 leg it drives the 32-bit
# build (TAVREL_TARGET_BIN), whose bench folder holds the 32-bit replay and
# baseline programs.
driver=$BUILD_ROOT/x86_64/bin/bench/BenchDriver.exe
# Wine maps the Linux root to drive Z:.
win_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# Runs one phase of the driver in the background, with its output in a file
# (a Wine program's output must never go into a pipe: Wine's services
# inherit it and it would never close) that is shown while it grows. The
# phase's standard error is a file too: the traces of the registry and calls
# phases go there.
run_phase() {
    local out=$1 phase=$2
    shift 2
    local text=$out/$phase.txt
    : >"$text"
    log "phase $phase"
    "$WINE_LOADER" "$driver" "$phase" --json "$(win_path "$out/$phase.json")" "$@" \
        "${driver_options[@]}" >"$text" 2>"$out/$phase.stderr" </dev/null &
    local pid=$!
    tail -n +1 -f --pid="$pid" "$text" &
    local viewer=$!
    local status=0
    wait "$pid" || status=$?
    wait "$viewer" 2>/dev/null || true
    return $status
}

# One leg: its prefix and display, the phases, one results.json, pictures.
run_leg() {
    local leg=$1
    export WINEPREFIX
    WINEPREFIX=$(leg_prefix "$leg")
    if [ "$leg" = i686 ]; then
        local line
        while IFS= read -r line; do
            [ -z "$line" ] || export "${line?}"
        done <<<"$i686_environment"
        export TAVREL_TARGET_BIN=$BUILD_ROOT/i686/bin
    fi
    start_display
    trap 'stop_prefix; stop_display' EXIT
    prepare_prefix

    local out=$BUILD_ROOT/bench/$leg
    mkdir -p "$out"
    rm -f "$out"/*.json "$out"/*.dat "$out"/*.png
    local failed=() ran=() phase status
    local figures calls
    figures=$(win_path "$out/registry-figures.txt")
    calls=$(win_path "$out/tick-calls.txt")
    for phase in "${phases[@]}"; do
        status=0
        case "$phase" in
            registry)
                # Every key open of every process it starts shows up in its
                # stderr, headed by the process id; the driver counts the
                # monitor's own.
                rm -f "$out/registry-figures.txt"
                WINEDEBUG=+pid,trace+reg run_phase "$out" registry --registry-figures "$figures" \
                    --trace "$(win_path "$out/registry.stderr")" || status=$?
                ;;
            calls)
                # The driver sets the relay trace for the monitor and the
                # replay alone.
                rm -f "$out/tick-calls.txt"
                run_phase "$out" calls --registry-figures "$figures" --tick-calls "$calls" \
                    --trace "$(win_path "$out/calls.stderr")" || status=$?
                ;;
            bench)
                run_phase "$out" bench --registry-figures "$figures" --tick-calls "$calls" ||
                    status=$?
                ;;
            *)
                run_phase "$out" "$phase" || status=$?
                ;;
        esac
        [ -s "$out/$phase.json" ] && ran+=("$phase")
        [ "$status" -eq 0 ] || failed+=("$phase")
    done
    # The traces are large (the relay trace of a monitor's start is tens of
    # MiB) and only the phases read them.
    rm -f "$out/registry.stderr" "$out/calls.stderr"

    # One document with the JSON object of each phase that ran now.
    {
        printf '{\n  "leg": "%s"' "$leg"
        for phase in "${ran[@]}"; do
            printf ',\n  "%s": %s' "$phase" "$(sed '2,$s/^/  /' "$out/$phase.json")"
        done
        printf '\n}\n'
    } >"$out/results.json"
    log "$leg: figures in $out/results.json"
    gnuplot -e "folder='$out'; leg='$leg'" "$REPO_ROOT/bench/plots.gp" 2>"$out/plots.log" ||
        log "$leg: gnuplot failed (see $out/plots.log)"
    local picture
    for picture in "$out"/*.png; do
        [ -e "$picture" ] && log "$leg: picture $picture"
    done

    if [ ${#failed[@]} -gt 0 ]; then
        log "$leg: failed: ${failed[*]} (see $out/<phase>.txt)"
        return 1
    fi
    log "$leg: all phases passed: ${phases[*]}"
}

status=0
for leg in "${legs[@]}"; do
    ( run_leg "$leg" ) || status=1
done
exit $status
