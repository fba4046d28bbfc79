#!/usr/bin/env bash
# Rules of the source tree that no compiler checks, run by CTest:
#   tools/check-sources.sh window-boundary   the engine and printing reach the
#       window only through app/WindowParts.h, never through its widget class
#   tools/check-sources.sh format            every C++ file is formatted as
#       .clang-format says (clang-format-14 --dry-run -Werror)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

case "${1:-}" in
window-boundary)
    if grep -l -E '#include[[:space:]]+"app/frmMain\.h"' engine/* printing/*; then
        echo "These files include app/frmMain.h; use app/WindowParts.h instead." >&2
        exit 1
    fi
    echo "engine/ and printing/ reach the window through app/WindowParts.h only."
    ;;
format)
    format=$(command -v clang-format-14 || command -v clang-format)
    find app engine platform printing util tests bench fuzz \
        -name '*.cpp' -o -name '*.h' | sort | xargs "$format" --dry-run -Werror
    echo "All C++ sources are formatted."
    ;;
*)
    echo "usage: $0 window-boundary|format" >&2
    exit 2
    ;;
esac
