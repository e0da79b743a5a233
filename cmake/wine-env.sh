# Shell functions shared by test.sh, run.sh, bench and developers: package
# set-up, and a private Wine session (an Xvfb display when needed, a Wine
# prefix that uses Wine's virtual desktop, a persistent wineserver). Source
# this file; it defines functions only.
#
# A session never touches one it did not start: a prefix that another session
# uses (a Taplore started by ./run.sh, a test run) is left alone and the next
# free one beside it is taken (PREFIX-2, PREFIX-3, ...), and taplore_wine_down
# ends only the wineserver and Xvfb that taplore_wine_up started.

TAPLORE_PACKAGES="cmake g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine fonts-wine xvfb xdotool
 doctest-dev fonts-ipafont-gothic imagemagick clang libclang-rt-14-dev libpugixml-dev
 libbenchmark-dev x11-utils locales python3"
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

# taplore_wine_busy PREFIX: true while a Wine session uses PREFIX: one of
# ours holds its lock, or a wineserver serves it (wineserver works in a
# folder server-DEV-INODE named after the prefix's device and inode).
taplore_wine_busy() {
    local prefix="$1" lock fd server pid
    lock="$prefix/.taplore-session.lock"
    if [ -e "$lock" ]; then
        exec {fd}<"$lock"
        if ! flock -n "$fd"; then
            exec {fd}<&-
            return 0
        fi
        exec {fd}<&-
    fi
    [ -d "$prefix" ] || return 1
    server=$(printf 'server-%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
    for pid in $(pgrep -u "$(id -u)" wineserver 2>/dev/null); do
        case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
            */"$server") return 0 ;;
        esac
    done
    return 1
}

# taplore_xvfb_start: starts a private Xvfb on a display number it finds free
# itself and sets TAPLORE_DISPLAY_NUMBER and TAPLORE_XVFB_PID.
taplore_xvfb_start() {
    local numfile i
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    TAPLORE_XVFB_PID=$!
    TAPLORE_DISPLAY_NUMBER=""
    for i in $(seq 1 200); do
        TAPLORE_DISPLAY_NUMBER=$(tr -dc '0-9' <"$numfile")
        [ -n "$TAPLORE_DISPLAY_NUMBER" ] && [ -e "/tmp/.X11-unix/X$TAPLORE_DISPLAY_NUMBER" ] && break
        kill -0 "$TAPLORE_XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    rm -f "$numfile"
    [ -n "$TAPLORE_DISPLAY_NUMBER" ] || { echo "Xvfb did not start" >&2; return 1; }
}

