#!/usr/bin/env bash
# Applies .clang-format to every tracked C++ file; with --check only reports
# the files that differ and fails when there are any.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    bad=0
    for f in "${files[@]}"; do
        if ! clang-format "$f" | cmp -s - "$f"; then
            echo "not formatted: $f" >&2
            bad=1
        fi
    done
    [ "$bad" -eq 0 ] || { echo "format.sh: run 'bash scripts/format.sh' (or the format target)" >&2; exit 1; }
    echo "format: all ${#files[@]} files match .clang-format"
else
    clang-format -i "${files[@]}"
fi
