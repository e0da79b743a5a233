#!/bin/bash
# ./screens.sh: makes the README's pictures in docs/screens/ afresh. Builds
# Taplore.exe and screens_driver.exe, starts a private Xvfb with Wine's
# virtual desktop, and lets the driver open a list with rows of every kind
# and photograph the main window, the operation dialog and the settings
# dialog, in English and in Japanese.
set -euo pipefail
cd "$(dirname "$0")"
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages

cmake --preset windows >/dev/null
cmake --build --preset windows --target Taplore screens_driver

trap taplore_wine_down EXIT
taplore_wine_up new "${TAPLORE_WINEPREFIX:-$PWD/build/wine-prefix}" || exit 1
rm -rf docs/screens
mkdir -p docs/screens
wine64 build/windows/tests/screens_driver.exe "Z:$PWD/docs/screens" </dev/null | tr -d '\r'
ls docs/screens
