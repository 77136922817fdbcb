# Shared by tools/build, tools/test and tools/demo. Source it; do not run it.
#
# TORVA_BUILD: build folder (default build/). Every run keeps its Wine prefix,
# wineserver and Xvfb display inside or beside that folder, so several build
# folders can be tested side by side.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${TORVA_BUILD:-$ROOT/build}
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
JOBS=$(nproc 2>/dev/null || echo 2)

log() { printf '== %s\n' "$*" >&2; }

PACKAGES=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine64 wine32:i386 xvfb xauth
          locales cmake googletest fonts-ipafont-gothic imagemagick)

ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

ensure_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
    log "generating the ja_JP.UTF-8 locale"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
}

# Some kernels run 64-bit user code only: no 32-bit program starts, not even
# under Wine's WoW64. There the tests run a 64-bit build of the same sources.
detect_test_arch() {
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
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

configure_and_build() {  # folder toolchain-arch
    local dir=$1 arch=$2
    if [ ! -f "$dir/CMakeCache.txt" ]; then
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
        log "this kernel runs no 32-bit code: also building for x86_64 in $TEST_BUILD to run the tests"
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
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
}

ensure_prefix() {
    if [ ! -f "$WINEPREFIX/.torva-ready" ]; then
        log "creating the Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        /usr/lib/wine/wineserver -w
        # One virtual desktop shared by every process of a run.
        "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
        local fonts=$WINEPREFIX/drive_c/windows/Fonts
        mkdir -p "$fonts"
        for f in marlett.ttf tahoma.ttf tahomabd.ttf; do
            [ -f "/usr/share/wine/fonts/$f" ] && cp "/usr/share/wine/fonts/$f" "$fonts/"
        done
        /usr/lib/wine/wineserver -w
        touch "$WINEPREFIX/.torva-ready"
    fi
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
    setsid "$WINE" explorer /desktop=Default,800x600 </dev/null >/dev/null 2>&1 &
}
