#!/usr/bin/env bash
# Installs the Debian packages the build needs, when missing (only as root; otherwise it says
# what to install).
set -euo pipefail

# libclang-rt-14-dev: clang's sanitizer and libFuzzer runtimes (the fuzz preset).
packages=(cmake ninja-build g++ clang llvm libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev nlohmann-json3-dev libcli11-dev libutfcpp-dev libncurses-dev tmux
          clang-format)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
