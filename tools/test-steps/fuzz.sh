#!/usr/bin/env bash
# tools/test-steps/fuzz.sh BUILD_DIR
# Runs the reply fuzzer of the sanitizer build (tools/setup.sh test makes it)
# for a bounded number of executions over the corpus kept in fuzz/corpus. A
# broken invariant, a crash or a sanitizer finding fails the step and leaves
# the input that caused it in the build directory.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:?usage: $0 BUILD_DIR}
runs=${VORMANT_FUZZ_RUNS:-200000}

# What the fuzzer finds on its way goes to a scratch directory: the corpus in
# the repository changes only when someone merges finds into it on purpose.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A smaller quarantine and shorter allocation stacks keep the runs fast; the
# checks themselves are the same.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:quarantine_size_mb=16:malloc_context_size=4
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$top/tools/lsan-suppressions.txt:print_suppressions=0

echo "== Fuzzing the reply framing and the dialogue: $runs runs"
# The progress lines of each new find are left out of the log.
{
    rc=0
    "$build/fuzz/fuzz_replies" -runs="$runs" -max_len=4096 -max_total_time=1200 \
        -print_final_stats=1 -artifact_prefix="$build/" \
        "$scratch" "$top/fuzz/corpus/seeds" "$top/fuzz/corpus/found" 2>&1 || rc=$?
    echo "$rc" >"$scratch/status"
} | grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE)' || true
status=$(cat "$scratch/status")
if [ "$status" -ne 0 ]; then
    echo "The fuzzer failed (status $status); the input that did it is in $build/" >&2
fi
exit "$status"
