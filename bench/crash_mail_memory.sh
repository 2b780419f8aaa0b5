#!/usr/bin/env bash
# Peak memory of crash-mail while it mails a 200 MB report to a local sink that
# reads and discards the message. Attachments are streamed, so the peak must stay
# far below the report's size: the target is under 64 MB.
# usage: [BUILD_BIN=build/bin] bench/crash_mail_memory.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/common.sh"
bin=${BUILD_BIN:-$root/build/bin}
limit_kib=$((64 * 1024))
bench_setup crash-mail

head -c 200000000 /dev/urandom >"$work/report.dmp"

# The test suite's scripted server playing a conforming dialogue; its transcript
# goes to /dev/null, so it holds no more than one received chunk.
cat >"$work/script.txt" <<'SCRIPT'
send 220 sink ready\r\n
read
send 250-sink\r\n250 AUTH LOGIN\r\n
read
send 334 VXNlcm5hbWU6\r\n
read
send 334 UGFzc3dvcmQ6\r\n
read
send 235 ok\r\n
read
send 250 ok\r\n
read
send 250 ok\r\n
read
send 354 go ahead\r\n
data
send 250 discarded\r\n
read
send 221 bye\r\n
SCRIPT
bench_background /usr/bin/python3 "$root/crash_sender/mail/tests/scripted_smtp_server.py" \
  "$work/script.txt" /dev/null >"$work/port"
for _ in $(seq 100); do
  [[ -s $work/port ]] && break
  sleep 0.1
done
port=$(head -n1 "$work/port")

/usr/bin/time -f "%M %e" -o "$work/usage" "$bin/crash-mail" --port "$port" \
  "crash@example.com#dev@example.com#$work/report.dmp#0#127.0.0.1#user#pass" >"$work/lines"
read -r peak_kib seconds <"$work/usage"
tail -n1 "$work/lines"
echo "crash-mail mailed 200 MB in ${seconds} s; peak RSS ${peak_kib} KiB (limit ${limit_kib} KiB)"
if ((peak_kib >= limit_kib)); then
  echo "FAIL: peak memory over the limit" >&2
  exit 1
fi
