# Running the 32-bit build under Wine: the packages, and how 32-bit code
# runs on this machine. Sourced by scripts/common.sh, not run.
#
# 32-bit Windows programs run under Debian's 32-bit Wine (wine32:i386) in a
# 64-bit prefix: Wine's own services stay 64-bit, and the 64-bit loader
# starts 32-bit programs through the 32-bit one. Where the kernel executes
# 32-bit code, that is all. Where it does not, every 32-bit ELF runs under
# qemu-i386 user emulation: a binfmt_misc entry of our own sends it there,
# the emulator reserves QEMU_RESERVED_VA of guest address space (0x80000000
# is too small for Wine), and a small preload library mends two faults of
# qemu 7.2 (see qemu-i386-fixups.c). The preload is named through the
# dynamic loader's $LIB token, so 32-bit processes load it and 64-bit ones an
# empty twin.
#
# TAVREL_I686_RUNNER=native|emulated forces the choice; by default a probe
# decides.

EMULATION_DIR=$REPO_ROOT/scripts/emulation
BINFMT_DIR=/proc/sys/fs/binfmt_misc
BINFMT_ENTRY=$BINFMT_DIR/tavrel-qemu-i386
QEMU_I386=/usr/bin/qemu-i386-static
WINE32_LOADER=/usr/lib/wine/wine
I686_RESERVED_VA=0x81000000
I686_RUNNER=

# wine32 needs the i386 architecture; the emulator's pieces only where the
# kernel cannot run 32-bit code. The cross compiler builds the preload
# library; unlike gcc-multilib it leaves other toolchains' settings alone.
ensure_i686_packages() {
    export DEBIAN_FRONTEND=noninteractive
    if [ ! -x "$WINE32_LOADER" ]; then
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            log "adding the i386 architecture"
            dpkg --add-architecture i386
        fi
        log "installing: wine32:i386"
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
    fi
    choose_i686_runner
    if [ "$I686_RUNNER" = emulated ]; then
        local missing=()
        [ -x "$QEMU_I386" ] || missing+=(qemu-user-static)
        command -v i686-linux-gnu-gcc >/dev/null || missing+=(gcc-i686-linux-gnu libc6-dev-i386-cross)
        command -v gcc >/dev/null || missing+=(gcc)
        if [ ${#missing[@]} -gt 0 ]; then
            log "installing: ${missing[*]}"
            apt-get update -qq
            apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
        fi
    fi
}

# Does the kernel itself run the 32-bit Wine loader? Our own emulator
# entry is switched off for the probe.
kernel_runs_32bit() {
    [ -e "$BINFMT_ENTRY" ] && echo 0 >"$BINFMT_ENTRY"
    "$WINE32_LOADER" --version >/dev/null 2>&1
}

choose_i686_runner() {
    case ${TAVREL_I686_RUNNER:-} in
        native | emulated) I686_RUNNER=$TAVREL_I686_RUNNER ;;
        '') if kernel_runs_32bit; then I686_RUNNER=native; else I686_RUNNER=emulated; fi ;;
        *) log "TAVREL_I686_RUNNER must be native or emulated"; return 1 ;;
    esac
    log "32-bit code runs $I686_RUNNER here"
}

# The binfmt entry: 32-bit x86 ELF executables and shared objects (ET_EXEC
# and ET_DYN), to the static emulator, which the kernel opens at
# registration (flag F), so it serves in every mount namespace.
register_i386_emulator() {
    [ -e "$BINFMT_DIR/register" ] ||
        mount -t binfmt_misc binfmt_misc "$BINFMT_DIR" || return 1
    if [ -e "$BINFMT_ENTRY" ]; then
        echo 1 >"$BINFMT_ENTRY"
        return 0
    fi
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf '%s' ":tavrel-qemu-i386:M::$magic:$mask:$QEMU_I386:F" >"$BINFMT_DIR/register"
}

# Builds the preload library (32-bit) and its empty 64-bit twin under
# <build root>/emulation when the source is newer.
build_qemu_fixups() {
    local out=$BUILD_ROOT/emulation/lib
    local real=$out/i386-linux-gnu/libtavrel-qemu-fixups.so
    local twin=$out/x86_64-linux-gnu/libtavrel-qemu-fixups.so
    mkdir -p "$(dirname "$real")" "$(dirname "$twin")"
    if [ ! -f "$real" ] || [ "$EMULATION_DIR/qemu-i386-fixups.c" -nt "$real" ]; then
        i686-linux-gnu-gcc -std=gnu11 -O2 -Wall -Wextra -Werror -shared -fPIC \
            -o "$real" "$EMULATION_DIR/qemu-i386-fixups.c" || return 1
    fi
    [ -f "$twin" ] || gcc -shared -nostdlib -o "$twin" -x c /dev/null || return 1
}

# Sets up how 32-bit code runs and prints the environment the i686 leg's
# processes need, one VAR=value per line (nothing when it runs natively).
prepare_i686_runner() {
    if [ "$I686_RUNNER" = native ]; then
        [ ! -e "$BINFMT_ENTRY" ] || echo 0 >"$BINFMT_ENTRY"
        return 0
    fi
    register_i386_emulator || { log "cannot register the i386 emulator"; return 1; }
    build_qemu_fixups || { log "cannot build the emulator's preload library"; return 1; }
    # shellcheck disable=SC2016 # $LIB is the dynamic loader's token, not ours
    printf 'LD_PRELOAD=%s\n' "$BUILD_ROOT/emulation/\$LIB/libtavrel-qemu-fixups.so"
    printf 'QEMU_RESERVED_VA=%s\n' "$I686_RESERVED_VA"
}
