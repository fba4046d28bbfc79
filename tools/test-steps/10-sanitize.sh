#!/usr/bin/env bash
# The whole test suite once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer: any memory error, leak or undefined behaviour
# in the program or the tests fails the step.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VORMANT_SANITIZE_BUILD_DIR:-${VORMANT_BUILD_DIR:-$top/build}/sanitize}
jobs=$(nproc 2>/dev/null || echo 2)

echo "== Sanitizer build in $build"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVORMANT_SANITIZE=ON -DVORMANT_BENCH=OFF \
    -DVORMANT_WERROR="$([ "${CI:-}" = true ] && echo ON || echo OFF)" \
    >/dev/null
cmake --build "$build" -j "$jobs"

# The first finding ends the process, so that no test can pass over one. The
# midnight test preloads libfaketime to move the clock, which puts it ahead
# of the sanitizer runtime in the library list; the runtime need not refuse
# that, since faketime only answers the clock calls.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:verify_asan_link_order=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$top/tools/lsan-suppressions.txt:print_suppressions=0

echo "== Tests under the sanitizers"
cd "$build"
ctest --output-on-failure -j "$jobs"
