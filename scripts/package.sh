#!/usr/bin/env bash
# Makes the Windows deployment kit of the 32-bit build that ships:
#   build/dist/Tavrel-<version>-win32.zip
# with Tavrel.exe, Brisolt.dll, install.cmd, uninstall.cmd, the settings
# template and a README for Windows, in one folder of the zip's name. The
# kit is part of the i686 tree's build (deploy/CMakeLists.txt), so this
# installs what is missing, builds that tree and shows what it made. The
# kit's tests run with the others on the i686 leg of scripts/test.sh.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages
mkdir -p "$BUILD_ROOT"
build_tree i686
zip=$(cat "$BUILD_ROOT/i686/deploy/kit-zip.txt")
[ -f "$zip" ] || { log "the build made no $zip"; exit 1; }
echo "$zip:"
cmake -E tar tvf "$zip"
