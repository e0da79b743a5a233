#!/bin/sh
# Runs a Windows executable under Wine with the project's environment. The
# prefix and display come from the caller (test.sh / run.sh set both).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine64 "$@"
