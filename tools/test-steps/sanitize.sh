#!/usr/bin/env bash
# tools/test-steps/sanitize.sh BUILD_DIR
# The whole test suite once more, in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (tools/setup.sh test makes it): any memory error,
# leak or undefined behaviour in the program or the tests fails the step. The
# checks of the source tree itself (label "tree": the format, the layer
# probes, the build without libcups) run no code of the build and are left to
# the main pass.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:?usage: $0 BUILD_DIR}
jobs=$(nproc 2>/dev/null || echo 2)

# The first finding ends the process, so that no test can pass over one. The
# midnight test preloads libfaketime to move the clock, which puts it ahead
# of the sanitizer runtime in the library list; the runtime need not refuse
# that, since faketime only answers the clock calls.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:verify_asan_link_order=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$top/tools/lsan-suppressions.txt:print_suppressions=0

cd "$build"
ctest --output-on-failure -j "$jobs" -LE '^tree$'
