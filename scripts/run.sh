#!/usr/bin/env bash
# Runs the system under Wine as a notebook would: installs what is missing,
# builds both targets, prepares a Wine prefix of its own with the stand-ins
# for the outside components, starts the monitor through the log-on mode
# (which restarts the media status process first) and lets a desktop play the
# user. Shows live, in the order it happened, what the desktop does and what
# the stand-ins see the monitor do; when the run ends (time up, Ctrl-C or the
# halt key) it halts every instance and prints a summary.
#
#   run.sh [--i686] [--interactive] [seconds]
#
# --i686         the 32-bit build that ships, with its 32-bit stand-ins
# --interactive  keys drive the desktop instead of the script (see the help
#                line it prints); the run ends with the halt key
# seconds        end after this long (default: the halt key or Ctrl-C)
#
# RUN_STEP_MS sets the time between two scripted steps (default 3000).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

arch=x86_64
interactive=0
seconds=0
for argument in "$@"; do
    case $argument in
        --i686) arch=i686 ;;
        --interactive) interactive=1 ;;
        *[!0-9]* | '') log "usage: run.sh [--i686] [--interactive] [seconds]"; exit 2 ;;
        *) seconds=$argument ;;
    esac
done
step_ms=${RUN_STEP_MS:-3000}

ensure_packages
[ "$arch" = x86_64 ] || ensure_i686_packages
build_all
# A prefix apart from the test legs', so a run never disturbs a test.
export WINEPREFIX=$BUILD_ROOT/wineprefix-run-$arch
[ "$arch" = x86_64 ] || export_lines "$(prepare_i686_runner)"
start_display
prepare_prefix

# The build being run: Tavrel.exe and the stand-ins around it. The desktop
# is a 64-bit program that starts and watches them from outside.
target=$BUILD_ROOT/$arch/bin
export TAVREL_TARGET_BIN=$target
desktop=$BUILD_ROOT/x86_64/bin/tests/RunDesktop.exe
run_dir=$BUILD_ROOT/run-$arch
mkdir -p "$run_dir"
desktop_log=$run_dir/desktop.log
sources=(
    "$desktop_log"
    "$target/fixtures/velutils/VelUtils.calls.log"
    "$target/fixtures/eventservice/EventService.calls.log"
    "$target/fixtures/mirelle/Mirelle.starts.log"
    "$WINEPREFIX/drive_c/windows/ehome/ehmsas.starts.log"
)
for file in "${sources[@]}"; do
    mkdir -p "$(dirname "$file")"
    : >"$file"
done

# The desktop reads its commands from a pipe that stays open for the run.
# It runs in a session of its own, so that Ctrl-C reaches only this script,
# which then halts the run in order.
commands=$run_dir/commands
rm -f "$commands"
mkfifo "$commands"
exec 7<>"$commands"
if [ "$interactive" = 1 ]; then
    setsid "$WINE_LOADER" "$desktop" --commands <"$commands" >"$desktop_log" 2>&1 &
else
    setsid "$WINE_LOADER" "$desktop" --script 0 "$step_ms" <"$commands" >"$desktop_log" 2>&1 &
fi
desktop_pid=$!

# The view: every source followed, merged by time. The ticker lets the view
# show what is old enough to be in order.
view_input=$run_dir/view
rm -f "$view_input"
mkfifo "$view_input"
awk -W interactive -f "$REPO_ROOT/scripts/timeline.awk" <"$view_input" &
view_pid=$!
exec 6>"$view_input"
tail -q -n +1 -F "${sources[@]}" >&6 2>/dev/null &
tail_pid=$!
( while sleep 0.2; do echo "@flush $(date +%s%6N)"; done ) >&6 &
ticker_pid=$!

log "running the $arch build (display $DISPLAY, prefix $WINEPREFIX)"
halt_run() {
    trap - INT TERM
    echo halt >&7
}
trap halt_run INT TERM

if [ "$interactive" = 1 ]; then
    echo "keys: o open  f front  F full-screen  m minimise  r restore  c close  s chat opens" \
         " S chat closes  p suspend  P resume  d disconnect  D connect  h halt"
    declare -A key_commands=(
        [o]=open [f]=front [F]=full [m]=minimise [r]=restore [c]=close [s]=chat-open
        [S]=chat-close [p]=suspend [P]=resume [d]=disconnect [D]=connect [h]=halt [q]=halt
    )
    deadline=$(( seconds > 0 ? $(date +%s) + seconds : 0 ))
    while kill -0 "$desktop_pid" 2>/dev/null; do
        key=
        status=0
        read -rsn1 -t 0.5 key || status=$?
        # The end of the input (not a time-out) halts the run as well.
        if [ "$status" -ne 0 ] && [ "$status" -le 128 ]; then
            key=h
        fi
        if [ -n "$key" ] && [ -n "${key_commands[$key]:-}" ]; then
            echo "${key_commands[$key]}" >&7
            [ "${key_commands[$key]}" != halt ] || break
        fi
        if [ "$deadline" -gt 0 ] && [ "$(date +%s)" -ge "$deadline" ]; then
            halt_run
            break
        fi
    done
elif [ "$seconds" -gt 0 ]; then
    sleep "$seconds" &
    wait $! || true
    halt_run
fi
# Until the desktop has halted the monitor and reported the exit codes.
while kill -0 "$desktop_pid" 2>/dev/null; do
    sleep 0.5 &
    wait $! || true
done
sleep 1
kill "$ticker_pid" "$tail_pid" 2>/dev/null || true
wait "$ticker_pid" "$tail_pid" 2>/dev/null || true
echo "@end" >&6
exec 6>&-
wait "$view_pid" || true
exec 7>&-
stop_prefix
stop_display
