#!/usr/bin/env bash
# Builds the Debian package build-pkg/tx4040-config_<version>_<arch>.deb with CPack, in
# build-pkg/ and without the tests. With --check it then proves the package: the desktop
# entry and the AppStream metainfo validate, lintian finds no error, apt installs it,
# the installed programs run (the window under Xvfb, a scan of the simulated module),
# and a purge leaves none of its files. The check installs and purges the package on
# this machine, so it needs root (or sudo).
#   tools/package.sh           the package
#   tools/package.sh --check   the package, then the checks
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
case "${1:-}" in
"") ;;
--check) check=true ;;
*)
    echo "usage: tools/package.sh [--check]" >&2
    exit 2
    ;;
esac

# dpkg-shlibdeps (dpkg-dev) finds the libraries the package depends on; the rest are
# the checks' own tools.
if $check; then
    tools/install-deps.sh dpkg-dev desktop-file-utils appstream lintian file xvfb xdotool
else
    tools/install-deps.sh dpkg-dev
fi

# Debian's compiler and linker flags, hardening included. CMake never reads CPPFLAGS,
# so they join the compiler flags; given on the command line, they also reach a build
# folder configured before.
build="build-pkg"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
    -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/tx4040-config_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/tx4040-config_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "tools/package.sh: cpack made no package" >&2
    exit 1
fi
deb=$PWD/${debs[0]}
echo "package: $deb"
$check || exit 0

fail() {
    echo "tools/package.sh: check failed: $*" >&2
    exit 1
}
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DEBIAN_FRONTEND=noninteractive

echo "== the desktop entry and the icons it names"
dpkg-deb -x "$deb" "$work/root"
entries=("$work"/root/usr/share/applications/*.desktop)
if [ ${#entries[@]} -ne 1 ] || [ ! -f "${entries[0]}" ]; then
    fail "the package holds no desktop entry, or more than one"
fi
entry=${entries[0]}
id=$(basename "$entry" .desktop)
desktop-file-validate "$entry" || fail "desktop-file-validate $id.desktop"
grep -qx "Icon=$id" "$entry" || fail "the desktop entry's icon is not $id"
for icon in 16x16/apps/$id.png 24x24/apps/$id.png 32x32/apps/$id.png 48x48/apps/$id.png \
    64x64/apps/$id.png 128x128/apps/$id.png 256x256/apps/$id.png scalable/apps/$id.svg; do
    [ -s "$work/root/usr/share/icons/hicolor/$icon" ] || fail "no icon $icon"
done

echo "== the AppStream metainfo"
metainfo=$work/root/usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $id.metainfo.xml"

echo "== lintian"
lintian --display-info --pedantic --display-experimental "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
! grep -q '^E:' "$work/lintian.txt" || fail "lintian reports errors"

echo "== install"
if dpkg-query -W -f='${Status}' tx4040-config 2>/dev/null | grep -q 'install ok installed'; then
    echo "tx4040-config was installed before: purging it first"
    "${sudo[@]}" apt-get remove --purge -y tx4040-config >/dev/null
fi
"${sudo[@]}" apt-get install -y "$deb" || fail "apt-get install $deb"

echo "== the installed programs"
version=$(dpkg-deb -f "$deb" Version)
IFS=. read -r major minor patch <<<"$version"
expected=$(printf 'tx4040 %s.%s-%02d' "$major" "$minor" "$patch")
shown=$(/usr/bin/tx4040 --version) || fail "/usr/bin/tx4040 --version"
[ "$shown" = "$expected" ] || fail "/usr/bin/tx4040 --version says '$shown', not '$expected'"
echo "$shown"

# The window must appear, and be the one the desktop entry names (a desktop on X11 knows
# it by its WM_CLASS); SIGTERM then closes it as a close from outside does.
wmclass=$(sed -n 's/^StartupWMClass=//p' "$entry")
mkdir "$work/window-config"
# shellcheck disable=SC2016 # the inner shell expands them
XDG_CONFIG_HOME=$work/window-config tools/under-xvfb.sh bash -c '
    /usr/bin/tx4040-config & pid=$!
    if ! window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1); then
        kill "$pid"
        exit 1
    fi
    echo "window: $(xdotool getwindowname "$window")"
    if ! xdotool search --classname "^$1\$" | grep -qx "$window"; then
        echo "its WM_CLASS is not $1" >&2
        kill "$pid"
        exit 1
    fi
    kill -TERM "$pid"
    wait "$pid"' _ "$wmclass" ||
    fail "/usr/bin/tx4040-config did not show its window ($wmclass) and close on SIGTERM"

# A setting with parity: the module answers only through the installed pty line library.
mkdir "$work/scan-config"
XDG_CONFIG_HOME=$work/scan-config timeout 60 /usr/bin/tx4040-sim --port 3 -- \
    /usr/bin/tx4040 scan --setting 19200,e,8,1 --no-store ||
    fail "/usr/bin/tx4040 scan found no simulated module through /usr/bin/tx4040-sim"

echo "== purge"
dpkg -L tx4040-config >"$work/installed.txt"
"${sudo[@]}" apt-get remove --purge -y tx4040-config || fail "apt-get remove --purge tx4040-config"
! dpkg-query -W -f='${Status}' tx4040-config 2>/dev/null | grep -q installed ||
    fail "tx4040-config is still installed"
left=()
while IFS= read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        # A folder stays when another package owns it, or when something else put files
        # in it; an empty one that nobody owns is ours.
        if ! dpkg-query -S "$path" >/dev/null 2>&1 && [ -z "$(ls -A "$path")" ]; then
            left+=("$path/")
        fi
    elif [ -e "$path" ] || [ -L "$path" ]; then
        left+=("$path")
    fi
done <"$work/installed.txt"
[ ${#left[@]} -eq 0 ] || fail "the purge left: ${left[*]}"
echo "the purge left none of the $(grep -c . "$work/installed.txt") paths the package installed"

echo "all package checks passed in ${SECONDS} s"
