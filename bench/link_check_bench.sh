#!/usr/bin/env bash
# Times `lirrevo-cli check` by hand: LINKS links (default 500) over HOSTS
# loopback hosts (default 20, 127.0.0.1 ...), each answer delayed DELAY_MS
# (default 200), with the default bounds (16 in flight, 4 per host). Prints
# the elapsed time and peak memory that GNU time reports.
#   bench/link_check_bench.sh [build/cli/lirrevo-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/cli/lirrevo-cli}
links=${LINKS:-500}
hosts=${HOSTS:-20}
delay=${DELAY_MS:-200}
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d)
trap 'exec {to_server}>&- 2>/dev/null || true; rm -rf "$work"' EXIT
mkfifo "$work/in"
python3 "$here/../tests/support/link_server.py" --hosts "$hosts" --lifetime 600 \
  <"$work/in" >"$work/server.out" &
exec {to_server}>"$work/in"
for _ in $(seq 100); do
  [[ -s $work/server.out ]] && break
  sleep 0.1
done
read -r -a ready <"$work/server.out"
[[ ${ready[0]:-} == ready ]] || { echo "the server did not start" >&2; exit 1; }

for ((i = 0; i < links; i++)); do
  host=$((i % hosts + 1))
  echo "http://127.0.0.$host:${ready[$host]}/slow/$delay/404?$i"
done >"$work/links.txt"

/usr/bin/time -v "$cli" check "$work/links.txt" >"$work/lines.txt" 2>"$work/time.txt" || true
grep -E 'links checked' "$work/time.txt"
grep -E 'Elapsed|Maximum resident' "$work/time.txt"
echo "dead lines: $(grep -c '^dead' "$work/lines.txt") of $links"
exec {to_server}>&-
wait
grep -E '^max_(total|host 127.0.0.1 )' "$work/server.out"
