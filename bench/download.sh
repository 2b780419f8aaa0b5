#!/usr/bin/env bash
# Downloads one large file from nginx on loopback with `update-tool fetch` and with
# `curl -s -o`, in paired runs, and prints the medians of wall time and CPU time
# (user + system) of both and their ratios.
# usage: BUILD_BIN=<folder holding update-tool> bench/download.sh
#   RUNS (default 5) paired runs; SIZE_MIB (default 1024) size of the file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/common.sh"
tool=${BUILD_BIN:?BUILD_BIN must name the folder holding update-tool}/update-tool
runs=${RUNS:-5}
size_mib=${SIZE_MIB:-1024}
[[ -x $tool ]] || { echo "no update-tool in $BUILD_BIN" >&2; exit 1; }

# Output files go to the temporary folder's disk, and are deleted after each run.
bench_setup download
mkdir -p "$work/www" "$work/nginx" "$work/out"

echo "making a $size_mib MiB file..."
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/www/file.bin"

port=$(free_port)
sed -e "s|@PREFIX@|$work/nginx|g" -e "s|@ROOT@|$work/www|g" -e "s|@PORT@|$port|g" \
  "$root/update/engine/tests/nginx_test.conf.in" >"$work/nginx/nginx.conf"
bench_background /usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf"
url=http://127.0.0.1:$port/file.bin
for _ in $(seq 100); do
  curl -sfI "$url" -o /dev/null && break
  sleep 0.05
done
# Warm-up: the served file into the page cache.
curl -s -o /dev/null "$url"

# Runs one download; appends "wall cpu" (seconds) to the file $1.
measure() {
  local out=$work/out/file.bin
  time_command "$@"
  [[ $(stat -c %s "$out") -eq $((size_mib * 1024 * 1024)) ]] || { echo "short download: $*" >&2; exit 1; }
  rm -f "$out"
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

report_medians "update-tool fetch" "$work/tool.times" "curl -s -o" "$work/curl.times"
echo "target: wall ratio <= 1.05, cpu ratio <= 1.20 ($size_mib MiB)"
