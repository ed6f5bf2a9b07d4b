#!/usr/bin/env bash
# Checks what a shipped binary needs at run time: only DLLs that come with
# Windows (no MinGW runtime DLLs beside it), and the expected subsystem.
#   check-imports.sh <binary> <subsystem, e.g. 0x2, or - for any> <allowed DLL>...
set -uo pipefail

binary=$1
subsystem=$2
shift 2
allowed=" $(printf '%s ' "$@" | tr '[:upper:]' '[:lower:]')"

if [ ! -f "$binary" ]; then
    echo "FAIL: $binary not found"
    exit 1
fi
headers=$(llvm-readobj --file-headers --coff-imports "$binary")
failures=0
have_subsystem=$(printf '%s\n' "$headers" | awk '/^ *Subsystem:/ { print $NF; exit }' | tr -d '()')
echo "$binary: subsystem $have_subsystem"
if [ "$subsystem" != "-" ] && [ "$have_subsystem" != "$subsystem" ]; then
    echo "FAIL: subsystem is not $subsystem"
    failures=$((failures + 1))
fi
for dll in $(printf '%s\n' "$headers" | awk '/^ *Name: .*\.(dll|DLL)$/ { print $2 }'); do
    lower=$(printf '%s' "$dll" | tr '[:upper:]' '[:lower:]')
    if [[ "$allowed" == *" $lower "* ]]; then
        echo "  imports $dll"
    else
        echo "FAIL: imports $dll, which Windows does not provide"
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))
