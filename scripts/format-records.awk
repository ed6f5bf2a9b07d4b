# Turns the stand-ins' "key=value" record lines into one readable line per
# call, for the live view of scripts/run.sh.
function field(name,    i, kv) {
    for (i = 1; i <= NF; i++) {
        if (index($i, name "=") == 1) {
            kv = substr($i, length(name) + 2)
            gsub(/%20/, " ", kv)
            gsub(/%25/, "%", kv)
            return kv
        }
    }
    return ""
}
function code_name(code) {
    if (code == 125) return "read"
    if (code == 126) return "write"
    if (code == 136) return "presence"
    if (code == 137) return "capability"
    return "code " code
}
{
    stamp = strftime("%H:%M:%S")
    fn = field("fn")
    if (fn == "VuCallDriverDWORD") {
        printf "%s  driver   %-10s word %s -> %s   lamp word %s -> %s   result %s\n", stamp,
            code_name(field("code")), field("word_in"), field("word_out"),
            field("lamp_before"), field("lamp_after"), field("result")
    } else if (fn == "VuOpen") {
        printf "%s  driver   VuOpen(%s, %s) -> handle %s\n", stamp, field("a1"), field("a2"), field("result")
    } else if (fn == "VuClose") {
        printf "%s  driver   VuClose(%s)\n", stamp, field("handle")
    } else if (fn == "Unloaded") {
        printf "%s  driver   library unloaded\n", stamp
    } else if (fn != "") {
        printf "%s  %s\n", stamp, $0
    }
    fflush()
}
