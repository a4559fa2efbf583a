#!/bin/sh
# SPDX-License-Identifier: MIT
# Set-up on a fresh Debian machine: installs what is missing, builds, then
#   run   starts the tool against the built-in simulated camera
#   test  builds Release and with AddressSanitizer + UndefinedBehaviorSanitizer (warnings as
#         errors) and runs every test, makes the two Debian packages and checks them (lintian,
#         a scratch root), runs the non-window tests under ThreadSanitizer, builds the whole tree
#         with clang and runs the fuzz targets, and checks every source file's licence line
set -eu
cd "$(dirname "$0")/.."

# fonts-ipafont-gothic: a font with the Japanese characters of the tool's message texts.
# dpkg-dev and file: the Debian packages' library dependencies (dpkg-shlibdeps).
# lintian: the check of the Debian packages.
# ser2net: the serial device server the network port tests run against.
packages="cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev clang libclang-rt-14-dev
    fonts-ipafont-gothic dpkg-dev file lintian ser2net"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    as_root=""
    [ "$(id -u)" -eq 0 ] || as_root="sudo"
    $as_root apt-get update -q
    DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -q $missing
fi

jobs=$(nproc 2>/dev/null || echo 2)

case "${1:-run}" in
run)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$jobs" --target r8v5mc
    shift || true
    exec ./build/src/ui/r8v5mc --simulate "$@"
    ;;
test)
    export QT_QPA_PLATFORM=offscreen
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS="suppressions=$(pwd)/tools/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    # The plain suite on a Release build, as a distribution builds it; the Debian package
    # comes from the same build and is checked away from the build tree.
    cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DR8_WERROR=ON
    cmake --build build-release -j "$jobs"
    ctest --test-dir build-release --output-on-failure -j "$jobs"
    rm -f build-release/*.deb
    (cd build-release && cpack -G DEB >/dev/null)
    sh tools/check-deb.sh build-release/r8v5mc-tools_*.deb build-release/r8v5mc_*.deb
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DR8_SANITIZE=ON -DR8_WERROR=ON
    cmake --build build-asan -j "$jobs"
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
    # ThreadSanitizer, without the window: the link, loading, session, simulator, copy and fault
    # tests.
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DR8_TSAN=ON -DR8_BUILD_UI=OFF \
        -DR8_WERROR=ON
    cmake --build build-tsan -j "$jobs"
    TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs"
    # clang: the whole tree, the window included, is built with clang's warnings as errors (so
    # that neither compiler breaks unseen); of its tests the fuzz targets run: the seed corpora
    # replayed, then each target fuzzed for a bounded time; any crash, leak or sanitizer report
    # fails.
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DR8_FUZZ=ON -DR8_WERROR=ON
    cmake --build build-fuzz -j "$jobs"
    ctest --test-dir build-fuzz --output-on-failure -j "$jobs" -L fuzz
    # Every source file carries its licence line.
    sh tools/spdx-headers.sh --check
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
