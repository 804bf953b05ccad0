#!/usr/bin/env bash
# Installs the Debian packages the build needs, when missing (only as root; otherwise it says
# what to install). Wine's 32-bit half needs the i386 architecture; where Wine cannot be
# installed the build goes on without it and the Wine tests say they were skipped.
set -euo pipefail

# libclang-rt-14-dev: clang's sanitizer and libFuzzer runtimes (the fuzz preset).
packages=(cmake ninja-build g++ clang llvm libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev nlohmann-json3-dev libcli11-dev libutfcpp-dev libncurses-dev tmux
          clang-format g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb)
wine_packages=(wine wine64 wine32:i386)

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_wine < <(missing_of "${wine_packages[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_wine[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  all=("${missing[@]}" "${missing_wine[@]}")
  echo "Missing packages: ${all[*]}" >&2
  if [ ${#missing_wine[@]} -gt 0 ]; then
    echo "Install them with: sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
         "sudo apt-get install ${all[*]}" >&2
  else
    echo "Install them with: sudo apt-get install ${all[*]}" >&2
  fi
  # Without the required ones nothing builds; without Wine only its tests are skipped.
  [ ${#missing[@]} -eq 0 ] || exit 1
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing_wine[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]} ${missing_wine[*]}"
apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ ${#missing_wine[@]} -gt 0 ]; then
  if ! apt-get install -y -qq --no-install-recommends "${missing_wine[@]}" >/dev/null; then
    echo "deps: Wine could not be installed; the Wine tests will be skipped" >&2
  fi
fi
