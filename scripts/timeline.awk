# The run command's live view: the record lines of every stand-in and of
# the desktop, merged in the order they happened and told in words, then a
# summary of the run.
#
# Input, in any order within the reordering delay:
#   record lines   "key=value ..." with src=<component> and at=<microseconds
#                  since 1970>, as the stand-ins and the desktop write them
#   @flush <now>   from the run command, several times a second: shows what
#                  happened more than the delay before <now> (microseconds)
#   @end           shows everything still held, then the summary
# Variable: delay, the reordering delay in microseconds (default 500000).
BEGIN {
    if (delay == "") delay = 500000
    pending = 0
    group = ""
    tick = 0
    started_at = ""
}

# ---- fields and words ------------------------------------------------------

function field(line, name,    n, parts, i, value) {
    n = split(line, parts, " ")
    for (i = 1; i <= n; i++) {
        if (index(parts[i], name "=") == 1) {
            value = substr(parts[i], length(name) + 2)
            gsub(/%20/, " ", value)
            gsub(/%22/, "\"", value)
            gsub(/%25/, "%", value)
            return value
        }
    }
    return ""
}
# Numeric fields must be numbers, not strings, to compare and test right.
function num(line, name) { return field(line, name) + 0 }
function clock(at,    seconds) {
    seconds = int(at / 1000000)
    return strftime("%H:%M:%S", seconds) sprintf(".%03d", int((at - seconds * 1000000) / 1000))
}
function hex(number) { return sprintf("0x%X", number) }
function hex_byte(text, offset,    digits) {
    digits = "0123456789abcdef"
    return (index(digits, substr(tolower(text), offset * 2 + 1, 1)) - 1) * 16 + \
           (index(digits, substr(tolower(text), offset * 2 + 2, 1)) - 1)
}
# A little-endian 32-bit word of the event record's hex bytes.
function record_word(text, offset) {
    return hex_byte(text, offset) + 256 * hex_byte(text, offset + 1) + \
           65536 * hex_byte(text, offset + 2) + 16777216 * hex_byte(text, offset + 3)
}
function state_name(word) {
    if (word == 65536) return "closed"
    if (word == 65537) return "open"
    if (word == 65538) return "foreground"
    if (word == 65539) return "full-screen"
    return hex(word)
}
function lamps(word) {
    return sprintf("status lamp %s, logo lamp %s (word %s)", (int(word / 2) % 2) ? "on" : "off",
                   (word % 2) ? "on" : "off", hex(word))
}
function exit_code(code) {
    if (code == 4294967295) return "-1 (0xFFFFFFFF)"
    return sprintf("%d", code)
}
function say(at, who, text) {
    printf "%s  %-9s%s\n", clock(at), who, text
    fflush()
}
# The desktop notices a tick a few milliseconds after the tick began, so what
# the tick did may be stamped before its tick line: a line belongs to a tick
# noticed within the following 150 ms.
function tick_label(    n) {
    n = upcoming_tick(showing_at)
    if (n == "") n = tick
    return n ? "tick " n : "start-up"
}
function upcoming_tick(at,    i, line) {
    for (i = 1; i <= pending; i++) {
        line = held_line[i]
        if (line != "" && held_at[i] > at && held_at[i] <= at + 150000 &&
            index(line, "src=desktop") && field(line, "fn") == "Tick") {
            return num(line, "n")
        }
    }
    return ""
}

# ---- driver calls of one tick, told as one line ------------------------------

function flush_group() {
    if (group == "") return
    if (group_wrote) group = group ": " lamps(group_word)
    say(group_at, "driver", group_label ": " group)
    group = ""
}
function driver_call(line, at,    code, result, text) {
    code = num(line, "code")
    result = num(line, "result")
    if (code == 125) text = result ? "read " hex(field(line, "word_out")) : "read failed"
    else if (code == 126) text = "write " hex(field(line, "word_in"))
    else if (code == 136) text = "presence " hex(field(line, "word_out"))
    else if (code == 137) text = "capability " field(line, "word_out")
    else text = "code " code
    if (group != "" && (group_label != tick_label() || at - group_last > 200000)) flush_group()
    if (group == "") {
        group_at = at
        group_label = tick_label()
        group_wrote = 0
        group = text
    } else {
        group = group ", " text
    }
    group_last = at
    if (code == 126) {
        group_wrote = 1
        group_word = num(line, "lamp_after")
        lamp_changes++
    }
}

# ---- one record, in words -----------------------------------------------------

