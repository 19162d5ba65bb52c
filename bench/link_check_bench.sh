#!/usr/bin/env bash
# Times `lirrevo-cli check` by hand, with the default bounds (32 in flight,
# 4 per host), and prints the elapsed time and peak memory that GNU time
# reports. Two modes:
#
# Slow hosts (the default): LINKS links (default 500) over HOSTS loopback
# hosts (default 20, 127.0.0.1 ...), each answer delayed DELAY_MS (default
# 200) by tests/support/link_server.py.
#
# Static site (NGINX=1): a site made by gen_site.py (in PEERS, default
# ../shared/peers beside the project), served by nginx (Debian's nginx-light)
# on a free port of 127.0.0.1, and a list of LINKS links (default 5000):
# every page of the site (LINKS minus about 5%) and, spread among them, about
# 5% to pages the site links to but lacks.
# With LINKINATOR set to a linkinator@6 executable (e.g.
# /tmp/peers/node_modules/.bin/linkinator), linkinator checks the same links
# right after, from a page of the site that links to each of them once, and
# the two are compared: time, memory, and links reported broken against the
# links known to be missing.
#
# Keeping a file true (UPDATE=1): see update_bench.
#
# Crawling a site (CRAWL=1): see crawl_bench.
#
#   [NGINX=1 | UPDATE=1 [OLD=N] [NEW=N] | CRAWL=1 [PAGES=N] [LINKCHECKER=1]] [LINKS=N] [HOSTS=N] [DELAY_MS=N] [LINKINATOR=PATH] [PEERS=DIR] \
#     bench/link_check_bench.sh [build/cli/lirrevo-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/cli/lirrevo-cli}
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
# nginx takes NGINX in its environment for sockets handed over by an old
# master, and then stays in the foreground: keep it out of nginx's way.
mode=${NGINX:-}
unset NGINX

work=$(mktemp -d)
nginx=
nginx_conf=
cleanup() {
  [[ -n ${to_server:-} ]] && { exec {to_server}>&-; } 2>/dev/null
  if [[ -n $nginx_conf ]]; then
    local pid
    pid=$(cat "$work/nginx/nginx.pid" 2>/dev/null || true)
    "$nginx" -c "$nginx_conf" -p "$work/nginx" -s stop 2>/dev/null || true
    for _ in $(seq 50); do
      if [[ -z $pid ]] || ! kill -0 "$pid" 2>/dev/null; then break; fi
      sleep 0.1
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# time_stats FILE: "SECONDS KBYTES" from the report of `/usr/bin/time -v`.
time_stats() {
  awk -F': ' '
    /Elapsed \(wall clock\)/ {
      n = split($2, part, ":"); s = 0
      for (i = 1; i <= n; i++) s = s * 60 + part[i]
    }
    /Maximum resident set size/ { kb = $2 }
    END { printf "%.2f %d\n", s, kb }' "$1"
}

slow_hosts_bench() {
  local links=${LINKS:-500} hosts=${HOSTS:-20} delay=${DELAY_MS:-200}
  mkfifo "$work/in"
  python3 "$here/../tests/support/link_server.py" --hosts "$hosts" --lifetime 600 \
    <"$work/in" >"$work/server.out" &
  exec {to_server}>"$work/in"
  for _ in $(seq 100); do
    [[ -s $work/server.out ]] && break
    sleep 0.1
  done
  local -a ready
  read -r -a ready <"$work/server.out"
  [[ ${ready[0]:-} == ready ]] || { echo "the server did not start" >&2; exit 1; }

  local i host
  for ((i = 0; i < links; i++)); do
    host=$((i % hosts + 1))
    echo "http://127.0.0.$host:${ready[$host]}/slow/$delay/404?$i"
  done >"$work/links.txt"

  /usr/bin/time -v "$cli" check "$work/links.txt" >"$work/lines.txt" 2>"$work/time.txt" || true
  grep -E 'links checked' "$work/time.txt"
  grep -E 'Elapsed|Maximum resident' "$work/time.txt"
  echo "dead lines: $(grep -c '^dead' "$work/lines.txt") of $links"
  exec {to_server}>&-
  to_server=
  wait
  grep -E '^max_(total|host 127.0.0.1 )' "$work/server.out"
}

# start_nginx PORT ROOT: nginx serving ROOT on 127.0.0.1:PORT until the end.
start_nginx() {
  local port=$1 site=$2
  nginx=$(PATH=$PATH:/usr/sbin:/sbin command -v nginx || true)
  if [[ -z $nginx ]]; then
    echo "nginx not found: this mode needs Debian's nginx-light (apt-get install nginx-light)" >&2
    exit 1
  fi
  mkdir -p "$work/nginx/tmp"
  nginx_conf=$work/nginx/nginx.conf
  cat >"$nginx_conf" <<EOF
pid nginx.pid;
error_log error.log;
events { worker_connections 1024; }
http {
  types { text/html html; application/xml xml; text/plain txt; }
  default_type application/octet-stream;
  access_log off;
  client_body_temp_path tmp/body;
  proxy_temp_path tmp/proxy;
  fastcgi_temp_path tmp/fastcgi;
  uwsgi_temp_path tmp/uwsgi;
  scgi_temp_path tmp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $site;
  }
}
EOF
  "$nginx" -c "$nginx_conf" -p "$work/nginx"
}

