# Shell functions shared by test.sh, run.sh and developers: package set-up and
# a private Xvfb display with a Wine prefix that uses Wine's virtual desktop.
# Source this file; it defines functions only.

TAPLORE_PACKAGES="cmake g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine xvfb xdotool
 doctest-dev fonts-ipafont-gothic imagemagick clang libclang-rt-14-dev libpugixml-dev
 libbenchmark-dev x11-utils locales"
WINE_BIN_DIR=/usr/lib/wine

# Installs whatever of the project's Debian packages is missing.
taplore_install_packages() {
    local missing="" sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    for p in $TAPLORE_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "Installing:$missing"
        export DEBIAN_FRONTEND=noninteractive
        $sudo apt-get update -qq || return 1
        # shellcheck disable=SC2086
        $sudo apt-get install -y -qq $missing >/dev/null || return 1
    fi
    # The Japanese user-language tests need the locale (Wine derives the user
    # language from it).
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
        $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || return 1
    fi
}

# taplore_wine_up DISPLAY_NUMBER PREFIX_DIR: starts Xvfb on :N (unless one is
# already listening there), prepares the prefix (virtual desktop, Japanese font
# replacements) and starts wineserver persistently so ctest's pipes close.
taplore_wine_up() {
    local num="$1" prefix="$2"
    export PATH="$WINE_BIN_DIR:$PATH"
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY=":$num"
    TAPLORE_XVFB_PID=""
    if [ ! -e "/tmp/.X11-unix/X$num" ]; then
        Xvfb ":$num" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
        TAPLORE_XVFB_PID=$!
        local i
        for i in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$num" ] && break
            sleep 0.1
        done
    fi
    mkdir -p "$prefix"
    wineserver -k >/dev/null 2>&1 || true
    if [ ! -f "$prefix/.taplore-ready" ]; then
        wine64 wineboot -i >/dev/null 2>&1 || true
        wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null 2>&1
        for font in "MS UI Gothic" "MS Shell Dlg" "MS Gothic" "MS PGothic" "Meiryo UI" "Yu Gothic UI"; do
            wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d IPAGothic /f >/dev/null 2>&1
        done
        wineserver -w
        touch "$prefix/.taplore-ready"
    fi
    # The Japanese dialog templates name their font in Japanese; the name is
    # passed in UTF-8, so reg must run under a UTF-8 locale.
    if [ ! -f "$prefix/.taplore-fonts-ja" ]; then
        LC_ALL=C.UTF-8 wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "ＭＳ Ｐゴシック" /d IPAGothic /f >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.taplore-fonts-ja"
    fi
    wineserver -p
    # One harmless program start brings up Wine's background processes before
    # ctest runs, so they do not hold ctest's output pipe open.
    wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
}

taplore_wine_down() {
    WINEPREFIX="${WINEPREFIX:-}" "$WINE_BIN_DIR/wineserver" -k >/dev/null 2>&1 || true
    if [ -n "${TAPLORE_XVFB_PID:-}" ]; then
        kill "$TAPLORE_XVFB_PID" 2>/dev/null || true
        wait "$TAPLORE_XVFB_PID" 2>/dev/null || true
        TAPLORE_XVFB_PID=""
    fi
}
