#!/usr/bin/env bash
# The pictures of the window in docs/, one per language and one at twice the size,
# taken under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
for language in English ChineseGB ChineseBIG5; do
    home=$(mktemp -d)
    mkdir -p "$home/VANTREL"
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n"LanguageFlag"="%s"\n' \
        "$language" >"$home/VANTREL/Morvale.reg"
    XDG_CONFIG_HOME=$home tools/under-xvfb.sh tools/show-window.sh "docs/window-$language.png"
    rm -rf "$home"
done
# And at twice the size, as on a screen of two device pixels to the point.
home=$(mktemp -d)
XDG_CONFIG_HOME=$home QT_SCALE_FACTOR=2 tools/under-xvfb.sh tools/show-window.sh docs/window-English-2x.png
rm -rf "$home"
