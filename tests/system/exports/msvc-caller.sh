#!/usr/bin/env bash
# Builds MsvcCaller.cpp for the MSVC ABI of one target and links it against
# Brisolt.dll by the decorated names of the expected export list, through an
# import library made with llvm-dlltool. The link itself is the first proof:
# lld-link resolves every name the compiler produced from the declarations.
# With a Wine runner given, the caller then runs beside a copy of
# Brisolt.dll, with the stand-in driver utility installed, and its exit code
# is the verdict.
#   msvc-caller.sh <i686|x86_64> <bin dir> <expected list> <caller source> <work dir> [wine runner]
set -uo pipefail

arch=$1
bin_dir=$(realpath "$2")
expected=$(realpath "$3")
source=$(realpath "$4")
work=$(realpath -m "$5")
runner=${6:-}
[ -f "$expected" ] && [ -f "$source" ] || { echo "missing $expected or $source"; exit 2; }

# The driver-utility path is read by the caller's Brisolt.dll in its own
# registry view: a 32-bit program reads HKLM\Software through WOW6432Node.
case $arch in
    i686) machine=i386; software='Software\Wow6432Node' ;;
    x86_64) machine=i386:x86-64; software='Software' ;;
    *) echo "unknown target $arch"; exit 2 ;;
esac

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 2

{
    echo "LIBRARY Brisolt.dll"
    echo "EXPORTS"
    grep -v '^#' "$expected" | cut -d'|' -f2
} >Brisolt.def

set -e
llvm-dlltool -m "$machine" -d Brisolt.def -l Brisolt.lib
clang++ --target="$arch-pc-windows-msvc" -std=c++17 -O2 -fno-exceptions -fno-rtti \
    -fno-stack-protector -Wall -Werror -c "$source" -o caller.obj
lld-link /nologo /nodefaultlib /entry:CallerMain /subsystem:console \
    /out:caller.exe caller.obj Brisolt.lib
set +e

# Every expected name is imported from Brisolt.dll, and nothing else.
want=$(grep -v '^#' "$expected" | cut -d'|' -f2 | sort)
have=$(llvm-readobj --coff-imports caller.exe | awk '
    /^  Name:/ { dll = $2 }
    /^  Symbol:/ { print dll "|" $2 }' | sort)
if [ "$have" != "$(printf '%s\n' "$want" | sed 's/^/Brisolt.dll|/')" ]; then
    echo "FAIL: the caller's imports are not the five exports:"
    printf '%s\n' "$have"
    exit 1
fi
echo "caller for $arch links against Brisolt.dll by:"
printf '  %s\n' $want

[ -n "$runner" ] || exit 0

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
escaped() { windows_path "$1" | sed 's/\\/\\\\/g'; }

cp "$bin_dir/Brisolt.dll" .
cat >setup.reg <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\$software\\Velmora Corporation\\Shared Info\\Shared Dlls]
"VelUtils.dll"="$(escaped "$bin_dir/fixtures/velutils/VelUtils.dll")"

[HKEY_CURRENT_USER\\Software\\TavrelStandIns\\VelUtils]
"CapabilityWord"=dword:00000001
"PresenceMask"=dword:00000002

[HKEY_CURRENT_USER\\Software\\TavrelTests\\BrisoltCaller]
"Probe"="QUORB"
REG
cat >cleanup.reg <<REG
REGEDIT4

[-HKEY_CURRENT_USER\\Software\\TavrelTests\\BrisoltCaller]

[-HKEY_CURRENT_USER\\Software\\TavrelStandIns\\VelUtils]

[HKEY_LOCAL_MACHINE\\$software\\Velmora Corporation\\Shared Info\\Shared Dlls]
"VelUtils.dll"=-
REG

# Wine's programs write to files here, never into a pipe.
"$runner" reg import "$(windows_path "$work/setup.reg")" >reg-setup.log 2>&1 </dev/null ||
    { echo "FAIL: registry set-up"; cat reg-setup.log; exit 1; }
"$runner" caller.exe >caller.log 2>&1 </dev/null
status=$?
"$runner" reg import "$(windows_path "$work/cleanup.reg")" >reg-cleanup.log 2>&1 </dev/null

if [ $status -ne 0 ]; then
    echo "FAIL: the caller exited with $status (the number of its first failed check)"
    cat caller.log
    exit 1
fi
echo "the $arch caller ran and every answer was right"
