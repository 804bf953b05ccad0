#!/usr/bin/env bash
# Formats every C++ file git tracks with the project's .clang-format.
# Usage: scripts/format.sh [--check]   (--check changes nothing and fails on any difference)
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(-i)
[ "${1:-}" = "--check" ] && mode=(--dry-run --Werror)
git ls-files -z '*.cc' '*.h' | xargs -0 clang-format "${mode[@]}"