static_site_bench() {
  local links=${LINKS:-5000} linkinator=${LINKINATOR:-} peers=${PEERS:-$here/../../shared/peers}
  if [[ -n $linkinator && ! -x $linkinator ]]; then
    echo "LINKINATOR=$linkinator is not an executable" >&2
    exit 1
  fi
  if ! [[ $links =~ ^[0-9]+$ ]] || ((links < 2)); then
    echo "LINKS must be a number, 2 or more" >&2
    exit 1
  fi
  local missing=$(((links + 10) / 20))
  local pages=$((links - missing))

  local port base site=$work/site
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  base=http://127.0.0.1:$port
  # nginx's workers run as nobody when started by root: let them read the site.
  chmod 755 "$work"
  python3 "$peers/gen_site.py" "$pages" 7 "$site" "$base"

  # The site's pages, from its sitemap, and the first of the missing pages
  # it links to; each link's text is the absolute path it points to.
  sed -n 's|.*<loc>\(.*\)</loc>.*|\1|p' "$site/sitemap.xml" >"$work/pages.txt"
  grep -rhoE '>/s[0-9]/gone-[0-9]+\.html<' "$site" | tr -d '<>' | sort -u |
    awk -v n="$missing" -v base="$base" 'NR <= n { print base $0 }' >"$work/missing.txt"
  if (($(wc -l <"$work/missing.txt") != missing)); then
    echo "the site links to fewer than $missing missing pages" >&2
    exit 1
  fi
  # Spread the missing pages evenly among the others.
  awk 'NR == FNR { gone[++g] = $0; next }
       { print; while (shown < int(FNR * g / pages)) print gone[++shown] }' \
    pages="$pages" "$work/missing.txt" "$work/pages.txt" >"$work/links.txt"
  (($(wc -l <"$work/links.txt") == links)) || { echo "the list is not $links lines" >&2; exit 1; }

  start_nginx "$port" "$site"
  echo "$links links, $missing to missing pages; $pages pages served by nginx at $base"

  /usr/bin/time -v -o "$work/time.txt" "$cli" check "$work/links.txt" \
    >"$work/lines.txt" 2>"$work/cli.err" || true
  grep -E 'links checked' "$work/cli.err" || cat "$work/cli.err" >&2
  local cli_s cli_kb cli_dead
  read -r cli_s cli_kb < <(time_stats "$work/time.txt")
  cli_dead=$(grep -c '^dead' "$work/lines.txt" || true)
  printf '%-12s %8s s %8s KB max resident  %5s dead of %s missing (%s lines)\n' \
    lirrevo-cli "$cli_s" "$cli_kb" "$cli_dead" "$missing" "$(wc -l <"$work/lines.txt")"

  [[ -n $linkinator ]] || return 0
  # One page linking to every link once; without --recurse linkinator checks
  # each of its links and goes no further. Its answers include the page itself.
  awk 'BEGIN { print "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Links</title></head><body><ul>" }
       { print "<li><a href=\"" $0 "\">" $0 "</a></li>" }
       END { print "</ul></body></html>" }' "$work/links.txt" >"$site/bench-links.html"
  /usr/bin/time -v -o "$work/time-linkinator.txt" "$linkinator" "$base/bench-links.html" \
    --format CSV >"$work/linkinator.csv" 2>"$work/linkinator.err" || true
  local peer_s peer_kb peer_broken peer_rows
  read -r peer_s peer_kb < <(time_stats "$work/time-linkinator.txt")
  peer_broken=$(grep -c ',BROKEN,' "$work/linkinator.csv" || true)
  peer_rows=$(($(grep -c '^"' "$work/linkinator.csv" || true) - 1))
  printf '%-12s %8s s %8s KB max resident  %5s broken of %s missing (%s links answered)\n' \
    linkinator "$peer_s" "$peer_kb" "$peer_broken" "$missing" "$peer_rows"
  if ((peer_rows != links)); then
    echo "linkinator answered for $peer_rows links, not $links:" >&2
    tail -n 5 "$work/linkinator.err" >&2
  fi
  awk -v s="$cli_s" -v kb="$cli_kb" -v ps="$peer_s" -v pkb="$peer_kb" 'BEGIN {
    printf "linkinator / lirrevo-cli: time %.2fx, memory %.2fx\n",
      (s > 0 ? ps / s : 0), (kb > 0 ? pkb / kb : 0) }'
}

