#!/usr/bin/env bash
# Rules of the source tree that no compiler checks, run by CTest:
#   tools/check-sources.sh format            every C++ file is formatted as
#       .clang-format says (clang-format-14 --dry-run -Werror)
#   tools/check-sources.sh without-cups DIR  a configure in DIR that hides
#       libcups succeeds and the platform layer builds, printing through
#       Qt's own print path
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

case "${1:-}" in
format)
    format=$(command -v clang-format-14 || command -v clang-format)
    find app engine platform printing util tests bench fuzz \
        -name '*.cpp' -o -name '*.h' | sort | xargs "$format" --dry-run -Werror
    echo "All C++ sources are formatted."
    ;;
without-cups)
    build=${2:?usage: $0 without-cups BUILD_DIR}
    # Whether the layer compiles is all this build shows: it is made without
    # optimisation and debug information, which take most of a build's time
    # and change nothing of that (its warnings fail nothing).
    cmake -S "$top" -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_Cups=ON -DBUILD_TESTING=OFF \
        -DVORMANT_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0 -DNDEBUG" >"$build.configure.log" 2>&1 || {
        cat "$build.configure.log" >&2
        exit 1
    }
    grep -q "libcups not found" "$build.configure.log" || {
        echo "The configure found libcups although it was hidden." >&2
        exit 1
    }
    nice cmake --build "$build" --target vormant_platform -j2
    objects=$(find "$build/platform" -name 'PrinterQueue*.o' -printf '%f\n')
    if [ "$objects" != "PrinterQueueQt.cpp.o" ]; then
        echo "Expected Qt's print path alone in the platform layer, found: $objects" >&2
        exit 1
    fi
    echo "Configured and built the platform layer without libcups."
    ;;
*)
    echo "usage: $0 format|without-cups BUILD_DIR" >&2
    exit 2
    ;;
esac