function show(line,    at, src, fn, bytes, count, i, word, list, gap) {
    at = num(line, "at")
    showing_at = at
    src = field(line, "src")
    fn = field(line, "fn")
    if (src == "VelUtils" && fn == "VuCallDriverDWORD") {
        driver_call(line, at)
        return
    }
    if (src == "desktop" && fn == "Tick") {
        # Not shown itself: it numbers what the tick does.
        tick = num(line, "n")
        ticks++
        if (first_tick == "") first_tick = at
        if (last_tick != "" && at - last_tick > 1500000) {
            pauses++
            paused += at - last_tick
            flush_group()
            say(at, "monitor", sprintf("ticking again after %.1f s (tick %d)",
                                       (at - last_tick) / 1000000, tick))
        }
        last_tick = at
        return
    }
    flush_group()
    if (src == "desktop" && fn == "Step") {
        if (index(field(line, "text"), "log-on:") == 1) logon_seen = 1
        say(at, "desktop", field(line, "text") (num(line, "ok") == 1 ? "" : "  (failed)"))
    } else if (src == "desktop" && fn == "MonitorRunning") {
        say(at, "monitor", "running, process " field(line, "monitor_pid"))
    } else if (src == "desktop" && fn == "Exit") {
        if (num(line, "ended") == 1) {
            exits[field(line, "process")] = exit_code(num(line, "code"))
            say(at, "exit", field(line, "process") " instance exited with " \
                exit_code(num(line, "code")))
        } else {
            exits[field(line, "process")] = "still running"
            say(at, "exit", field(line, "process") " instance still running")
        }
    } else if (src == "VelUtils") {
        if (fn == "VuOpen") {
            say(at, "driver", sprintf("VuOpen(%s, %s) -> handle %s", field(line, "a1"),
                                      field(line, "a2"), hex(field(line, "result"))))
        } else if (fn == "VuClose") {
            say(at, "driver", "VuClose(" hex(field(line, "handle")) ")")
        } else if (fn == "Unloaded") {
            say(at, "driver", "library unloaded")
        } else if (fn == "ProcessEnded") {
            say(at, "driver", "library went with its process")
        }
    } else if (src == "EventService") {
        if (fn == "RegisterClient" && num(line, "result") != 0) {
            say(at, "event", sprintf("%s: registration refused (0x%X)", tick_label(),
                                     field(line, "result")))
        } else if (fn == "FireEvent") {
            bytes = field(line, "bytes")
            count = hex_byte(bytes, 36)
            list = ""
            for (i = 0; i < count && i < 8; i++) {
                word = record_word(bytes, 40 + 4 * i)
                list = list (i ? ", " : "") state_name(word) " (" hex(word) ")"
                sent[state_name(word)]++
            }
            events++
            say(at, "event", sprintf("%s: %s sent as %s 0x%08X -> 0x%X", tick_label(), list,
                                     field(line, "event"), field(line, "code"),
                                     field(line, "result")))
        }
    } else if (src == "Mirelle" && fn == "Start") {
        launches++
        say(at, "started", "visualiser " field(line, "cmdline"))
    } else if (src == "ehmsas" && fn == "Start") {
        if (logon_seen) restarts++
        say(at, "status", "media status process started: " field(line, "cmdline"))
    } else if (src == "ehmsas" && fn == "Close") {
        if (logon_seen) closes++
        say(at, "status", "media status process asked to close, " field(line, "action"))
    }
}

# ---- holding lines until their turn --------------------------------------------

function emit_until(limit,    i, j, n, order, held, kept) {
    n = 0
    for (i = 1; i <= pending; i++) {
        if (limit == "" || held_at[i] <= limit) order[++n] = i
    }
    # Insertion sort by time; ties keep their arrival order.
    for (i = 2; i <= n; i++) {
        held = order[i]
        for (j = i - 1; j >= 1 && held_at[order[j]] > held_at[held]; j--) order[j + 1] = order[j]
        order[j + 1] = held
    }
    for (i = 1; i <= n; i++) {
        show(held_line[order[i]])
        held_line[order[i]] = ""
    }
    kept = 0
    for (i = 1; i <= pending; i++) {
        if (held_line[i] != "") {
            kept++
            held_line[kept] = held_line[i]
            held_at[kept] = held_at[i]
        }
    }
    pending = kept
}

function summary(    states, names, i, text) {
    flush_group()
    print ""
    print "summary"
    text = ticks + 0
    if (ticks) text = text "   first " clock(first_tick) ", last " clock(last_tick)
    if (pauses) text = text sprintf("; %d pause%s, %.1f s in all", pauses, pauses > 1 ? "s" : "",
                                    paused / 1000000)
    printf "  %-25s%s\n", "ticks seen", text
    states = ""
    split("open foreground full-screen closed", names, " ")
    for (i = 1; i <= 4; i++) {
        if (sent[names[i]]) states = states (states ? ", " : "") names[i] " " sent[names[i]]
    }
    printf "  %-25s%s%s\n", "events sent", events + 0, states ? "   " states : ""
    printf "  %-25s%s\n", "lamp changes", lamp_changes + 0 "   writes of the lamp word"
    printf "  %-25s%s\n", "visualiser launches", launches + 0
    printf "  %-25s%s\n", "status-process restarts", restarts + 0 \
        "   asked to close " (closes + 0) ", started again " (restarts + 0)
    printf "  %-25slog-on %s, monitor %s, halt %s\n", "exit codes",
        ("logon" in exits) ? exits["logon"] : "-", ("monitor" in exits) ? exits["monitor"] : "-",
        ("halt" in exits) ? exits["halt"] : "-"
    fflush()
}

# The Windows programs end their lines with CR LF.
{ sub(/\r$/, "") }
$1 == "@flush" { emit_until($2 - delay); flush_group_if_old($2); next }
$1 == "@end" { emit_until(""); summary(); next }
index($0, "at=") == 0 { print; fflush(); next }
{
    pending++
    held_line[pending] = $0
    held_at[pending] = num($0, "at")
}

# A group of driver calls is shown once no further call can join it.
function flush_group_if_old(now) {
    if (group != "" && group_last < now - delay - 200000) flush_group()
}