# A dead-link file of OLD links (default 50,000), all missing from a site
# that nginx serves, kept true with NEW candidates (default 1,000: half of
# them pages of the site, half missing): `update FILE NEW` against `check`
# of the same OLD + NEW links, twice each in turn.
update_bench() {
  local old=${OLD:-50000} new=${NEW:-1000} port base site=$work/site
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  base=http://127.0.0.1:$port
  chmod 755 "$work"
  mkdir -p "$site/page"
  for ((i = 0; i < new / 2; i++)); do echo "<html><body>page $i</body></html>" >"$site/page/$i.html"; done
  for ((i = 0; i < old; i++)); do echo "$base/gone/$i.html"; done >"$work/old.txt"
  for ((i = 0; i < new; i++)); do
    if ((i % 2 == 0)); then echo "$base/page/$((i / 2)).html"; else echo "$base/new-gone/$i.html"; fi
  done >"$work/new.txt"
  cat "$work/old.txt" "$work/new.txt" >"$work/all.txt"
  "$cli" -o "$work/dead.xml" "$work/old.txt"
  start_nginx "$port" "$site"
  echo "a file of $old dead links and $new new ones ($((new / 2)) dead), served by nginx at $base"
  local run s kb
  for run in 1 2; do
    /usr/bin/time -v -o "$work/time.txt" "$cli" check "$work/all.txt" >/dev/null 2>"$work/cli.err" || true
    read -r s kb < <(time_stats "$work/time.txt")
    printf '%-8s %8s s %8s KB max resident  %s\n' check "$s" "$kb" "$(grep 'links checked' "$work/cli.err")"
    cp "$work/dead.xml" "$work/kept.xml"
    /usr/bin/time -v -o "$work/time.txt" "$cli" update "$work/kept.xml" "$work/new.txt" \
      2>"$work/cli.err" || true
    read -r s kb < <(time_stats "$work/time.txt")
    printf '%-8s %8s s %8s KB max resident  %s\n' update "$s" "$kb" "$(tail -n 1 "$work/cli.err")"
  done
}

