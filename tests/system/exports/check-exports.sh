#!/usr/bin/env bash
# Checks Brisolt.dll's export table against the expected list: exactly these
# names at exactly these ordinals and nothing else, each decorated name
# decoding to the declaration programs of the platform are built against,
# and on i686 the calling conventions seen in the code at each export (how
# it returns: "ret $0x4" when the callee removes four bytes of arguments;
# whether it reads the object from ECX).
#   check-exports.sh <i686|x86_64> <Brisolt.dll> <expected list>
set -uo pipefail

arch=$1
dll=$2
expected=$3
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if [ ! -f "$dll" ]; then
    echo "FAIL: $dll not found (is the $arch build done?)"
    exit 1
fi

# "ordinal|name|rva" per export, in table order.
table=$(llvm-readobj --coff-exports "$dll" | awk '
    /^Export \{/ { ordinal = ""; name = ""; rva = "" }
    /^  Ordinal:/ { ordinal = $2 }
    /^  Name:/ { name = $2 }
    /^  RVA:/ { rva = $2 }
    /^\}/ { print ordinal "|" name "|" rva }')
echo "export table of $dll:"
printf '%s\n' "$table" | sed 's/^/  /'

want=$(grep -v '^#' "$expected" | cut -d'|' -f1,2)
have=$(printf '%s\n' "$table" | cut -d'|' -f1,2)
if [ "$want" != "$have" ]; then
    fail "export table differs from $expected"
    diff <(printf '%s\n' "$want") <(printf '%s\n' "$have")
fi

if [ "$arch" = i686 ]; then
    image_base=$(i686-w64-mingw32-objdump -p "$dll" | awk '$1 == "ImageBase" { print $2 }')
fi

# The instructions from an export's address up to its first return.
instructions_to_return() {
    local start=$(( 0x$image_base + $1 ))
    i686-w64-mingw32-objdump -d --no-show-raw-insn \
        --start-address=$start --stop-address=$((start + 0x1000)) "$dll" |
        awk -F'\t' 'NF >= 2 && $1 ~ /:$/ { print $2; if ($2 ~ /^ret/) exit }'
}

while IFS='|' read -r ordinal name declaration returns object; do
    case $ordinal in '#'*|'') continue ;; esac
    if [ "$declaration" != "-" ]; then
        decoded=$(llvm-undname "$name" | sed -n 2p)
        echo "  $name = $decoded"
        [ "$decoded" = "$declaration" ] ||
            fail "$name decodes to '$decoded', expected '$declaration'"
    fi
    if [ "$arch" = i686 ]; then
        rva=$(printf '%s\n' "$table" | awk -F'|' -v n="$name" '$2 == n { print $3 }')
        [ -n "$rva" ] || continue
        code=$(instructions_to_return "$rva")
        last=$(printf '%s\n' "$code" | tail -n 1 | sed 's/[[:space:]]*$//; s/[[:space:]]\+/ /g')
        echo "  $name returns with '$last'"
        [ "$last" = "$returns" ] ||
            fail "$name returns with '$last', expected '$returns'"
        if [ "$object" = ecx ] && ! printf '%s\n' "$code" | grep -q '%ecx'; then
            fail "$name does not take the object from ECX"
        fi
    fi
done <"$expected"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all export checks passed for $arch"
