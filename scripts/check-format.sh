#!/bin/sh
# Checks that every C++ source of the tree is as clang-format (14, the one scripts/setup.sh
# installs) writes it with the tree's .clang-format; lists the files that differ and fails.
# "clang-format -i FILE" mends one.
set -e
cd "$(dirname "$0")/.."
FORMAT="$(command -v clang-format-14 || command -v clang-format || true)"
if [ -z "$FORMAT" ]; then
  echo "clang-format is not installed (scripts/setup.sh installs it)" >&2
  exit 2
fi
differ=0
for f in $(git ls-files '*.cpp' '*.h'); do
  if ! "$FORMAT" --style=file "$f" | cmp -s - "$f"; then
    echo "$f"
    differ=$((differ + 1))
  fi
done
if [ "$differ" -gt 0 ]; then
  echo "$differ files differ from the style of .clang-format" >&2
  exit 1
fi
echo "every source file has the style of .clang-format"
