# Shared by the benchmark scripts: paired timing of two commands and medians.
# Source it; it defines functions only.

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
