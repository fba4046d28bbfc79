#!/usr/bin/env bash
# Sets Vormant up on a Debian 12 machine and then either starts it or tests it.
#   tools/setup.sh run    install what building and running need
#                         (tools/debian-packages-run.txt), build the program,
#                         start the window
#   tools/setup.sh test   install that and what the tests need
#                         (tools/debian-packages-test.txt), build, run every
#                         check: the test suite, the suite again under the
#                         sanitizers, the reply fuzzer; then print how long
#                         each phase took and, last, the suite's summary
set -euo pipefail

mode=${1:-run}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VORMANT_BUILD_DIR:-$top/build}
jobs=$(nproc 2>/dev/null || echo 2)

case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# How long each phase took, printed at the end of a test run.
phases=()
now() { date +%s; }
phase_start() { phase_began=$(now); }
phase_end() { phase_took "$1" $(($(now) - phase_began)); }
phase_took() { phases+=("$(printf '%-44s %4d s' "$1" "$2")"); }

# install_missing LIST...: the packages of tools/debian-packages-LIST.txt
# that are not installed yet.
install_missing() {
    local list wanted missing=()
    for list in "$@"; do
        wanted=$(grep -v -E '^\s*(#|$)' "$top/tools/debian-packages-$list.txt")
        for pkg in $wanted; do
            dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
                missing+=("$pkg")
        done
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        # dpkg's unsafe-io leaves out a sync after every file it writes, as
        # Debian's container images do; they take most of an install's time,
        # and a crash in the middle only means installing again.
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            -o Dpkg::Options::=--force-unsafe-io "${missing[@]}"
    fi
}

# CI (CI=true) treats every compiler warning as an error.
werror=OFF
if [ "${CI:-}" = true ]; then werror=ON; fi

# The tests are configured only for a test run, which installs their tools.
# Each layer of the program compiles as one file here, a third of the time;
# the clang build of a test run compiles every file on its own, so a file
# that does not include what it uses still fails the run. The debug
# information is line tables (-g1): backtraces keep their files and lines,
# and writing the variables' information cost a sixth of each compile.
configure_main() {
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORMANT_WERROR="$werror" \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DVORMANT_UNITY=ON \
        -DBUILD_TESTING="$([ "$mode" = test ] && echo ON || echo OFF)" >/dev/null
}

if [ "$mode" = run ]; then
    install_missing run
    configure_main
    cmake --build "$build" -j "$jobs" --target vormant
    exec "$build/vormant"
fi

# The test run. Two builds: the program with its tests and benchmarks by gcc,
# and one by clang with AddressSanitizer and UndefinedBehaviorSanitizer that
# serves both the second pass of the suite and the reply fuzzer (its
# libraries also carry the fuzzer's coverage). The fuzzer, one process, is
# built first and runs beside all the rest: the install of the test tools,
# the builds, and the two passes of the suite side by side, which mostly wait
# on sockets and timers.
checked=${VORMANT_SANITIZE_BUILD_DIR:-$build/sanitize}
logs=$(mktemp -d)
background=()
cleanup() {
    local pid
    for pid in "${background[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$logs"
}
trap cleanup EXIT

# run_logged NAME COMMAND...: COMMAND in the background, its output in
# $logs/NAME.log, its status and time in $logs/NAME.status.
run_logged() {
    local name=$1
    shift
    (
        began=$(now)
        rc=0
        "$@" >"$logs/$name.log" 2>&1 </dev/null || rc=$?
        echo "$rc $(($(now) - began))" >"$logs/$name.status"
    ) &
    background+=($!)
}
# wait_logged NAME LABEL: waits for it and records its time; returns its status.
wait_logged() {
    local rc seconds
    while [ ! -e "$logs/$1.status" ]; do sleep 1; done
    read -r rc seconds <"$logs/$1.status"
    phase_took "$2" "$seconds"
    return "$rc"
}

all_began=$(now)
phase_start
install_missing run sanitizers
phase_end "Debian packages: to build, and clang"
if [ "$(id -u)" -ne 0 ]; then sudo -v; fi # the test tools install in the background
run_logged packages install_missing test

# -O2 as in a release, for the fuzzer, whose runs take more time than any
# other check (-O1 took about as long to build); it is a debug build all the
# same, with the checks of Qt's own headers. Line tables are all the
# sanitizers' reports need.
phase_start
configure_main
cmake -S "$top" -B "$checked" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS_DEBUG=-O2 -gline-tables-only" -DVORMANT_SANITIZE=ON -DVORMANT_FUZZ=ON \
    -DVORMANT_BENCH=OFF -DVORMANT_UNITY=OFF -DVORMANT_WERROR="$werror" >/dev/null
cmake --build "$checked" -j "$jobs" --target fuzz_replies
phase_end "Configure both, clang build: the fuzzer"

run_logged fuzz bash "$top/tools/test-steps/fuzz.sh" "$checked"

phase_start
cmake --build "$build" -j "$jobs"
phase_end "gcc build: program, tests, benchmarks"

phase_start
cmake --build "$checked" -j "$jobs"
phase_end "clang build: the tests"

phase_start
wait_logged packages "Debian packages: the test tools (beside)" || {
    cat "$logs/packages.log"
    echo "Installing the test tools failed." >&2
    exit 1
}
grep -v -E '^(Selecting|Preparing|Unpacking|Setting up|Processing|\(Reading)' "$logs/packages.log" || true
phase_end "Waiting for them"

phase_start
run_logged sanitize bash "$top/tools/test-steps/sanitize.sh" "$checked"
set +e
(cd "$build" && ctest --output-on-failure -j "$jobs") 2>&1 | tee "$logs/main.log"
main_status=${PIPESTATUS[0]}
set -e
phase_end "Tests"
sanitize_status=0
wait_logged sanitize "Tests under the sanitizers (beside them)" || sanitize_status=$?
fuzz_status=0
wait_logged fuzz "Fuzzer (beside the rest)" || fuzz_status=$?
background=()
phase_end "Tests and the rest of the fuzzer"
phase_took "In all" $(($(now) - all_began))

echo
echo "== The suite again, under AddressSanitizer and UndefinedBehaviorSanitizer"
cat "$logs/sanitize.log"
echo
cat "$logs/fuzz.log"
echo
echo "== How long each phase took"
printf '%s\n' "${phases[@]}"
echo

# The last lines are the summary of the suite.
echo "== The test suite (its summary again)"
sed -n '/tests passed\|tests failed/,$p' "$logs/main.log"

for status in "$sanitize_status" "$fuzz_status"; do
    [ "$status" -eq 0 ] || exit "$status"
done
exit "$main_status"