# Makes a new prefix fit for Taplore (virtual desktop) and brings an older
# one up to date. Each step runs once per prefix, marked by a file in it.
taplore_wine_prepare() {
    local prefix="$1" font
    if [ ! -f "$prefix/.taplore-ready" ]; then
        wine64 wineboot -i >/dev/null 2>&1 || true
        wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.taplore-ready"
    fi
    # A program that crashes ends with its exception code and a backtrace on
    # stderr: with Wine's crash dialog it would wait for an answer that never
    # comes, and a test would see it only as still running when it gives up.
    if [ ! -f "$prefix/.taplore-crash-1" ]; then
        wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.taplore-crash-1"
    fi
    # Fonts as Windows has them: the English interface ("MS Shell Dlg") in
    # Wine's Tahoma, caption buttons in Wine's Marlett; only the faces the
    # Japanese interface names go to the Japanese font. A Japanese font in
    # place of "MS Shell Dlg" would draw every backslash as a yen sign. The
    # Japanese template names its face in Japanese, passed in UTF-8, so reg
    # runs under a UTF-8 locale.
    if [ ! -f "$prefix/.taplore-fonts-3" ]; then
        local replacements='HKCU\Software\Wine\Fonts\Replacements' fonts="$prefix/drive_c/windows/Fonts"
        # Debian's Wine looks for its own fonts (fonts-wine) in a folder that
        # does not exist; the Windows font folder is always searched.
        mkdir -p "$fonts"
        for font in /usr/share/wine/fonts/*.ttf; do
            [ -e "$font" ] && ln -sf "$font" "$fonts/"
        done
        wine64 reg delete "$replacements" /v "MS Shell Dlg" /f >/dev/null 2>&1 || true
        # Japanese text in Tahoma (window captions of the Japanese interface,
        # Japanese paths in the English one) comes from the Japanese font, as
        # Windows links its Japanese UI font to Tahoma.
        ln -sf /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf "$fonts/"
        local links='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
        wine64 reg add "$links" /v Tahoma /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null 2>&1
        wine64 reg add "$links" /v "Tahoma Bold" /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null 2>&1
        for font in "MS UI Gothic" "MS Gothic" "MS PGothic" "Meiryo UI" "Meiryo" "Yu Gothic UI" \
                    "ＭＳ Ｐゴシック" "ＭＳ ゴシック"; do
            LC_ALL=C.UTF-8 wine64 reg add "$replacements" /v "$font" /d IPAGothic /f >/dev/null 2>&1
        done
        wineserver -w
        touch "$prefix/.taplore-fonts-3"
    fi
}

# taplore_wine_up [DISPLAY_NUMBER] PREFIX_DIR: a Wine session for the caller.
# With a display number, that display is used (an Xvfb is started there when
# none listens); with an empty one, $DISPLAY is used as it is; with "new", a
# private Xvfb on a free display. The prefix is PREFIX_DIR unless another
# session uses it (see above); WINEPREFIX and DISPLAY are exported. Starts
# wineserver persistently so ctest's pipes close.
taplore_wine_up() {
    local num="$1" prefix="$2" candidate n
    export PATH="$WINE_BIN_DIR:$PATH"
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    TAPLORE_XVFB_PID=""
    TAPLORE_WINE_OWNED=""
    if [ "$num" = new ]; then
        taplore_xvfb_start || return 1
        num=$TAPLORE_DISPLAY_NUMBER
    elif [ -n "$num" ] && [ ! -e "/tmp/.X11-unix/X$num" ]; then
        Xvfb ":$num" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
        TAPLORE_XVFB_PID=$!
        for n in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$num" ] && break
            sleep 0.1
        done
    fi
    [ -n "$num" ] && export DISPLAY=":$num"

    candidate="$prefix"
    n=1
    while taplore_wine_busy "$candidate"; do
        n=$((n + 1))
        candidate="$prefix-$n"
        if [ "$n" -gt 20 ]; then
            echo "taplore_wine_up: no free Wine prefix beside $prefix" >&2
            return 1
        fi
    done
    [ "$candidate" != "$prefix" ] && echo "Wine prefix $prefix is in use by another session; using $candidate"
    mkdir -p "$candidate"
    export WINEPREFIX="$candidate"
    # Held (also by the Wine processes started from here, which inherit it)
    # for as long as this session lives.
    exec {TAPLORE_WINE_LOCK_FD}>"$candidate/.taplore-session.lock"
    flock -n "$TAPLORE_WINE_LOCK_FD" || { echo "taplore_wine_up: $candidate was taken meanwhile" >&2; return 1; }
    TAPLORE_WINE_OWNED=1
    taplore_wine_prepare "$candidate"
    wineserver -p
    # One harmless program start brings up Wine's background processes before
    # ctest runs, so they do not hold ctest's output pipe open.
    wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Ends what taplore_wine_up started, and nothing else.
taplore_wine_down() {
    if [ -n "${TAPLORE_WINE_OWNED:-}" ] && [ -n "${WINEPREFIX:-}" ]; then
        WINEPREFIX="$WINEPREFIX" "$WINE_BIN_DIR/wineserver" -k >/dev/null 2>&1 || true
        WINEPREFIX="$WINEPREFIX" "$WINE_BIN_DIR/wineserver" -w >/dev/null 2>&1 || true
        TAPLORE_WINE_OWNED=""
    fi
    if [ -n "${TAPLORE_WINE_LOCK_FD:-}" ]; then
        exec {TAPLORE_WINE_LOCK_FD}>&-
        TAPLORE_WINE_LOCK_FD=""
    fi
    if [ -n "${TAPLORE_XVFB_PID:-}" ]; then
        kill "$TAPLORE_XVFB_PID" 2>/dev/null || true
        wait "$TAPLORE_XVFB_PID" 2>/dev/null || true
        TAPLORE_XVFB_PID=""
    fi
}
