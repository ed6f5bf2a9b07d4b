#!/usr/bin/env bash
# Installs what is missing, builds both targets, prepares a Wine prefix with
# the stand-ins for the outside components, and runs Tavrel.exe @@@Start in
# it while a scripted desktop opens, raises, maximises, minimises and closes
# the tracked TV application and opens the chat client. Shows live what the
# stand-ins see the monitor do: driver calls and the lamp word, events sent
# to the event service, programs started. Ends after the given number of
# seconds (default: on Ctrl-C) with Tavrel.exe @@@HaltAll and reports both
# exit codes.
#
#   run.sh [--i686] [seconds]
#
# --i686 runs the 32-bit build that ships (with the 32-bit stand-ins that
# load into it) instead of the 64-bit one.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

arch=x86_64
if [ "${1:-}" = --i686 ]; then
    arch=i686
    shift
fi
seconds=${1:-0}
ensure_packages
[ "$arch" = x86_64 ] || ensure_i686_packages
build_all
export WINEPREFIX
WINEPREFIX=$(leg_prefix "$arch")
if [ "$arch" = i686 ]; then
    while IFS= read -r line; do
        [ -z "$line" ] || export "${line?}"
    done < <(prepare_i686_runner)
fi
start_display
prepare_prefix

# The monitor and the libraries it loads come from the build being run; the
# stand-in programs and the scripted desktop from the 64-bit build.
target=$BUILD_ROOT/$arch/bin
bin=$BUILD_ROOT/x86_64/bin
# A 32-bit program reads HKLM\Software (and the class registrations under
# it) through WOW6432Node; the settings go where it reads them.
if [ "$arch" = i686 ]; then
    software='HKLM\Software\Wow6432Node'
    classes='HKLM\Software\Classes\Wow6432Node'
else
    software='HKLM\Software'
    classes='HKLM\Software\Classes'
fi
reg() { "$WINE_LOADER" reg "$@" >/dev/null 2>&1 </dev/null; }
# Wine maps the Linux root to drive Z:.
win_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# Stand-in driver utility, installed where a notebook would have it.
install_dir="$WINEPREFIX/drive_c/Program Files/Velmora/Shared"
mkdir -p "$install_dir"
cp "$target/fixtures/velutils/VelUtils.dll" "$install_dir/"
records="$install_dir/VelUtils.calls.log"
: >"$records"
reg delete 'HKCU\Software\TavrelStandIns' /f || true
reg add "$software\Velmora Corporation\Shared Info\Shared Dlls" /v VelUtils.dll /t REG_SZ \
    /d 'C:\Program Files\Velmora\Shared\VelUtils.dll' /f
# Both lamps follow full-screen playback; the notebook is at its home location.
reg add "$software\VELMORA CORPORATION\Tavrel" /v dwStatusMode /t REG_DWORD /d 0 /f
reg add "$software\VELMORA CORPORATION\Tavrel" /v dwLogoMode /t REG_DWORD /d 0 /f
reg add "$software\Velmora Corporation\Shared Info" /v dwLocation /t REG_DWORD /d 4316 /f

# Stand-in event service, an in-process COM server.
service_dll="$target/fixtures/eventservice/QesEventService.dll"
service_records="$target/fixtures/eventservice/EventService.calls.log"
: >"$service_records"
clsid="$classes\CLSID\{301AB3CF-48BA-4234-9D63-3378BE356C6C}\InprocServer32"
reg add "$clsid" /ve /t REG_SZ /d "$(win_path "$service_dll")" /f
reg add "$clsid" /v ThreadingModel /t REG_SZ /d Both /f

# Stand-in visualiser, started when the chat client's window appears.
visualiser="$bin/fixtures/mirelle/Mirelle.exe"
visualiser_records="$bin/fixtures/mirelle/Mirelle.starts.log"
: >"$visualiser_records"
reg add "$software\Velmora Corporation\QUORB Mirelle" /v AppPath /t REG_SZ \
    /d "$(win_path "$visualiser")" /f

log "starting the $arch Tavrel.exe @@@Start (display $DISPLAY); Ctrl-C ends it"
"$WINE_LOADER" "$target/Tavrel.exe" @@@Start >"$BUILD_ROOT/run-monitor.log" 2>&1 </dev/null &
monitor=$!

# One awk per line: mawk, Debian's awk, reads a pipe in large blocks and
# would show nothing until its buffer fills.
show_records() {
    tail -n +1 -F "$1" 2>/dev/null | while IFS= read -r line; do
        printf '%s\n' "$line" | awk -f "$REPO_ROOT/scripts/format-records.awk"
    done
}
scenario_log="$BUILD_ROOT/run-desktop.log"
: >"$scenario_log"
show_all() {
    show_records "$records" &
    show_records "$service_records" &
    show_records "$visualiser_records" &
    show_records "$scenario_log" &
    wait
}
show_all 2>/dev/null &
viewer=$!

sleep 2
"$WINE_LOADER" "$bin/tests/DesktopScenario.exe" 0 3000 >"$scenario_log" 2>&1 </dev/null &
scenario=$!

# Ends a process this script started and every process below it.
stop_tree() {
    local child
    for child in $(pgrep -P "$1" 2>/dev/null); do
        stop_tree "$child"
    done
    kill "$1" 2>/dev/null || true
}

finish() {
    trap - INT TERM
    kill "$scenario" 2>/dev/null || true
    wait "$scenario" 2>/dev/null || true
    log "halting: Tavrel.exe @@@HaltAll"
    halt_code=0
    "$WINE_LOADER" "$target/Tavrel.exe" @@@HaltAll >/dev/null 2>&1 </dev/null || halt_code=$?
    monitor_code=0
    wait "$monitor" || monitor_code=$?
    sleep 0.5
    stop_tree "$viewer"
    stop_prefix
    stop_display
    # Exit codes arrive through the Wine loader modulo 256: -1 shows as 255.
    log "exit codes: monitor $monitor_code, halt $halt_code"
    exit 0
}
trap finish INT TERM

if [ "$seconds" -gt 0 ]; then
    sleep "$seconds" &
    wait $! || true
else
    while kill -0 "$monitor" 2>/dev/null; do
        sleep 1 &
        wait $! || true
    done
fi
finish
