#!/usr/bin/env bash
# Measures the peak memory of `lirrevo-cli check` by hand: LINKS links (default
# 1,000,000) over 64 loopback addresses, all to port 1, where nothing listens,
# so that each link fails at once and the run stays short (--timeout 0.001
# also makes the one retry's pause 1 ms). Prints the input's size, the elapsed
# time and the peak resident set size that GNU time reports, and the peak
# beyond the input, which is to stay under 64 MB.
#   bench/link_check_memory.sh [build/cli/lirrevo-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/cli/lirrevo-cli}
links=${LINKS:-1000000}
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v n="$links" 'BEGIN {
  for (i = 0; i < n; i++) printf "http://127.0.0.%d:1/some/dead/page/%d.html\n", i % 64 + 1, i
}' >"$work/links.txt"

/usr/bin/time -v "$cli" check --timeout 0.001 "$work/links.txt" >/dev/null 2>"$work/time.txt" || true
input_kb=$(($(stat -c %s "$work/links.txt") / 1024))
peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
grep -E 'links checked|Elapsed' "$work/time.txt"
echo "input: $input_kb kB, peak: $peak_kb kB, beyond the input: $((peak_kb - input_kb)) kB"
