#!/usr/bin/env bash
# Times `lirrevo-cli scan-log` by hand against the peers, in one run, on one
# log: the awk peer (which must give exactly the same list) and, where
# GOACCESS names it, goaccess writing its JSON report. Prints the best of
# RUNS (default 3) elapsed times and lirrevo-cli's peak memory.
#   bench/scan_log_bench.sh LOG [build/cli/lirrevo-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
log=$1
cli=${2:-$here/../build/cli/lirrevo-cli}
peers=$here/../../shared/peers
runs=${RUNS:-3}
site=https://example.com
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The best elapsed seconds of $runs runs of the command; the last run's
# output stays in $work/out and its peak memory (kB) in $work/peak.
best() {
  local best=
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" >"$work/out" 2>/dev/null || true
    read -r seconds peak <"$work/time"
    echo "$peak" >"$work/peak"
    if [[ -z $best ]] || (($(echo "$seconds < $best" | bc))); then best=$seconds; fi
  done
  echo "$best"
}

cat "$log" >/dev/null  # from the page cache for every program
echo "log: $(stat -c %s "$log") bytes, $(wc -l <"$log") lines"
t_cli=$(best "$cli" scan-log --site "$site" "$log")
peak_cli=$(cat "$work/peak")
mv "$work/out" "$work/cli.txt"
t_awk=$(best "$peers/peer_log_awk.sh" "$site" "$log")
cmp -s "$work/out" "$work/cli.txt" || { echo "the lists differ from the awk peer's" >&2; exit 1; }
echo "lirrevo-cli scan-log: ${t_cli} s, peak ${peak_cli} kB, $(wc -l <"$work/cli.txt") links (the awk peer's list)"
echo "awk peer:             ${t_awk} s ($(echo "scale=1; $t_awk / $t_cli" | bc)x lirrevo-cli)"
if [[ -n ${GOACCESS:-} ]]; then
  t_goaccess=$(best "$GOACCESS" "$log" --log-format=COMBINED -o "$work/report.json")
  echo "goaccess:             ${t_goaccess} s ($(echo "scale=1; $t_goaccess / $t_cli" | bc)x lirrevo-cli)"
fi
