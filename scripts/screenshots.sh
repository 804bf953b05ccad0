#!/usr/bin/env bash
# Makes the README's pictures of the Win32 build: the three pages as Wine draws them, on a virtual
# display of the device's size. Usage: scripts/screenshots.sh [OUT_DIR]   (default docs/images)
# Needs the normal build (scripts/test.sh or cmake --build --preset normal), Wine, Xvfb,
# xdotool and ImageMagick (apt-get install xvfb xdotool imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/images}
bin=build/normal/sim
for tool in Xvfb xdotool import wine; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
[ -x "$bin/kepla" ] || { echo "screenshots: build first (cmake --build --preset normal)" >&2; exit 1; }
mkdir -p "$out"

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
"$bin/kepla-device" init "$work/phone" --demo >/dev/null

# Xvfb picks a free display and writes its number to fd 3 once it accepts clients.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 240x320x24 -nolisten tcp >/dev/null 2>&1 3>"$work/display" &
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

# With a display and no script, kepla lets the program use its real windows.
"$bin/kepla" --platform wine --device "$work/phone" >"$work/kepla.log" 2>&1 &

# Waits until a top-level window shows `text` in its title or a child, then lets it paint.
shot() {  # shot NAME
  sleep 1.5
  import -window root "$out/wine-$1.png"
  echo "wrote $out/wine-$1.png"
}
press() {  # press left|right: a tap on the soft key, in the bottom 26 pixels of the screen
  case $1 in left) x=60 ;; right) x=180 ;; esac
  xdotool mousemove "$x" 307 click 1
}

for _ in $(seq 300); do xdotool search --name '^ZQV$' >/dev/null 2>&1 && break; sleep 0.1; done
shot welcome
press left
shot prepare-ready
press left
sleep 4      # the bar, part way
import -window root "$out/wine-prepare.png" && echo "wrote $out/wine-prepare.png"
sleep 10     # the settle phase ends; the Finish page opens
shot finish
press right
wait %2 || true
