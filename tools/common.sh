# Shared by the scripts in tools/. Source it; do not run it.
#
# TORVA_BUILD: build folder (default build/). Every run keeps its Wine prefix,
# wineserver and Xvfb display inside or beside that folder, so several build
# folders can be tested side by side.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${TORVA_BUILD:-$ROOT/build}
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
JOBS=$(nproc 2>/dev/null || echo 2)

log() { printf '== %s\n' "$*" >&2; }

# What the x86_64 route needs: the program's i686 build, and a 64-bit build of
# the same sources that the tests run under wine64. The cross compilers stay
# on a line of their own.
PACKAGES=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
          wine wine64 fonts-wine xvfb xauth locales cmake googletest fonts-ipafont-gothic imagemagick)
# The i686 route adds this alone, in a step of its own: forced in beside newer
# amd64 libraries, it has made apt remove wine64.
WINE32=wine32:i386

warn() { printf '== warning: %s\n' "$*" >&2; }
die() { printf '== error: %s\n' "$*" >&2; exit 1; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

# One `apt-get update` a run (the scripts that call each other share it). An
# index that fails to download, e.g. a mirror in mid-sync, leaves the others.
apt_update() {
    [ -n "${TORVA_APT_UPDATED:-}" ] && return 0
    export TORVA_APT_UPDATED=1
    local rc=0
    as_root apt-get update -qq || rc=$?
    [ "$rc" -eq 0 ] || warn "apt-get update failed (exit $rc): going on with the package lists apt has"
}

apt_install() {  # apt-get install options and packages
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}

install_missing() {  # packages: those not installed come in one step, or the script stops
    local missing=() p
    for p in "$@"; do installed "$p" || missing+=("$p"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    apt_update
    apt_install "${missing[@]}" >/dev/null || die "could not install: ${missing[*]}"
}

# Whether this kernel runs 32-bit x86 code at all, found without installing
# anything: a hand-made static i386 ELF that only exits 0. Where the kernel
# lacks IA-32 emulation it fails with "Exec format error", and not even Wine's
# WoW64 can run a 32-bit program. TORVA_KERNEL32=yes|no skips the probe (for
# tools/check-setup, to take the other branch on any machine).
kernel_runs_32bit() {
    case "${TORVA_KERNEL32:-}" in yes) return 0 ;; no) return 1 ;; esac
    local probe=$BUILD/probe-i386
    mkdir -p "$BUILD"
    # ELF header, one PT_LOAD program header at 0x08048000, then
    # mov eax,1 (exit); xor ebx,ebx; int 0x80
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00'\
'\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
}

ensure_packages() {
    local kernel32=no
    kernel_runs_32bit && kernel32=yes  # before apt: it decides what to ask for
    install_missing "${PACKAGES[@]}"
    if [ "$kernel32" = yes ] && ! installed "$WINE32"; then
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            as_root dpkg --add-architecture i386 || warn "dpkg --add-architecture i386 failed"
            unset TORVA_APT_UPDATED  # the i386 lists are new
        fi
        apt_update
        log "installing: $WINE32 (on its own; it may remove nothing)"
        mkdir -p "$BUILD"
        apt_install --no-remove "$WINE32" >"$BUILD/apt-wine32.log" 2>&1 ||
            warn "$WINE32 could not be installed (apt's words: $BUILD/apt-wine32.log)"
        WINE32_TRIED=1
    fi
    detect_test_arch  # both loaders the route needs must still run after the installs
}

ensure_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
    log "generating the ja_JP.UTF-8 locale"
    as_root sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
}

# The tests run the shipped i686 program where they can. Elsewhere they run a
# 64-bit build of the same sources under wine64; TEST_REASON says why.
detect_test_arch() {
    [ -n "${TEST_ARCH:-}" ] && return 0
    /usr/lib/wine/wine64 --version >/dev/null 2>&1 ||
        die "the 64-bit Wine loader does not run (/usr/lib/wine/wine64 --version fails): reinstall wine64"
    TEST_REASON=""
    if ! kernel_runs_32bit; then
        TEST_REASON="this kernel runs no 32-bit code"
    elif ! installed "$WINE32"; then
        TEST_REASON="$WINE32 is not installed"
        [ -n "${WINE32_TRIED:-}" ] && TEST_REASON="$WINE32 could not be installed"
    elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        TEST_REASON="the 32-bit Wine loader does not run"
    fi
    if [ -z "$TEST_REASON" ]; then
        TEST_ARCH=i686
        TEST_BUILD=$BUILD
        export WINELOADER=/usr/lib/wine/wine
    else
        TEST_ARCH=x86_64
        TEST_BUILD=$BUILD/x64
        export WINELOADER=/usr/lib/wine/wine64
    fi
    WINE=$WINELOADER
}

tested_build() {  # the line that ends tools/test
    if [ "$TEST_ARCH" = i686 ]; then
        echo "tests ran the i686 build (the shipped program)"
    else
        echo "tests ran the x86_64 build: $TEST_REASON"
    fi
}

