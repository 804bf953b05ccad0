#!/usr/bin/env bash
# Builds and runs the whole test suite in the normal, address+undefined and thread sanitizer
# builds, then fuzzes each parser for a short bounded time (scripts/fuzz.sh).
# Usage: scripts/test.sh [preset...]   (default: normal asan tsan fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all

echo "=== format"
scripts/format.sh --check

presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(normal asan tsan fuzz)
jobs=$(nproc)

for preset in "${presets[@]}"; do
  if [ "$preset" = fuzz ]; then
    scripts/fuzz.sh --seconds 15 --parallel "$jobs"
    continue
  fi
  echo "=== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset tests"
  ctest --preset "$preset" -j "$jobs"
done
