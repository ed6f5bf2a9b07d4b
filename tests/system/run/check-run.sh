#!/usr/bin/env bash
# Runs the run command as a user would and checks what it shows: the
# timeline in time order, the steps of the desktop each followed by what the
# monitor does about them, and a summary that agrees with the timeline.
#   check-run.sh scripted <x86_64|i686>   the scripted desktop, about 20 s
#   check-run.sh interactive <x86_64|i686> keys typed into a tmux pane
set -uo pipefail

mode=$1
arch=${2:-x86_64}
flag=
[ "$arch" = x86_64 ] || flag=--i686
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/check-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/view.txt
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Each pattern must appear, after the line the previous one matched.
expect_in_order() {
    local line=0 pattern found
    for pattern in "$@"; do
        found=$(tail -n +"$((line + 1))" "$out" | grep -n -m1 -F -- "$pattern" | cut -d: -f1)
        if [ -z "$found" ]; then
            fail "not shown (after line $line): $pattern"
            return
        fi
        line=$((line + found))
    done
}

summary_value() { sed -n "s/^  $1  *//p" "$out" | head -1; }

case $mode in
    scripted)
        RUN_STEP_MS=1500 timeout 240 "$repo/scripts/run.sh" $flag 22 >"$out" 2>&1 </dev/null
        status=$?
        [ "$status" -eq 0 ] || fail "run.sh exited with $status"
        expect_in_order \
            "desktop  log-on: Tavrel.exe @@@StartFirstly" \
            "status   media status process asked to close, ended" \
            'status   media status process started: "C:\windows//ehome//ehmsas.exe"' \
            "exit     logon instance exited with 0" \
            "driver   VuOpen(0, 0) -> handle 0x2A" \
            "monitor  running, process" \
            "desktop  TV Enhance window opens behind other windows" \
            "open (0x10001) sent as QESTransform 0x01200007 -> 0x0" \
            "desktop  TV Enhance comes to the front" \
            "foreground (0x10002) sent" \
            "desktop  TV Enhance goes full-screen" \
            "status lamp on, logo lamp on (word 0x3)" \
            "full-screen (0x10003) sent" \
            "desktop  TV Enhance is minimised" \
            "status lamp off, logo lamp off (word 0x0)" \
            "closed (0x10000) sent" \
            "desktop  chat client window opens" \
            "started  visualiser" \
            "desktop  Tavrel.exe @@@HaltAll" \
            "exit     halt instance exited with 0" \
            "exit     monitor instance exited with 0" \
            "summary"
        ;;
    interactive)
        command -v tmux >/dev/null || { echo "FAIL: tmux is missing"; exit 1; }
        session=check-run-$$
        tmux new-session -d -s "$session" -x 220 -y 50 \
            "$repo/scripts/run.sh $flag --interactive >'$out' 2>&1; echo done >'$work/ended'"
        # Until the key help is up and the monitor runs.
        for _ in $(seq 120); do
            grep -q "monitor  running" "$out" 2>/dev/null && break
            sleep 1
        done
        grep -q "^keys: o open" "$out" || fail "no key help line"
        for key in o f F p; do
            tmux send-keys -t "$session" "$key"
            sleep 2.5
        done
        sleep 2
        for key in P d D m h; do
            tmux send-keys -t "$session" "$key"
            sleep 2.5
        done
        for _ in $(seq 60); do
            [ -e "$work/ended" ] && break
            sleep 1
        done
        [ -e "$work/ended" ] || fail "the halt key did not end the run"
        tmux kill-session -t "$session" 2>/dev/null
        expect_in_order \
            "desktop  TV Enhance window opens behind other windows" \
            "open (0x10001) sent" \
            "desktop  TV Enhance goes full-screen" \
            "full-screen (0x10003) sent" \
            "desktop  system suspends (PBT_APMSUSPEND)" \
            "desktop  system resumes (PBT_APMRESUMEAUTOMATIC)" \
            "monitor  ticking again after" \
            "desktop  console disconnects (WTS_CONSOLE_DISCONNECT)" \
            "desktop  console connects (WTS_CONSOLE_CONNECT)" \
            "monitor  ticking again after" \
            "desktop  TV Enhance is minimised" \
            "closed (0x10000) sent" \
            "desktop  Tavrel.exe @@@HaltAll" \
            "summary"
        case $(summary_value "ticks seen") in
            *"2 pauses"*) ;;
            *) fail "the summary does not count the suspend and the disconnect as two pauses" ;;
        esac
        ;;
    *) echo "usage: check-run.sh scripted|interactive <x86_64|i686>"; exit 2 ;;
esac

# The timeline is in time order.
times=$(grep -E '^[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}  ' "$out" | cut -c1-12)
[ "$times" = "$(sort <<<"$times")" ] || fail "the timeline is not in time order"
# The summary agrees with the timeline.
shown_events=$(grep -c -E '^[0-9:.]+  event    .* sent as ' "$out")
[ "$(summary_value "events sent" | cut -d' ' -f1)" = "$shown_events" ] ||
    fail "events sent: summary '$(summary_value "events sent")', timeline $shown_events"
shown_writes=$(grep -E '^[0-9:.]+  driver   ' "$out" | grep -o 'write 0x' | wc -l)
[ "$(summary_value "lamp changes" | cut -d' ' -f1)" = "$shown_writes" ] ||
    fail "lamp changes: summary '$(summary_value "lamp changes")', timeline $shown_writes"
[ "$(summary_value "exit codes")" = "log-on 0, monitor 0, halt 0" ] ||
    fail "exit codes: '$(summary_value "exit codes")'"
[ "$(summary_value "status-process restarts" | cut -d' ' -f1)" = 1 ] ||
    fail "status-process restarts: '$(summary_value "status-process restarts")'"

if [ "$failures" -gt 0 ]; then
    echo "--- what the run command showed:"
    cat "$out"
    exit 1
fi
echo "the $mode run showed $(grep -c '' "$out") lines, in order, and a matching summary"
