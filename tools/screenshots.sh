#!/usr/bin/env bash
# The pictures of the window in docs/, one per language, taken under Xvfb.
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