configure_and_build() {  # folder toolchain-arch
    local dir=$1 arch=$2
    # A folder configured with another compiler (the toolchain file changed since) is made
    # anew: CMake keeps the compiler it found first.
    local want
    want=$(sed -n 's/^set(CMAKE_CXX_COMPILER \(.*\))$/\1/p' "$ROOT/cmake/mingw-$arch.cmake")
    if [ -f "$dir/CMakeCache.txt" ] &&
       ! grep -qs "set(CMAKE_CXX_COMPILER \".*/$want\")" "$dir"/CMakeFiles/*/CMakeCXXCompiler.cmake; then
        log "the compiler changed: configuring $dir anew"
        rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
    # Configured again when the route's loader changed, e.g. wine32 came in later.
    if ! grep -qxF "TORVA_WINE:STRING=$WINE" "$dir/CMakeCache.txt" 2>/dev/null; then
        cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
              -DTORVA_WINE="$WINE" -DTORVA_NATIVE_TESTS="$BUILD/native/native_tests" \
              -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$dir" -j "$JOBS" "${@:3}"
}

build_all() {  # extra args go to cmake --build (e.g. --target all)
    detect_test_arch
    log "building the program (i686) in $BUILD"
    configure_and_build "$BUILD" i686 "$@"
    if [ "$TEST_ARCH" = x86_64 ]; then
        log "$TEST_REASON: also building for x86_64 in $TEST_BUILD to run the tests"
        configure_and_build "$TEST_BUILD" x86_64 "$@"
    fi
}

build_native() {
    local dir=$BUILD/native
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$dir" -DTORVA_NATIVE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
    fi
    cmake --build "$dir" -j "$JOBS"
}

# --- Wine session: prefix, display, wineserver -------------------------------
XVFB_PID=""
DESKTOP_SIZE=1024x768

wine_env() {
    export WINEPREFIX=$TEST_BUILD/wineprefix
    export WINEDEBUG=-all
    export LC_ALL=ja_JP.UTF-8
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export TORVA_SOURCE_DIR=$ROOT
}

start_display() {
    [ -n "${TORVA_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ] && return 0
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "${DESKTOP_SIZE}x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
}

# The marker holds the version of the settings below: a prefix made by an
# older script gets what is new once, without being made again.
PREFIX_VERSION=3

reg_set() {  # key value data
    "$WINE" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1 || { warn "could not set $1\\$2"; return 1; }
}

ensure_prefix() {
    local marker=$WINEPREFIX/.torva-ready
    [ "$(cat "$marker" 2>/dev/null)" = "$PREFIX_VERSION" ] && return 0
    if [ ! -f "$marker" ]; then
        log "creating the Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        /usr/lib/wine/wineserver -w
    else
        log "updating the settings of the Wine prefix $WINEPREFIX"
    fi
    local complete=1
    # One virtual desktop shared by every process of a run, as large as the display: at 200 %
    # (LogPixels 192) the manager window at 20, 20 is about 475 x 650 and would run past 800 x 600.
    reg_set 'HKCU\Software\Wine\Explorer' Desktop Default || complete=""
    reg_set 'HKCU\Software\Wine\Explorer\Desktops' Default "$DESKTOP_SIZE" || complete=""
    # Tahoma's font link starts with "MS UI Gothic": as on Japanese Windows, the
    # Japanese texts get a proportional UI font, not a wider fallback that cuts them.
    reg_set 'HKCU\Software\Wine\Fonts\Replacements' 'MS UI Gothic' IPAPGothic || complete=""
    # Caption-button glyphs (marlett) and Tahoma itself, from fonts-wine.
    local fonts=$WINEPREFIX/drive_c/windows/Fonts f
    mkdir -p "$fonts"
    for f in marlett.ttf tahoma.ttf tahomabd.ttf; do
        if [ -f "/usr/share/wine/fonts/$f" ]; then
            cp "/usr/share/wine/fonts/$f" "$fonts/"
        else
            warn "/usr/share/wine/fonts/$f is missing (package fonts-wine): caption buttons show letters"
            complete=""
        fi
    done
    /usr/lib/wine/wineserver -w
    # Anything missing is taken up again next time.
    if [ -n "$complete" ]; then echo "$PREFIX_VERSION" >"$marker"; else : >"$marker"; fi
}

stop_session() {
    [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

start_session() {
    wine_env
    trap stop_session EXIT
    trap 'exit 130' INT TERM
    start_display
    ensure_prefix
    /usr/lib/wine/wineserver -p >/dev/null 2>&1  # persistent for the run: each start stays cheap
    # Wine's own services and the desktop process live as long as the wineserver;
    # started here, they hold none of the test runner's pipes open.
    "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
    setsid "$WINE" explorer /desktop=Default,"$DESKTOP_SIZE" </dev/null >/dev/null 2>&1 &
}
