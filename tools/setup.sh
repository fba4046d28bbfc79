#!/usr/bin/env bash
# Sets Vormant up on a Debian 12 machine and then either starts it or tests it.
#   tools/setup.sh run    install what is missing, build, start the window
#   tools/setup.sh test   install what is missing, build, run every test
set -euo pipefail

mode=${1:-run}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VORMANT_BUILD_DIR:-$top/build}
jobs=$(nproc 2>/dev/null || echo 2)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local wanted missing=()
    wanted=$(grep -v -E '^\s*(#|$)' "$top/tools/debian-packages.txt")
    for pkg in $wanted; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
    fi
}

# CI (CI=true) treats every compiler warning as an error.
werror=OFF
if [ "${CI:-}" = true ]; then werror=ON; fi

build() {
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORMANT_WERROR="$werror" >/dev/null
    cmake --build "$build" -j "$jobs"
}

install_missing
build

case "$mode" in
run)
    exec "$build/vormant"
    ;;
test)
    # Further test steps (other builds, the fuzzer) run first, so that the
    # last lines printed are the summary of the main test suite.
    status=0
    for extra in "$top"/tools/test-steps/*.sh; do
        [ -e "$extra" ] || continue
        bash "$extra" || status=$?
    done
    (cd "$build" && ctest --output-on-failure -j "$jobs") || status=$?
    exit $status
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
