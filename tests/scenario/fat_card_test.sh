#!/bin/bash
# The card on real FAT file systems: FAT16 and FAT32 images mounted through FUSE (fusefat), the
# wizard run on them, then the unmounted images read back with mtools. The same runs on a plain
# folder card must leave the same files.
#
#   fat_card_test.sh KEPLA KEPLA-DEVICE KEPLA-PKG
#
# Exit 0 when every check holds, 1 on the first that does not, 77 (skipped, with the reason on
# stdout) where FUSE, fusefat, mkfs.vfat or mtools cannot be used here.
set -u

KEPLA=$1
KEPLA_DEVICE=$2
KEPLA_PKG=$3

skip() {
  echo "FAT card test skipped: $*"
  exit 77
}
fail() {
  echo "FAIL: $*"
  exit 1
}

for tool in fusefat fusermount mkfs.vfat mcopy mdir mattrib; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (see scripts/deps.sh)"
done
[ -c /dev/fuse ] || skip "/dev/fuse is missing"

work=$(mktemp -d "${TMPDIR:-/tmp}/kepla-fat.XXXXXX") || fail "no scratch folder"
mounted=()
cleanup() {
  for m in "${mounted[@]}"; do fusermount -u "$m" 2>/dev/null || fusermount -uz "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
export MTOOLS_SKIP_CHECK=1

# mount_image IMAGE FOLDER: mounts the image for writing (fusefat in the foreground, in the
# background of this script, so that unmount can wait until it has written everything); returns 1
# when FUSE refuses.
declare -A fusefat_pid
mount_image() {
  mkdir -p "$2"
  fusefat -f -o rw+ "$1" "$2" >"$work/fusefat.log" 2>&1 &
  local pid=$!
  for _ in $(seq 1 200); do
    if grep -q " $2 " /proc/self/mountinfo; then
      mounted+=("$2")
      fusefat_pid[$2]=$pid
      return 0
    fi
    kill -0 $pid 2>/dev/null || return 1
    sleep 0.05  # the mount comes up within milliseconds
  done
  return 1
}
unmount() {
  fusermount -u "$1" || fail "cannot unmount $1"
  wait "${fusefat_pid[$1]}"
  local kept=()
  for m in "${mounted[@]}"; do [ "$m" != "$1" ] && kept+=("$m"); done
  mounted=("${kept[@]+"${kept[@]}"}")
}

# The demo package, and the image the wizard must write from it.
"$KEPLA_DEVICE" init "$work/demo" --demo >/dev/null || fail "kepla-device init --demo"
package=$(ls "$work/demo/fs/Storage Card/Upgrade/"*.bin) || fail "no demo package"
package_name=$(basename "$package")
"$KEPLA_PKG" extract "$package" -o "$work/expected.img" >/dev/null || fail "kepla-pkg extract"
image_bytes=$(stat -c %s "$work/expected.img")

# run_scenarios CARD LABEL: the card's files, then two device folders mapped onto it: the program
# in \Upgrade with the package, and in \Case with the package named in capitals (".BIN", which
# the program does not take). Leaves kepla's stderr in $work/LABEL.err.
run_scenarios() {
  local card=$1 label=$2
  local dev=$work/$label-dev case_dev=$work/$label-case
  mkdir -p "$card/Upgrade" "$card/Case"
  cp "$package" "$card/Upgrade/" && cp "$package" "$card/Case/QMR407.BIN" || fail "$label: copy"
  # Written once: fusefat loses the clusters of a file that is cut and written again.
  [ -e "$card/readme.txt" ] || echo "notes" >"$card/readme.txt"
  mkdir -p "$dev" "$case_dev"
  printf '{"cards": {"Storage Card": "%s"}, "clock": "virtual"}\n' "$card" >"$dev/device.json"
  printf '{"cards": {"Storage Card": "%s"}, "clock": "virtual", "program": "\\\\Storage Card\\\\Case\\\\KEPLA.exe"}\n' \
    "$card" >"$case_dev/device.json"
  local err=$work/$label.err status
  : >"$err"
  "$KEPLA" --device "$case_dev" --timeout 20 --script left,ok 2>>"$err" >/dev/null
  status=$?
  [ $status = 16 ] || fail "$label: the run with QMR407.BIN ended with $status"
  [ -e "$card/407_QMR_SD.bin" ] && fail "$label: an image was written from QMR407.BIN"
  "$KEPLA" --device "$dev" --timeout 20 --script left,left,right 2>>"$err" >/dev/null
  status=$?
  [ $status = 16 ] || fail "$label: the wizard ended with $status: $(cat "$err")"
  "$KEPLA" --device "$dev" --timeout 20 -- install 2>>"$err" >/dev/null
  status=$?
  [ $status = 0 ] || fail "$label: install ended with $status"
  [ -e "$card/407_QMR_SD.bin" ] && fail "$label: install left the image"
  "$KEPLA" --device "$dev" --timeout 20 --script left,left,right 2>>"$err" >/dev/null
  status=$?
  [ $status = 16 ] || fail "$label: the second wizard run ended with $status"
  "$KEPLA_DEVICE" show "$dev" --json >"$work/$label.show.json" || fail "$label: show"
  "$KEPLA_DEVICE" show "$dev" >"$work/$label.show.txt" || fail "$label: show"
}

# listing FOLDER: "path size" of every file below it, folders as "path/".
listing() {
  (cd "$1" && find . -mindepth 1 \( -type d -printf '%P/\n' \) -o \( -type f -printf '%P %s\n' \) | LC_ALL=C sort)
}

# The plain folder: what every FAT card must hold afterwards.
run_scenarios "$work/plain" plain
listing "$work/plain" >"$work/plain.list"
package_bytes=$(stat -c %s "$package")
printf '%s\n' "407_QMR_SD.bin $image_bytes" "Case/" "Case/QMR407.BIN $package_bytes" "Upgrade/" \
  "Upgrade/$package_name $package_bytes" "readme.txt 6" | LC_ALL=C sort >"$work/expected.list"
diff "$work/expected.list" "$work/plain.list" >"$work/plain.diff" ||
  fail "plain: the card holds other files than expected:
$(cat "$work/plain.diff")"

# check_volume IMAGE LABEL: the unmounted image read with mtools.
check_volume() {
  local img=$1 label=$2
  local out=$work/$label-out
  mkdir -p "$out"
  mcopy -s -n -i "$img" '::/*' "$out/" 2>/dev/null || fail "$label: mcopy"
  listing "$out" >"$work/$label.list"
  diff "$work/plain.list" "$work/$label.list" >"$work/$label.diff" ||
    fail "$label: the card holds other files than the plain folder card:
$(cat "$work/$label.diff")"
  cmp -s "$out/407_QMR_SD.bin" "$work/expected.img" || fail "$label: the image differs from kepla-pkg extract"
  cmp -s "$out/Upgrade/$package_name" "$package" || fail "$label: the package changed"
  local attributes
  attributes=$(mattrib -i "$img" ::/407_QMR_SD.bin 2>/dev/null | head -n 1)
  if [[ "$attributes" == *H* ]]; then
    echo "$label: the image is hidden in its FAT entry"
  else
    # A FUSE FAT mount may keep no attributes: then the device folder must have the record.
    grep -q '"attributesKept": *"deviceFolder"' "$work/$label.show.json" ||
      fail "$label: the image is not hidden and the card was said to keep attributes"
    grep -q "^00000002 407_QMR_SD.bin\$" "$work/$label-dev/attributes/Storage Card.attributes" ||
      fail "$label: no record of the hidden image in the device folder"
    grep -q "hidden attribute is kept only in the device folder" "$work/$label.err" ||
      fail "$label: kepla did not say where the hidden attribute is kept"
    echo "$label: the mount could not set the FAT hidden attribute ($attributes); it is recorded in the device folder"
  fi
  grep -q "the phone's bootloader reads FAT volumes only" "$work/$label.err" &&
    fail "$label: kepla warned about a FAT card"
  return 0
}

for fat in 16 32; do
  img=$work/fat$fat.img
  # 256 MiB (sparse): room for the 200 MiB the wizard asks for. FAT32 with 2 KiB clusters:
  # mkfs.vfat's 512 bytes would be allowed, but fusefat then reports no space at all.
  truncate -s 256M "$img"
  cluster=()
  [ $fat = 32 ] && cluster=(-s 4)
  mkfs.vfat -F $fat "${cluster[@]}" "$img" >/dev/null 2>&1 || skip "mkfs.vfat -F $fat fails here"
  mount_image "$img" "$work/mnt$fat" || skip "fusefat cannot mount here: $(head -n 1 "$work/fusefat.log")"
  # An earlier version's record on the card root, for a file that is on the card.
  echo "notes" >"$work/mnt$fat/readme.txt"
  printf '00000002 readme.txt\n' >"$work/mnt$fat/.kepla-attributes"
  run_scenarios "$work/mnt$fat" "fat$fat"
  grep -q '"fileSystem": *"fuse.fusefat"' "$work/fat$fat.show.json" || fail "fat$fat: show names no fuse.fusefat"
  grep -q '"mountPoint": *true' "$work/fat$fat.show.json" || fail "fat$fat: show says no mount point"
  # The first device to meet it (the one of \Case) took it over.
  grep -q 'readme.txt .* hidden$' <("$KEPLA_DEVICE" show "$work/fat$fat-case") ||
    fail "fat$fat: the earlier record of readme.txt was lost"
  unmount "$work/mnt$fat"
  check_volume "$img" "fat$fat"
done

# The plain folder card outside the device folder is not FAT: kepla says so.
grep -q "the phone's bootloader reads FAT volumes only" "$work/plain.err" || fail "plain: no warning"

# A FAT16 volume too small for the package: the wizard refuses it for its free space, and writes
# nothing.
img=$work/small.img
truncate -s 16M "$img"
mkfs.vfat -F 16 "$img" >/dev/null 2>&1 || skip "mkfs.vfat -F 16 fails here"
mount_image "$img" "$work/small" || skip "fusefat cannot mount here"
mkdir -p "$work/small/Upgrade" "$work/small-dev"
cp "$package" "$work/small/Upgrade/"
printf '{"cards": {"Storage Card": "%s"}, "clock": "virtual"}\n' "$work/small" >"$work/small-dev/device.json"
"$KEPLA" --device "$work/small-dev" --timeout 20 --script left,ok \
  --transcript "$work/small.jsonl" 2>/dev/null >/dev/null
status=$?
[ $status = 16 ] || fail "small: the wizard ended with $status"
grep -q '"type":"messagebox".*not enough space in your storage card' "$work/small.jsonl" ||
  fail "small: no message about the free space: $(grep messagebox "$work/small.jsonl")"
unmount "$work/small"
mdir -a -b -i "$img" ::/ | grep -qi 407_QMR_SD && fail "small: an image was written"
mdir -a -b -i "$img" ::/ | grep -qi kepla && fail "small: a file of ours is on the card"

echo "FAT card test passed: FAT16 and FAT32 through fusefat, and a full FAT16 volume refused"
