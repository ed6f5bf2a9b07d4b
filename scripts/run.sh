#!/usr/bin/env bash
# Installs what is missing, builds both targets, prepares a Wine prefix with
# the stand-ins for the outside components, and runs Tavrel.exe @@@Start in
# it, showing live what the stand-ins see it do. Ends after the given number
# of seconds (default: on Ctrl-C) with Tavrel.exe @@@HaltAll and reports
# both exit codes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds=${1:-0}
ensure_packages
build_all
start_display
prepare_prefix

bin=$BUILD_ROOT/x86_64/bin
reg() { "$WINE_LOADER" reg "$@" >/dev/null 2>&1 </dev/null; }
win_path() { "$WINE_LOADER" winepath -w "$1" 2>/dev/null </dev/null; }

# Stand-in driver utility, installed where a notebook would have it.
install_dir="$WINEPREFIX/drive_c/Program Files/Velmora/Shared"
mkdir -p "$install_dir"
cp "$bin/fixtures/velutils/VelUtils.dll" "$install_dir/"
records="$install_dir/VelUtils.calls.log"
: >"$records"
reg delete 'HKCU\Software\TavrelStandIns' /f || true
reg add 'HKLM\Software\Velmora Corporation\Shared Info\Shared Dlls' /v VelUtils.dll /t REG_SZ \
    /d 'C:\Program Files\Velmora\Shared\VelUtils.dll' /f
# Both lamps follow full-screen playback; the notebook is at its home location.
reg add 'HKLM\SOFTWARE\VELMORA CORPORATION\Tavrel' /v dwStatusMode /t REG_DWORD /d 0 /f
reg add 'HKLM\SOFTWARE\VELMORA CORPORATION\Tavrel' /v dwLogoMode /t REG_DWORD /d 0 /f
reg add 'HKLM\software\Velmora Corporation\Shared Info' /v dwLocation /t REG_DWORD /d 4316 /f

log "starting Tavrel.exe @@@Start (display $DISPLAY); Ctrl-C ends it"
"$WINE_LOADER" "$bin/Tavrel.exe" @@@Start >"$BUILD_ROOT/run-monitor.log" 2>&1 </dev/null &
monitor=$!

# One awk per line: mawk, Debian's awk, reads a pipe in large blocks and
# would show nothing until its buffer fills.
show_records() {
    tail -n +1 -F "$1" 2>/dev/null | while IFS= read -r line; do
        printf '%s\n' "$line" | awk -f "$REPO_ROOT/scripts/format-records.awk"
    done
}
show_records "$records" &
viewer=$!

finish() {
    trap - INT TERM
    log "halting: Tavrel.exe @@@HaltAll"
    halt_code=0
    "$WINE_LOADER" "$bin/Tavrel.exe" @@@HaltAll >/dev/null 2>&1 </dev/null || halt_code=$?
    monitor_code=0
    wait "$monitor" || monitor_code=$?
    sleep 0.5
    pkill -P "$viewer" 2>/dev/null || true
    kill "$viewer" 2>/dev/null || true
    wait "$viewer" 2>/dev/null || true
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
