# Shared by the benchmark scripts: a scratch folder and background servers that
# are cleaned up on exit, paired timing of two commands, and medians.
# Source it; it defines functions only.

# bench_setup NAME: makes $work (a scratch folder) and arranges that it, and every
# process started with bench_background, goes away when the script exits.
bench_setup() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/bench-$1.XXXXXX")
  bench_pids=()
  trap bench_cleanup EXIT
}

bench_cleanup() {
  local pid
  for pid in "${bench_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}

# bench_background COMMAND...: starts a server for the benchmark, stopped at exit.
bench_background() {
  "$@" &
  bench_pids+=($!)
}

# free_port: a loopback port nobody listens on right now.
free_port() {
  /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Reads numbers, one a line; prints their median.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# time_command RESULT_FILE COMMAND...: runs the command under /usr/bin/time and
# appends "wall cpu" (seconds; cpu = user + system) to RESULT_FILE.
time_command() {
  local result=$1 timing
  shift
  timing=$(mktemp)
  /usr/bin/time -o "$timing" -f "%e %U %S" "$@" >/dev/null 2>>"${BENCH_STDERR:-/dev/null}"
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$timing" >>"$result"
  rm -f "$timing"
}

# report_medians NAME_A TIMES_A NAME_B TIMES_B: medians of both and A/B ratios.
report_medians() {
  local a_wall a_cpu b_wall b_cpu
  a_wall=$(cut -d' ' -f1 "$2" | median)
  a_cpu=$(cut -d' ' -f2 "$2" | median)
  b_wall=$(cut -d' ' -f1 "$4" | median)
  b_cpu=$(cut -d' ' -f2 "$4" | median)
  awk -v an="$1" -v aw="$a_wall" -v ac="$a_cpu" -v bn="$3" -v bw="$b_wall" -v bc="$b_cpu" 'BEGIN {
    printf "median  %-22s wall %.3f s  cpu %.3f s\n", an, aw, ac
    printf "median  %-22s wall %.3f s  cpu %.3f s\n", bn, bw, bc
    printf "ratio   %s / %s:  wall %.3f  cpu %.3f\n", an, bn, aw / bw, (bc > 0 ? ac / bc : 0)
  }'
}
