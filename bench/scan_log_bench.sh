#!/usr/bin/env bash
# Times `lirrevo-cli scan-log` by hand against the peers, in one run, on one
# log: the plain list beside the awk peer (which must give exactly the same
# list), the report of the crawlers' requests (--crawlers --format tsv),
# and, where GOACCESS names it, goaccess writing its JSON report. Where
# BASELINE names another lirrevo-cli (an older build), its list and report
# are timed too and must be the same bytes. The programs take turns, round
# after round, so that a busy spell of the machine falls on all of them;
# prints the best of RUNS (default 5) elapsed times, and the peak memory of
# each lirrevo-cli.
#   bench/scan_log_bench.sh LOG [build/cli/lirrevo-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
log=$1
cli=${2:-$here/../build/cli/lirrevo-cli}
peers=$here/../../shared/peers
runs=${RUNS:-5}
site=https://example.com
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The programs by name, each an array of its words.
names=(list report awk)
list=("$cli" scan-log --site "$site" "$log")
report=("$cli" scan-log --site "$site" --crawlers --format tsv "$log")
awk=("$peers/peer_log_awk.sh" "$site" "$log")
if [[ -n ${BASELINE:-} ]]; then
  names+=(baseline_list baseline_report)
  baseline_list=("$BASELINE" "${list[@]:1}")
  baseline_report=("$BASELINE" "${report[@]:1}")
fi
if [[ -n ${GOACCESS:-} ]]; then
  names+=(goaccess)
  goaccess=("$GOACCESS" "$log" --log-format=COMBINED -o "$work/report.json")
fi

# Each program's best elapsed seconds and its highest peak memory (kB); the
# last run's output stays in $work/NAME.out.
declare -A best peak
for ((i = 0; i < runs; i++)); do
  for name in "${names[@]}"; do
    declare -n words=$name
    /usr/bin/time -f '%e %M' -o "$work/time" "${words[@]}" >"$work/$name.out" 2>/dev/null || true
    read -r seconds kb <"$work/time"
    if [[ -z ${best[$name]:-} ]] || (($(echo "$seconds < ${best[$name]}" | bc))); then
      best[$name]=$seconds
    fi
    if ((kb > ${peak[$name]:-0})); then peak[$name]=$kb; fi
  done
done

same() { cmp -s "$work/$1.out" "$work/$2.out" || { echo "$3" >&2; exit 1; }; }
same list awk "the lists differ from the awk peer's"
if [[ -n ${BASELINE:-} ]]; then
  same list baseline_list "the lists differ from the baseline's"
  same report baseline_report "the reports differ from the baseline's"
fi
ratio() { echo "scale=1; ${best[$1]} / ${best[$2]}" | bc; }
echo "log: $(stat -c %s "$log") bytes, $(wc -l <"$log") lines; best of $runs"
echo "lirrevo-cli scan-log:  ${best[list]} s, peak ${peak[list]} kB," \
  "$(wc -l <"$work/list.out") links (the awk peer's list)"
echo "  --crawlers --format tsv: ${best[report]} s, peak ${peak[report]} kB," \
  "$(wc -l <"$work/report.out") lines"
echo "awk peer:              ${best[awk]} s ($(ratio awk list)x the list," \
  "$(ratio awk report)x the report)"
if [[ -n ${BASELINE:-} ]]; then
  echo "baseline scan-log:     ${best[baseline_list]} s, peak ${peak[baseline_list]} kB" \
    "($(ratio awk baseline_list)x for the awk peer)"
  echo "  --crawlers --format tsv: ${best[baseline_report]} s, peak" \
    "${peak[baseline_report]} kB ($(ratio awk baseline_report)x for the awk peer)"
fi
if [[ -n ${GOACCESS:-} ]]; then
  echo "goaccess:              ${best[goaccess]} s ($(ratio goaccess list)x the list)"
fi
