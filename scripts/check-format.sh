#!/usr/bin/env bash
# Every C++ source in the repository is formatted with its .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h')
if clang-format --dry-run --Werror $files; then
    echo "format: ok"
else
    echo "format: run clang-format -i on the files above" >&2
    exit 1
fi
