# Turns the stand-ins' "key=value" record lines into one readable line per
# call, for the live view of scripts/run.sh. Lines that are not records
# (the scripted desktop's own) pass through unchanged.
function field(name,    i, kv) {
    for (i = 1; i <= NF; i++) {
        if (index($i, name "=") == 1) {
            kv = substr($i, length(name) + 2)
            gsub(/%20/, " ", kv)
            gsub(/%22/, "\"", kv)
            gsub(/%25/, "%", kv)
            return kv
        }
    }
    return ""
}
function hex_byte(text, offset,    digits) {
    digits = "0123456789abcdef"
    return (index(digits, substr(tolower(text), offset * 2 + 1, 1)) - 1) * 16 + \
           (index(digits, substr(tolower(text), offset * 2 + 2, 1)) - 1)
}
# A little-endian 32-bit word of the hex record bytes, as 0x%05X.
function hex_word(text, offset) {
    return sprintf("0x%05X", hex_byte(text, offset) + 256 * hex_byte(text, offset + 1) + \
                   65536 * hex_byte(text, offset + 2) + 16777216 * hex_byte(text, offset + 3))
}
function state_name(word) {
    if (word == "0x10000") return "closed"
    if (word == "0x10001") return "open"
    if (word == "0x10002") return "foreground"
    if (word == "0x10003") return "full-screen"
    return word
}
function code_name(code) {
    if (code == 125) return "read"
    if (code == 126) return "write"
    if (code == 136) return "presence"
    if (code == 137) return "capability"
    return "code " code
}
{
    stamp = strftime_or_blank()
    fn = field("fn")
    if (fn == "") {
        print
    } else if (fn == "VuCallDriverDWORD") {
        printf "%s  driver   %-10s word %s -> %s   lamp word %s -> %s   result %s\n", stamp,
            code_name(field("code")), field("word_in"), field("word_out"),
            field("lamp_before"), field("lamp_after"), field("result")
    } else if (fn == "VuOpen") {
        printf "%s  driver   VuOpen(%s, %s) -> handle %s\n", stamp, field("a1"), field("a2"), field("result")
    } else if (fn == "VuClose") {
        printf "%s  driver   VuClose(%s)\n", stamp, field("handle")
    } else if (fn == "Unloaded") {
        printf "%s  driver   library unloaded\n", stamp
    } else if (fn == "RegisterClient") {
        printf "%s  events   RegisterClient(\"%s\", 0x%X) -> 0x%X\n", stamp, field("client"),
            field("flags"), field("result")
    } else if (fn == "FireEvent") {
        bytes = field("bytes")
        count = hex_byte(bytes, 36)
        list = ""
        for (i = 0; i < count && i < 8; i++) {
            word = hex_word(bytes, 40 + 4 * i)
            list = list (i ? ", " : "") word " (" state_name(word) ")"
        }
        printf "%s  events   FireEvent(\"%s\", code 0x%08X) values [%s] -> 0x%X\n", stamp,
            field("event"), field("code"), list, field("result")
    } else if (fn == "Created" || fn == "Released") {
        # Object life is shown by the calls themselves.
    } else if (fn == "Start") {
        printf "%s  started  %s\n", stamp, field("cmdline")
    } else {
        printf "%s  %s\n", stamp, $0
    }
    fflush()
}
function strftime_or_blank(    cmd, now) {
    cmd = "date +%H:%M:%S"
    cmd | getline now
    close(cmd)
    return now
}
