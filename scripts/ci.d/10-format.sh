#!/usr/bin/env bash
# Every C and C++ file follows the checked-in .clang-format.
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v clang-format >/dev/null; then
    echo "format: clang-format not installed, skipped"
    exit 0
fi
files=$(git ls-files '*.cpp' '*.h' '*.c' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
if clang-format --dry-run -Werror $files; then
    echo "format: all files formatted"
else
    echo "format: run clang-format -i on the files above"
    exit 1
fi
