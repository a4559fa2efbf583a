#!/bin/sh
# Checks a Debian package of the tool away from the build tree: unpacks it into a scratch root,
# compares its file list with the expected one, reads its dependencies and runs the programs
# from the scratch root.
#   sh tools/check-deb.sh PACKAGE.deb
set -eu
deb=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

expected="./usr/bin/r8v5mc
./usr/bin/r8v5mc-copy
./usr/bin/r8v5mc-ctl
./usr/bin/r8v5mc-sim
./usr/share/applications/r8v5mc.desktop
./usr/share/icons/hicolor/scalable/apps/r8v5mc.svg
./usr/share/man/man1/r8v5mc-copy.1
./usr/share/man/man1/r8v5mc-ctl.1
./usr/share/man/man1/r8v5mc-sim.1
./usr/share/man/man1/r8v5mc.1"
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
if [ "$actual" != "$expected" ]; then
    echo "check-deb: unexpected file list in $deb:" >&2
    echo "$actual" >&2
    exit 1
fi

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins fonts-ipafont-gothic; do
    case "$depends" in
    *"$needed"*) ;;
    *)
        echo "check-deb: $deb does not depend on $needed: $depends" >&2
        exit 1
        ;;
    esac
done

dpkg -x "$deb" "$scratch"
"$scratch/usr/bin/r8v5mc" --version >/dev/null
"$scratch/usr/bin/r8v5mc-copy" --help >/dev/null
"$scratch/usr/bin/r8v5mc-ctl" --help >/dev/null
"$scratch/usr/bin/r8v5mc-sim" --help >/dev/null
desktop-file-validate "$scratch/usr/share/applications/r8v5mc.desktop" 2>/dev/null ||
    ! command -v desktop-file-validate >/dev/null
man -l "$scratch/usr/share/man/man1/r8v5mc.1" >/dev/null 2>&1 || ! command -v man >/dev/null
echo "check-deb: $deb is complete ($(echo "$actual" | wc -l) files)"
