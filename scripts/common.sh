# Shared steps of the set-up-and-go scripts: packages, build, Wine prefix and
# display. Sourced, not run. BUILD_ROOT (default: <repo>/build) lets several
# checkouts or runs keep apart: each build root has its own Wine prefix.

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO_ROOT/build}
WINE_LOADER=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$BUILD_ROOT/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}

log() { printf '==> %s\n' "$*" >&2; }

source "$REPO_ROOT/scripts/emulation/i686.sh"

# Exports each VAR=value line of the text (prepare_i686_runner's output).
export_lines() {
    local line
    while IFS= read -r line; do
        [ -z "$line" ] || export "${line?}"
    done <<<"$1"
}

# Each leg of the tests has a prefix of its own (named objects and the
# registry are per prefix), so both legs can run at once.
leg_prefix() {
    case $1 in
        x86_64) echo "$BUILD_ROOT/wineprefix" ;;
        i686) echo "$BUILD_ROOT/wineprefix-i686" ;;
    esac
}

# The legs a command runs: both, or the one a leading "--leg <leg>" names.
# Sets legs, and leg_options to how many arguments that took.
choose_legs() {
    legs=(x86_64 i686)
    leg_options=0
    [ "${1:-}" = --leg ] || return 0
    case ${2:-} in
        x86_64 | i686) legs=("$2"); leg_options=2 ;;
        *) log "--leg takes x86_64 or i686"; exit 2 ;;
    esac
}

# Installs the packages whose commands are missing (Debian 12, as root).
ensure_packages() {
    local missing=()
    command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686)
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
    command -v cmake >/dev/null || missing+=(cmake)
    command -v ninja >/dev/null || missing+=(ninja-build)
    [ -x "$WINE_LOADER" ] || missing+=(wine64)
    command -v wine >/dev/null || missing+=(wine)
    command -v Xvfb >/dev/null || missing+=(xvfb)
    command -v pgrep >/dev/null || missing+=(procps)
    command -v tmux >/dev/null || missing+=(tmux)
    [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
    # Header-only JSON library the bench driver writes its figures with.
    [ -f /usr/include/nlohmann/json.hpp ] || missing+=(nlohmann-json3-dev)
    command -v clang++ >/dev/null || missing+=(clang)
    command -v lld-link >/dev/null || missing+=(lld)
    { command -v llvm-dlltool && command -v llvm-undname && command -v llvm-readobj; } >/dev/null \
        || missing+=(llvm)
    if [ ${#missing[@]} -gt 0 ]; then
        log "installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

# Configures (once) and builds one target's tree: i686 or x86_64.
build_tree() {
    local arch=$1
    if [ ! -f "$BUILD_ROOT/$arch/build.ninja" ]; then
        log "configuring $arch"
        cmake -S "$REPO_ROOT" -B "$BUILD_ROOT/$arch" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$REPO_ROOT/cmake/toolchain-$arch.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    log "building $arch"
    cmake --build "$BUILD_ROOT/$arch" -- -j"$(nproc)" >"$BUILD_ROOT/build-$arch.log" 2>&1 || {
        cat "$BUILD_ROOT/build-$arch.log" >&2
        return 1
    }
}

# Configures (once) and builds both targets.
build_all() {
    build_tree i686 || return 1
    build_tree x86_64
}

# Creates the Wine prefix once and keeps its server running for this run.
# Wine's own services inherit output descriptors, so their output goes to a
# file and never into a pipe of ours.
prepare_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating Wine prefix $WINEPREFIX"
        WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE_LOADER" wineboot -i \
            >"$WINEPREFIX.wineboot.log" 2>&1 </dev/null || true
        "$WINESERVER" -w >/dev/null 2>&1 </dev/null || true
    fi
    # Answers non-zero when a server for the prefix runs already.
    "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true
    # Start Wine's background services now, detached from our descriptors:
    # started by the first test program instead, they would inherit ctest's
    # output pipe and keep it open until the server ends.
    "$WINE_LOADER" wineboot >/dev/null 2>&1 </dev/null
    # No crash debugger: a program that crashes under test must end, not
    # wait in winedbg until a time-out. 32-bit programs look for it in the
    # 32-bit view of the registry.
    local view
    for view in 'Software' 'Software\Wow6432Node'; do
        "$WINE_LOADER" reg delete "HKLM\\$view\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" \
            /v Debugger /f >/dev/null 2>&1 </dev/null || true
    done
}

stop_prefix() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
}

# Starts Xvfb on the first free display and exports DISPLAY. Several
# callers at once (the two legs) take turns, so each gets a display of its
# own.
XVFB_PID=
start_display() {
    local n
    exec 8>"${TMPDIR:-/tmp}/.tavrel-display.lock"
    flock 8
    for n in $(seq 90 189); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null 8>&- &
        XVFB_PID=$!
        local i
        for i in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            exec 8>&-
            return 0
        fi
    done
    exec 8>&-
    log "no free X display"
    return 1
}

stop_display() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}
