#!/usr/bin/env bash
# Builds the programs (once) and runs the wizard on the demo device in this terminal.
# Arguments are passed to kepla (see kepla --help).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" build
if [ ! -x "$root/build/normal/sim/kepla" ] || [ -n "$(find "$root" -path "$root/build" -prune -o -newer "$root/build/normal/sim/kepla" -type f \( -name '*.cc' -o -name '*.h' -o -name '*.rc' -o -name CMakeLists.txt \) -print -quit)" ]; then
  echo "Building kepla (first run takes a minute)..." >&2
  cmake --preset normal >/dev/null
  cmake --build --preset normal -j "$(nproc)" --target kepla kepla-device kepla-pkg >/dev/null
fi
exec "$root/build/normal/sim/kepla" "$@"
