#!/usr/bin/env bash
# Downloads one large file from nginx on loopback with `update-tool fetch` and with
# `curl -s -o`, in paired runs, and prints the medians of wall time and CPU time
# (user + system) of both and their ratios.
# usage: BUILD_BIN=<folder holding update-tool> bench/download.sh
#   RUNS (default 5) paired runs; SIZE_MIB (default 1024) size of the file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${BUILD_BIN:?BUILD_BIN must name the folder holding update-tool}/update-tool
runs=${RUNS:-5}
size_mib=${SIZE_MIB:-1024}
[[ -x $tool ]] || { echo "no update-tool in $BUILD_BIN" >&2; exit 1; }

# Output files go to the temporary folder's disk, and are deleted after each run.
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-download.XXXXXX")
nginx_pid=
cleanup() {
  if [[ -n $nginx_pid ]]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/www" "$work/nginx" "$work/out"

echo "making a $size_mib MiB file..."
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/www/file.bin"

port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e "s|@PREFIX@|$work/nginx|g" -e "s|@ROOT@|$work/www|g" -e "s|@PORT@|$port|g" \
  "$root/update/engine/tests/nginx_test.conf.in" >"$work/nginx/nginx.conf"
/usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
url=http://127.0.0.1:$port/file.bin
for _ in $(seq 100); do
  curl -sfI "$url" -o /dev/null && break
  sleep 0.05
done
# Warm-up: the served file into the page cache.
curl -s -o /dev/null "$url"

# Runs one download; appends "wall cpu" (seconds) to the file $1.
measure() {
  local result=$1 out=$work/out/file.bin
  shift
  /usr/bin/time -o "$work/time" -f "%e %U %S" "$@" 2>>"$work/stderr" >/dev/null
  [[ $(stat -c %s "$out") -eq $((size_mib * 1024 * 1024)) ]] || { echo "short download: $*" >&2; exit 1; }
  rm -f "$out"
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time" >>"$result"
}

: >"$work/tool.times"
: >"$work/curl.times"
for ((i = 1; i <= runs; i++)); do
  # Alternate who goes first, so that neither always finds a fresher cache.
  if ((i % 2)); then
    measure "$work/tool.times" "$tool" fetch "$url" "$work/out/file.bin"
    measure "$work/curl.times" curl -s -o "$work/out/file.bin" "$url"
  else
    measure "$work/curl.times" curl -s -o "$work/out/file.bin" "$url"
    measure "$work/tool.times" "$tool" fetch "$url" "$work/out/file.bin"
  fi
  echo "run $i: update-tool $(tail -1 "$work/tool.times")  curl $(tail -1 "$work/curl.times")  (wall cpu, s)"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
tool_wall=$(cut -d' ' -f1 "$work/tool.times" | median)
tool_cpu=$(cut -d' ' -f2 "$work/tool.times" | median)
curl_wall=$(cut -d' ' -f1 "$work/curl.times" | median)
curl_cpu=$(cut -d' ' -f2 "$work/curl.times" | median)
awk -v tw="$tool_wall" -v tc="$tool_cpu" -v cw="$curl_wall" -v cc="$curl_cpu" -v mib="$size_mib" 'BEGIN {
  printf "median of %s MiB:  update-tool fetch  wall %.3f s  cpu %.3f s  (%.0f MiB/s)\n", mib, tw, tc, mib / tw
  printf "                  curl -s -o         wall %.3f s  cpu %.3f s  (%.0f MiB/s)\n", cw, cc, mib / cw
  printf "ratio update-tool/curl:  wall %.3f (target <= 1.05)  cpu %.3f (target <= 1.20)\n", tw / cw, (cc > 0 ? tc / cc : 0)
}'
