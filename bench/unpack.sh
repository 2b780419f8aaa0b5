#!/usr/bin/env bash
# Unpacks one zip of 2,000 small files and one 100 MB file with `update-tool
# unpack` (through the unpacking library) and with `bsdtar -xf`, in paired runs,
# and prints the medians and their ratio. Target: update-tool at most 1.1x bsdtar's
# wall time.
# usage: BUILD_BIN=<folder holding update-tool> bench/unpack.sh   (RUNS, default 5)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
tool=${BUILD_BIN:?BUILD_BIN must name the folder holding update-tool}/update-tool
runs=${RUNS:-5}
[[ -x $tool ]] || { echo "no update-tool in $BUILD_BIN" >&2; exit 1; }

bench_setup unpack
mkdir -p "$work/tree/small" "$work/out"

echo "making the archive..."
for i in $(seq 1 2000); do
  printf 'file %d of the small ones\n%*s\n' "$i" $((i % 900)) "" >"$work/tree/small/f$i.txt"
done
head -c $((100 * 1000 * 1000)) /dev/urandom >"$work/tree/big.bin"
(cd "$work/tree" && zip -qr "$work/game.zip" .)
ls -l "$work/game.zip" | awk '{ printf "archive: %.1f MB\n", $5 / 1e6 }'

: >"$work/tool.times"
: >"$work/bsdtar.times"
unpack_tool() { time_command "$work/tool.times" "$tool" unpack "$work/game.zip" --dir "$work/out"; }
unpack_bsdtar() { time_command "$work/bsdtar.times" bsdtar -xf "$work/game.zip" -C "$work/out"; }
check_and_clear() {
  [[ $(find "$work/out" -type f | wc -l) -eq 2001 ]] || { echo "incomplete unpack" >&2; exit 1; }
  cmp -s "$work/out/big.bin" "$work/tree/big.bin" || { echo "big.bin differs" >&2; exit 1; }
  rm -rf "$work/out" && mkdir "$work/out"
}
for ((i = 1; i <= runs; i++)); do
  # Alternate who goes first, so that neither always finds a warmer cache.
  if ((i % 2)); then
    unpack_tool && check_and_clear && unpack_bsdtar && check_and_clear
  else
    unpack_bsdtar && check_and_clear && unpack_tool && check_and_clear
  fi
  echo "run $i: update-tool $(tail -1 "$work/tool.times")  bsdtar $(tail -1 "$work/bsdtar.times")  (wall cpu, s)"
done
report_medians "update-tool unpack" "$work/tool.times" "bsdtar -xf" "$work/bsdtar.times"
echo "target: wall ratio <= 1.10"