# `crawl` of a site of PAGES pages (default 2000) made by gen_site.py with
# seed 7, served by nginx, beside linkinator --recurse (LINKINATOR) and, with
# LINKCHECKER=1, Debian's linkchecker with its defaults (robots.txt not read,
# as gen_site's allows everything; it drops root's rights to user nobody).
# Prints each one's time and peak memory, and whether their broken links are
# the same set; and that each of crawl's names a page that holds it.
crawl_bench() {
  local pages=${PAGES:-2000} linkinator=${LINKINATOR:-} peers=${PEERS:-$here/../../shared/peers}
  local port base site=$work/site
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  base=http://127.0.0.1:$port
  python3 "$peers/gen_site.py" "$pages" 7 "$site" "$base"
  chmod 755 "$work"  # nginx's workers read the site as another user
  start_nginx "$port" "$site"
  local runs=${RUNS:-3} best= stats
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -v "$cli" crawl "$base/" >"$work/crawl.tsv" 2>"$work/time.txt" || true
    stats=$(time_stats "$work/time.txt")
    if [[ -z $best ]] || (($(echo "${stats% *} < ${best% *}" | bc))); then best=$stats; fi
  done
  grep -E "pages read|links checked" "$work/time.txt"
  read -r seconds kb <<<"$best"
  local read
  read=$(grep -o '[0-9,]* pages read' "$work/time.txt" | tr -dc '0-9')
  echo "lirrevo-cli crawl: $seconds s, peak $kb kB, $(echo "$read / $seconds" | bc) pages/s (best of $runs)"
  cut -f3 "$work/crawl.tsv" | sort -u >"$work/ours.txt"
  awk -F'\t' -v site="$site" '
    { match($4, /linked from [^ ]+/); page = substr($4, RSTART + 12, RLENGTH - 12)
      sub(/^https?:\/\/[^\/]+/, "", page); sub(/[?#].*/, "", page)
      if (page ~ /\/$/) page = page "index.html"
      name = $3; sub(/.*\//, "", name)
      file = site page; found = 0
      while ((getline line < file) > 0) if (index(line, name)) found = 1
      close(file); if (!found) { print "not on its page: " $3; bad++ } }
    END { print (bad ? bad : 0) " broken links named with a page that does not hold them" }' \
    "$work/crawl.tsv"
  if [[ -n $linkinator ]]; then
    /usr/bin/time -v "$linkinator" "$base/" --recurse --format CSV >"$work/li.csv" \
      2>"$work/time.txt" || true
    read -r seconds kb <<<"$(time_stats "$work/time.txt")"
    echo "linkinator --recurse: $seconds s, peak $kb kB"
    grep ',BROKEN,' "$work/li.csv" | cut -d, -f1 | tr -d '"' | sort -u >"$work/li.txt"
    cmp -s "$work/ours.txt" "$work/li.txt" && echo "same broken links as linkinator" ||
      echo "broken links differ from linkinator's: $(diff "$work/ours.txt" "$work/li.txt" | grep -c '^[<>]')"
  fi
  if [[ -n ${LINKCHECKER:-} ]]; then
    mkdir -p "$work/lc" && chmod 777 "$work" "$work/lc"
    (cd "$work/lc" && /usr/bin/time -v linkchecker --no-robots -o csv "$base/" >"$work/lc.csv" \
      2>"$work/time.txt") || true
    read -r seconds kb <<<"$(time_stats "$work/time.txt")"
    echo "linkchecker: $seconds s, peak $kb kB"
    # Its URL column keeps the link's #fragment, which no request sends.
    awk -F';' '$0 !~ /^#/ && $7 == "False" { sub(/#.*/, "", $8); print $8 }' "$work/lc.csv" |
      sort -u >"$work/lc.txt"
    cmp -s "$work/ours.txt" "$work/lc.txt" && echo "same broken links as linkchecker" ||
      echo "broken links differ from linkchecker's: $(diff "$work/ours.txt" "$work/lc.txt" | grep -c '^[<>]')"
  fi
}

if [[ ${CRAWL:-} == 1 ]]; then
  crawl_bench
elif [[ $mode == 1 ]]; then
  static_site_bench
elif [[ ${UPDATE:-} == 1 ]]; then
  update_bench
else
  slow_hosts_bench
fi
