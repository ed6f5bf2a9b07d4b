#!/usr/bin/env bash
# Checks the deployment kit's zip and unpacks it for the tests that run its
# contents: exactly the expected files in one folder named like the zip, the
# binaries the same as the build's, the text files ready for Windows (CRLF
# line ends, every placeholder filled in).
#   check-kit-contents.sh <zip> <bin dir of the build> <folder to unpack into>
# Only CMake's own archive tool is used, so no zip program is needed.
set -uo pipefail

zip=$1
bin_dir=$2
unpack_dir=$3
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if [ ! -f "$zip" ]; then
    echo "FAIL: $zip not found (is the i686 build done?)"
    exit 1
fi
kit=$(basename "$zip" .zip)
[[ $kit =~ ^Tavrel-[0-9]+\.[0-9]+\.[0-9]+-win32$ ]] || fail "the zip's name $kit.zip is not Tavrel-<version>-win32.zip"

texts=(install.cmd uninstall.cmd settings-template.reg README.txt)
want=$(printf "$kit/%s\n" Tavrel.exe Brisolt.dll "${texts[@]}" | sort)
have=$(cmake -E tar tf "$zip" | sort)
echo "$zip holds:"
printf '  %s\n' $have
if [ "$want" != "$have" ]; then
    fail "the zip does not hold exactly the kit's files"
    diff <(printf '%s\n' "$want") <(printf '%s\n' "$have")
fi

rm -rf "$unpack_dir"
mkdir -p "$unpack_dir"
(cd "$unpack_dir" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"

for binary in Tavrel.exe Brisolt.dll; do
    cmp -s "$bin_dir/$binary" "$unpack_dir/$kit/$binary" ||
        fail "$binary in the kit is not the build's $bin_dir/$binary"
done

for text in "${texts[@]}"; do
    file=$unpack_dir/$kit/$text
    [ -f "$file" ] || continue
    bare=$(grep -c $'[^\r]$\|^$' "$file")
    [ "$bare" -eq 0 ] || fail "$text has $bare line(s) without CRLF"
    ! grep -n '@[A-Za-z_]\+@' "$file" || fail "$text holds a placeholder that was not filled in"
done
version=${kit#Tavrel-}
version=${version%-win32}
grep -q "Tavrel $version for Windows" "$unpack_dir/$kit/README.txt" ||
    fail "README.txt does not name version $version"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "the kit's zip holds what it should; unpacked into $unpack_dir"
