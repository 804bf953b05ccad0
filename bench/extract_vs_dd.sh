#!/usr/bin/env bash
# Whole-process comparison of `kepla-pkg extract` with a durable copy of the same package by
# `dd bs=1M conv=fsync`: builds a package of SIZE MiB with `kepla-pkg build`, then times RUNS
# alternating runs of each (extract first, then dd, every output removed before its run) and
# prints both medians and their ratio (extract / dd; 1.00 or less is the aim).
#
# Usage: bench/extract_vs_dd.sh [--runs N] [--size MIB] [--dir DIR] [--kepla-pkg PATH]
#   --runs       pairs of runs (default 9)
#   --size       image size in MiB (default 256)
#   --dir        where the package and the outputs go; must be a real disk, not tmpfs
#                (default: a new folder in $TMPDIR or /tmp, removed at the end)
#   --kepla-pkg  the program to time (default: build/normal/tools/kepla-pkg)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

runs=9
size_mib=256
dir=""
pkg_tool="$root/build/normal/tools/kepla-pkg"
value() {
  if [ $# -lt 2 ] || [ -z "$2" ]; then
    echo "extract_vs_dd.sh: $1 needs a value (see --help)" >&2
    exit 2
  fi
  printf '%s' "$2"
}
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$(value "$@"); shift 2 ;;
    --size) size_mib=$(value "$@"); shift 2 ;;
    --dir) dir=$(value "$@"); shift 2 ;;
    --kepla-pkg) pkg_tool=$(value "$@"); shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) echo "extract_vs_dd.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
case "$runs$size_mib" in
  *[!0-9]*) echo "extract_vs_dd.sh: --runs and --size take whole numbers" >&2; exit 2 ;;
esac
if [ "$runs" -lt 1 ] || [ "$size_mib" -lt 1 ]; then
  echo "extract_vs_dd.sh: --runs and --size must be at least 1" >&2
  exit 2
fi
if [ ! -x "$pkg_tool" ]; then
  echo "extract_vs_dd.sh: $pkg_tool is missing; build it first:" >&2
  echo "  cmake --preset normal && cmake --build --preset normal --target kepla-pkg" >&2
  exit 2
fi

if [ -z "$dir" ]; then
  dir="$(mktemp -d "${TMPDIR:-/tmp}/kepla-extract-bench.XXXXXX")"
  trap 'rm -rf "$dir"' EXIT
else
  mkdir -p "$dir"
fi

echo "making a $size_mib MiB package in $dir"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$dir/image.nb0"
"$pkg_tool" build --language ENG --code WWE --model QMR407 --rom 1.20.407.1 \
  --ext-rom "1.20.407 ENG WWE" "$dir/image.nb0" -o "$dir/fw.bin" >/dev/null
rm -f "$dir/image.nb0"
sync

# Milliseconds of wall time that the command takes (its own output discarded, no terminal).
time_ms() {
  local start end
  start=$(date +%s%N)
  "$@" </dev/null >/dev/null || { echo "extract_vs_dd.sh: failed: $*" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

extract_times=()
dd_times=()
for ((i = 1; i <= runs; i++)); do
  rm -f "$dir/out.img" "$dir/dd.img"
  sync
  e=$(time_ms "$pkg_tool" extract "$dir/fw.bin" -o "$dir/out.img")
  d=$(time_ms dd if="$dir/fw.bin" of="$dir/dd.img" bs=1M conv=fsync status=none)
  extract_times+=("$e")
  dd_times+=("$d")
  printf 'run %2d: extract %6d ms   dd %6d ms\n' "$i" "$e" "$d"
done

# The output must be the image: the package less its trailer (the first block differs).
expected=$(($(stat -c %s "$dir/fw.bin") - 512))
if [ "$(stat -c %s "$dir/out.img")" -ne "$expected" ]; then
  echo "extract_vs_dd.sh: the extracted image has the wrong size" >&2
  exit 1
fi
"$pkg_tool" verify "$dir/fw.bin" "$dir/out.img" >/dev/null

me=$(median "${extract_times[@]}")
md=$(median "${dd_times[@]}")
echo "median of $runs: extract $me ms, dd $md ms"
awk -v e="$me" -v d="$md" 'BEGIN { printf "ratio extract/dd: %.2f\n", (d > 0 ? e / d : 0) }'
