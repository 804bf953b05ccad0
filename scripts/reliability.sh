#!/usr/bin/env bash
# Regenerates docs/reliability.md: runs the fault matrix (the FaultMatrix scenario test) with
# KEPLA_WRITE_RELIABILITY=1, which writes the document from the rows' outcomes. The test still
# fails when a row breaks the rule. Without the variable the test suite checks that the
# committed document is what the rows give.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset normal >/dev/null
cmake --build --preset normal -j2 --target scenario_tests kepla kepla-device
KEPLA_WRITE_RELIABILITY=1 build/normal/tests/scenario_tests --gtest_filter='FaultMatrix.*'
echo "wrote docs/reliability.md"
