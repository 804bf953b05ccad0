#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, address + undefined behaviour sanitizers; the layer is
# also checked by clang's lock analysis, -Wthread-safety, as errors) and runs each
# fuzz target of tests/fuzz for a bounded time, starting from its committed corpus. The committed
# corpus is only read: new inputs go to build/fuzz/work/TARGET. A finding (a crash, a sanitizer
# report, a failed check, a hang or too much memory) fails the run; its input is left in
# build/fuzz/findings/ (add it to tests/fuzz/corpus/TARGET/ once the parser is fixed).
#
# Usage: scripts/fuzz.sh [--seconds N] [--parallel P] [TARGET...]
#   --seconds   how long each target runs (default 15)
#   --parallel  how many targets run at the same time (default 1)
#   TARGET      res_file, dialog_template, ... (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=15
parallel=1
targets=()
value() {
  if [ $# -lt 2 ] || [ -z "$2" ]; then
    echo "fuzz.sh: $1 needs a value (see --help)" >&2
    exit 2
  fi
  printf '%s' "$2"
}
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$(value "$@"); shift 2 ;;
    --parallel) parallel=$(value "$@"); shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
case "$seconds$parallel" in
  *[!0-9]*|"") echo "fuzz.sh: --seconds and --parallel take whole numbers" >&2; exit 2 ;;
esac
[ "$parallel" -ge 1 ] || parallel=1
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*_fuzz.cc; do
    name=$(basename "$f" _fuzz.cc)
    targets+=("$name")
  done
fi
for t in "${targets[@]}"; do
  if [ ! -f "tests/fuzz/${t}_fuzz.cc" ] || [ ! -d "tests/fuzz/corpus/$t" ]; then
    echo "fuzz.sh: no fuzz target $t (tests/fuzz/${t}_fuzz.cc and tests/fuzz/corpus/$t/)" >&2
    exit 2
  fi
done

echo "=== fuzz build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

out=build/fuzz
mkdir -p "$out/work" "$out/findings" "$out/logs"

# Runs one target; its log goes to build/fuzz/logs/TARGET.log.
run_target() {
  local t="$1" dict=() start end rc=0
  mkdir -p "$out/work/$t"
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
  start=$(date +%s)
  "$out/tests/fuzz/${t}_fuzz" "$out/work/$t" "tests/fuzz/corpus/$t" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/findings/$t-" >"$out/logs/$t.log" 2>&1 || rc=$?
  end=$(date +%s)
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/logs/$t.log" | tail -1)
  if [ "$rc" -eq 0 ]; then
    printf '%-16s ok       %5d s  %s runs\n' "$t" "$((end - start))" "${runs:-?}"
  else
    printf '%-16s FINDING  %5d s  (exit %d; see %s)\n' "$t" "$((end - start))" "$rc" \
      "$out/logs/$t.log"
    grep -E "^(==[0-9]+==ERROR|SUMMARY|.*check failed|artifact_prefix|Test unit written)" \
      "$out/logs/$t.log" | head -n 8 || true
  fi
  return "$rc"
}

echo "=== fuzz: ${#targets[@]} targets, $seconds s each, $parallel at a time"
failed=0
pids=()
for t in "${targets[@]}"; do
  run_target "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$parallel" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "fuzz: findings; inputs in $out/findings/" >&2
  exit 1
fi
