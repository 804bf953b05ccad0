#!/usr/bin/env bash
# Installs the Debian packages that KEPLA needs, when missing (as root; otherwise it names what
# to install). Usage: scripts/deps.sh [build|all]   (default: all)
#
#   build   what the programs and the normal tests need; the only group whose failure stops us
#   tools   clang and its runtimes (fuzzing), Google Benchmark, tmux, clang-format
#   fat     fusefat, dosfstools and mtools: the tests on a real FAT volume
#   cross   mingw-w64, for the Win32 build
#   wine    wine wine64 wine32:i386, else wine wine64 (the 64-bit Win32 build then runs)
#   xvfb    the virtual display the Wine tests show the program on
#
# Each group is installed by an apt-get of its own, so that a group the mirror cannot serve
# takes nothing else with it. A failed `apt-get update` (an index not fetched, say during a
# mirror sync) is a warning: the lists there are may still hold everything.
set -uo pipefail

want=${1:-all}
case "$want" in
  build | all) ;;
  -h | --help)
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  *)
    echo "deps: unknown group '$want' (build or all)" >&2
    exit 2
    ;;
esac

build=(cmake ninja-build g++ llvm libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev
       libutfcpp-dev libncurses-dev)
# libclang-rt-14-dev: clang's sanitizer and libFuzzer runtimes (the fuzz preset).
tools=(clang libclang-rt-14-dev libbenchmark-dev tmux clang-format)
fat=(fusefat dosfstools mtools)
cross=(g++-mingw-w64-i686 g++-mingw-w64-x86-64)
xvfb=(xvfb)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

groups=(build)
[ "$want" = all ] && groups=(build tools fat cross wine xvfb)

# What is missing, group by group. Wine counts as there once wine and wine64 are: its 32-bit
# half is tried once, when Wine itself is installed, and not again on every run.
declare -A missing
any_missing=0
for g in "${groups[@]}"; do
  if [ "$g" = wine ]; then
    list=$(missing_of wine wine64 | tr '\n' ' ')
    [ -n "$list" ] && list+="wine32:i386"
  else
    declare -n members="$g"
    list=$(missing_of "${members[@]}" | tr '\n' ' ')
    unset -n members
  fi
  missing[$g]=$(echo $list)
  [ -n "${missing[$g]}" ] && any_missing=1
done
[ "$any_missing" -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  all=""
  for g in "${groups[@]}"; do all+="${missing[$g]} "; done
  echo "deps: missing packages: $(echo $all)" >&2
  if [[ "${missing[wine]:-}" == *wine32:i386* ]]; then
    echo "deps: install them as root: dpkg --add-architecture i386 && apt-get update &&" \
         "apt-get install $(echo $all)" >&2
  else
    echo "deps: install them as root: apt-get install $(echo $all)" >&2
  fi
  # Without the build group nothing builds; without the others their tests say they were skipped.
  [ -z "${missing[build]}" ] || exit 1
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp /tmp/kepla-deps.XXXXXX)
trap 'rm -f "$log"' EXIT

update() {
  if ! apt-get update -qq >"$log" 2>&1; then
    echo "deps: warning: apt-get update failed; going on with the package lists there are:" >&2
    grep -E '^(E|W):' "$log" | head -3 | sed 's/^/deps:   /' >&2
  fi
}

# Installs the named packages in one apt-get; on failure leaves its errors in $log.
install() {
  apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

apt_errors() { grep -E '^E:' "$log" | head -3 | sed 's/^/deps:   /' >&2; }

done_list=()
not_list=()
consequences=()

echo "deps: installing what is missing:$(for g in "${groups[@]}"; do
  [ -n "${missing[$g]}" ] && printf ' [%s] %s' "$g" "${missing[$g]}"; done)" >&2
update

for g in "${groups[@]}"; do
  [ -n "${missing[$g]}" ] || continue
  [ "$g" = wine ] && continue
  # shellcheck disable=SC2086
  if install ${missing[$g]}; then
    done_list+=(${missing[$g]})
    continue
  fi
  if [ "$g" = build ]; then
    echo "deps: the build needs these packages, and apt-get could not install them:" \
         "${missing[$g]}" >&2
    apt_errors
    exit 1
  fi
  not_list+=(${missing[$g]})
  apt_errors
  case "$g" in
    tools) consequences+=("the fuzz preset and the screen benchmarks cannot build") ;;
    fat) consequences+=("the FAT volume tests are skipped") ;;
    cross) consequences+=("no Win32 build: --platform wine is off and the Wine tests are skipped") ;;
    xvfb) consequences+=("Wine tests skipped: no Xvfb") ;;
  esac
done

if [ -n "${missing[wine]:-}" ]; then
  added_i386=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    added_i386=1
    update
  fi
  if install wine wine64 wine32:i386; then
    done_list+=(wine wine64 wine32:i386)
  elif install wine wine64; then
    done_list+=(wine wine64)
    not_list+=(wine32:i386)
    consequences+=("wine32:i386 could not be installed: the Wine tests run the 64-bit Win32 build")
  else
    not_list+=(wine wine64 wine32:i386)
    apt_errors
    consequences+=("Wine tests skipped: Wine could not be installed")
  fi
  # Leave apt as we found it when the 32-bit half did not come.
  if [ "$added_i386" -eq 1 ] && ! installed wine32:i386; then
    if dpkg --remove-architecture i386 2>/dev/null; then
      apt-get update -qq >/dev/null 2>&1 || true
    fi
  fi
fi

summary="deps: installed: ${done_list[*]:-nothing}"
[ ${#not_list[@]} -gt 0 ] && summary+="; not installed: ${not_list[*]}"
for c in "${consequences[@]}"; do summary+="; $c"; done
echo "$summary" >&2
exit 0
