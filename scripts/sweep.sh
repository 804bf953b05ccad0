#!/usr/bin/env bash
# Regenerates the call sweep's section of docs/reliability.md: runs the CallSweep scenario test
# in the normal preset with KEPLA_WRITE_SWEEP=1, which writes the section from the sweep's counts
# (the rest of the page is the fault matrix's, scripts/reliability.sh). The test still fails when
# a rerun breaks a rule.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset normal >/dev/null
cmake --build --preset normal -j2 --target scenario_tests kepla kepla-device kepla-pkg
KEPLA_WRITE_SWEEP=1 build/normal/tests/scenario_tests --gtest_filter='CallSweep.*'
echo "wrote the call sweep's section of docs/reliability.md"
