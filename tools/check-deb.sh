#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the tool's Debian packages away from the build tree: each one's file list and
# dependencies (the tools package names no Qt library), lintian on both (no error, no warning),
# that apt can install them together with what they depend on, and that every program starts
# from a scratch root the packages are unpacked into.
#   sh tools/check-deb.sh r8v5mc-tools_VERSION_ARCH.deb r8v5mc_VERSION_ARCH.deb
set -eu
[ $# -ge 1 ] || {
    echo "usage: $0 PACKAGE.deb..." >&2
    exit 2
}
scratch=$(mktemp -d)
sim_pid=""
trap '[ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null; rm -rf "$scratch"' EXIT

fail() {
    echo "check-deb: $*" >&2
    exit 1
}

expected_tools="./usr/bin/r8v5mc-copy
./usr/bin/r8v5mc-ctl
./usr/bin/r8v5mc-sim
./usr/share/doc/r8v5mc-tools/changelog.Debian.gz
./usr/share/doc/r8v5mc-tools/copyright
./usr/share/lintian/overrides/r8v5mc-tools
./usr/share/man/man1/r8v5mc-copy.1.gz
./usr/share/man/man1/r8v5mc-ctl.1.gz
./usr/share/man/man1/r8v5mc-sim.1.gz"
expected_window="./usr/bin/r8v5mc
./usr/share/applications/r8v5mc.desktop
./usr/share/doc/r8v5mc/changelog.Debian.gz
./usr/share/doc/r8v5mc/copyright"
for size in 128 16 22 24 256 32 48 64; do
    expected_window="$expected_window
./usr/share/icons/hicolor/${size}x${size}/apps/r8v5mc.png"
done
expected_window="$expected_window
./usr/share/icons/hicolor/scalable/apps/r8v5mc.svg
./usr/share/lintian/overrides/r8v5mc
./usr/share/man/man1/r8v5mc.1.gz"

# needs DEB WORD...: each WORD must be named in the package's Depends.
needs() {
    deb=$1
    shift
    depends=$(dpkg-deb -f "$deb" Depends)
    for needed in "$@"; do
        case "$depends" in
        *"$needed"*) ;;
        *) fail "$deb does not depend on $needed: $depends" ;;
        esac
    done
}

debs=""
window=""
for deb in "$@"; do
    package=$(dpkg-deb -f "$deb" Package)
    version=$(dpkg-deb -f "$deb" Version)
    case "$package" in
    r8v5mc-tools)
        expected=$expected_tools
        needs "$deb" libc6 libstdc++6
        if dpkg-deb -f "$deb" Depends | grep -qi 'qt'; then
            fail "$deb depends on Qt: $(dpkg-deb -f "$deb" Depends)"
        fi
        ;;
    r8v5mc)
        expected=$expected_window
        window=$deb
        needs "$deb" "r8v5mc-tools (= $version)" libqt6widgets6 libqt6gui6 libqt6core6 \
            qt6-qpa-plugins fonts-ipafont-gothic
        ;;
    *) fail "$deb: unknown package $package" ;;
    esac
    actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
    if [ "$actual" != "$(echo "$expected" | sort)" ]; then
        echo "$actual" >&2
        fail "unexpected file list in $deb (above)"
    fi
    dpkg -x "$deb" "$scratch"
    debs="$debs $(realpath "$deb")"
    echo "check-deb: $package $version: files and dependencies as expected"
done

# One lintian run over all the packages (it takes a while to start).
command -v lintian >/dev/null || fail "lintian is not installed (apt-get install lintian)"
# shellcheck disable=SC2086 # one word per package
if ! lintian --fail-on error,warning $debs >"$scratch/lintian" 2>&1; then
    grep -v 'root privileges' "$scratch/lintian" >&2
    fail "lintian reports errors or warnings"
fi
grep -v 'root privileges' "$scratch/lintian" || true
echo "check-deb: lintian: no errors, no warnings"

# apt would install the packages together with what they depend on.
if command -v apt-get >/dev/null; then
    # shellcheck disable=SC2086
    apt-get install --simulate -q $debs >"$scratch/apt" 2>&1 ||
        { cat "$scratch/apt" >&2; fail "apt cannot install$debs"; }
fi

bin=$scratch/usr/bin
[ ! -x "$bin/r8v5mc-sim" ] || {
    "$bin/r8v5mc-sim" --version >/dev/null
    "$bin/r8v5mc-copy" --help >/dev/null
    "$bin/r8v5mc-ctl" --help >/dev/null
    # The tools against the packaged simulator.
    mkfifo "$scratch/sim.out"
    "$bin/r8v5mc-sim" >"$scratch/sim.out" &
    sim_pid=$!
    read -r camera <"$scratch/sim.out"
    "$bin/r8v5mc-ctl" --port "$camera" get agc >/dev/null ||
        fail "r8v5mc-ctl cannot read the packaged simulator's camera on $camera"
}
if [ -n "$window" ]; then
    "$bin/r8v5mc" --version >/dev/null
    # Usage errors are answered without a display.
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/r8v5mc" --bogus 2>"$scratch/err" ||
        status=$?
    [ "$status" -eq 2 ] && grep -q "Try 'r8v5mc --help'" "$scratch/err" ||
        fail "r8v5mc --bogus without a display: status $status, $(cat "$scratch/err")"
    # The window itself, off screen, on the simulator's camera; SIGTERM ends it with status 0.
    if [ -n "$sim_pid" ]; then
        timeout --preserve-status -s TERM 2 "$bin/r8v5mc" -platform offscreen --com1 "$camera" ||
            fail "r8v5mc did not run on the simulated camera (status $?)"
    fi
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$scratch/usr/share/applications/r8v5mc.desktop"
    fi
fi
if [ -n "$sim_pid" ]; then
    kill -TERM "$sim_pid"
    wait "$sim_pid" || fail "r8v5mc-sim did not end cleanly on SIGTERM"
    sim_pid=""
fi

# Every manual page is dated and names the other programs under SEE ALSO.
for page in "$scratch"/usr/share/man/man1/*.1.gz; do
    name=$(basename "$page" .1.gz)
    date=$(zcat "$page" | sed -n 's/^\.TH [^ ]* 1 "\([^"]*\)".*/\1/p')
    date -d "$date" >/dev/null 2>&1 || fail "$name(1): the date '$date' does not parse"
    see_also=$(zcat "$page" | sed -n '/^\.SH SEE ALSO/,/^\.SH/p' | sed 's/\\-/-/g')
    for other in r8v5mc r8v5mc-copy r8v5mc-ctl r8v5mc-sim; do
        [ "$other" = "$name" ] && continue
        echo "$see_also" | grep -q "^\.BR $other " || fail "$name(1): SEE ALSO does not name $other"
    done
done
echo "check-deb: every program starts from the unpacked packages"
