#!/usr/bin/env bash
# Runs the verdict zoo of tests/support/link_server.py (pages that behave as
# real faulty servers do; each link's truth in tests/data/verdict_zoo.tsv)
# through `lirrevo-cli check -o dead.xml` and, where they are present, through
# two other link checkers, and prints for each program:
#   live pages reported dead  pages the truth calls alive that it would list
#                             as dead (for lirrevo-cli: its dead.xml)
#   dead pages missed         pages the truth calls dead that it does not
# and, for lirrevo-cli, how many of the classes it prints match the truth;
# then, by path, the zoo links each program got wrong.
# The other checkers:
#   linkinator   with LINKINATOR set to a linkinator@6 executable, e.g.
#                /tmp/peers/node_modules/.bin/linkinator (npm install
#                linkinator@6 in a scratch folder); a link counts as reported
#                dead when its state is BROKEN
#   linkchecker  Debian's linkchecker, when it is on the PATH; a link counts
#                as reported dead when it is not valid
# Both read a page, zoo.html, with one link to each zoo page, and check every
# link on it without going further. Every program gets a fresh server, as
# some zoo pages change with the requests they have seen.
#
#   [LINKINATOR=PATH] bench/verdict_zoo.sh [build/cli/lirrevo-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$here/..
cli=${1:-$root/build/cli/lirrevo-cli}
linkinator=${LINKINATOR:-}
zoo=$root/tests/data/verdict_zoo.tsv
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

if [[ ! -x $cli ]]; then
  echo "$cli is not an executable" >&2
  exit 1
fi
if [[ -n $linkinator && ! -x $linkinator ]]; then
  echo "LINKINATOR=$linkinator is not an executable" >&2
  exit 1
fi
linkchecker=$(command -v linkchecker || true)

work=$(mktemp -d)
# linkchecker, started by root, goes on as nobody: let it reach its folder.
chmod 711 "$work"
mkdir "$work/files" "$work/linkchecker"
if ((EUID == 0)); then chown nobody "$work/linkchecker"; fi
mkfifo "$work/in"
ready=()
page=
server_pid=
cleanup() {
  if [[ -n ${to_server:-} ]]; then exec {to_server}>&-; fi
  if [[ -n $server_pid ]]; then wait "$server_pid" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# start_zoo: a fresh server on 127.0.0.1 and 127.0.0.2; writes truth.tsv
# (URL, class, path), links.txt and files/zoo.html for its ports.
start_zoo() {
  python3 "$root/tests/support/link_server.py" --hosts 2 --files "$work/files" \
    --lifetime 600 <"$work/in" >"$work/server.out" 2>>"$work/server.err" &
  server_pid=$!
  exec {to_server}>"$work/in"
  for _ in $(seq 100); do
    [[ -s $work/server.out ]] && break
    sleep 0.1
  done
  read -r -a ready <"$work/server.out"
  [[ ${ready[0]:-} == ready ]] || { echo "the server did not start" >&2; exit 1; }

  awk -F'\t' -v p1="${ready[1]}" -v p2="${ready[2]}" '
    /^#/ || NF == 0 { next }
    $1 != 1 && $1 != 2 || NF < 3 { print "bad line " FNR ": " $0 > "/dev/stderr"; exit 1 }
    { print "http://127.0.0." $1 ":" ($1 == 1 ? p1 : p2) $2 "\t" $3 "\t" $2 }' \
    "$zoo" >"$work/truth.tsv"
  cut -f1 "$work/truth.tsv" >"$work/links.txt"
  awk 'BEGIN { print "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Zoo</title></head><body><ul>" }
       { gsub(/&/, "\\&amp;"); gsub(/</, "\\&lt;"); gsub(/"/, "\\&quot;")
         print "<li><a href=\"" $0 "\">" $0 "</a></li>" }
       END { print "</ul></body></html>" }' "$work/links.txt" >"$work/files/zoo.html"
}

stop_zoo() {
  exec {to_server}>&-
  to_server=
  wait "$server_pid" || true
  server_pid=
}

# csv_column NAME DELIMITER URL_COLUMN VERDICT_COLUMN: "URL<TAB>VERDICT" for
# each row of NAME.csv, the checker's report, its # lines skipped; nothing,
# and the end of NAME.err, when the report lacks those columns.
csv_column() {
  python3 - "$work/$1.csv" "${@:2}" <<'EOF' || { echo "$1 wrote no report:"; tail -n 5 "$work/$1.err"; } >&2
import csv, sys
path, delimiter, url, verdict = sys.argv[1:5]
with open(path, newline="") as f:
    rows = csv.DictReader((l for l in f if not l.startswith("#")), delimiter=delimiter)
    if not {url, verdict} <= set(rows.fieldnames or ()):
        sys.exit(1)
    for row in rows:
        print(row[url], row[verdict], sep="\t")
EOF
}

# tally NAME [CLASSES]: compares NAME.verdicts ("URL<TAB>dead|ok" for each
# link the program answered for) with the truth; adds a row to table.txt,
# CLASSES in its last column, and the paths it got wrong to wrong.txt.
tally() {
  local name=$1 classes=${2:--}
  awk -F'\t' -v name="$name" -v classes="$classes" -v table="$work/table.txt" '
    FNR == NR { class[$1] = $2; path[$1] = $3; order[++n] = $1; next }
    { said[$1] = $2 }
    END {
      for (i = 1; i <= n; i++) {
        url = order[i]
        if (!(url in said)) { unanswered = unanswered " " path[url]; said[url] = "ok" }
        if (class[url] == "alive" && said[url] == "dead") { live++; lives = lives " " path[url] }
        if (class[url] == "dead" && said[url] != "dead") { missed++; misses = misses " " path[url] }
      }
      printf "%-12s %25d %18d %15s\n", name, live, missed, classes >> table
      if (lives != "") print name ": live pages reported dead:" lives
      if (misses != "") print name ": dead pages missed:" misses
      if (unanswered != "") print name ": no answer for:" unanswered
    }' "$work/truth.tsv" "$work/$name.verdicts" >>"$work/wrong.txt"
}

: >"$work/wrong.txt"
printf '%-12s %25s %18s %15s\n' program "live pages reported dead" "dead pages missed" \
  "classes right" >"$work/table.txt"

# lirrevo-cli: its dead.xml, and the class of each line it prints.
start_zoo
(cd "$work" && "$cli" check -o dead.xml links.txt >lines.txt 2>cli.err) || true
stop_zoo
if [[ ! -s $work/lines.txt ]]; then
  echo "lirrevo-cli printed no lines:" >&2
  cat "$work/cli.err" >&2
  exit 1
fi
{
  awk -F'\t' '{ print $3 "\tok" }' "$work/lines.txt"
  grep -o '<loc>[^<]*</loc>' "$work/dead.xml" |
    sed -e 's|</*loc>||g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&quot;/"/g' \
      -e "s/&apos;/'/g" -e 's/&amp;/\&/g' -e 's/$/\tdead/'
} >"$work/lirrevo-cli.verdicts"
right=$(awk -F'\t' '
  FNR == NR { class[$1] = $2; path[$1] = $3; order[++n] = $1; next }
  ($3 in class) { printed[$3] = $1 }
  END {
    for (i = 1; i <= n; i++) {
      url = order[i]
      if (printed[url] == class[url]) right++
      else printf "lirrevo-cli: class of %s: %s, not %s\n", path[url],
        (url in printed ? printed[url] : "none"), class[url] >> wrong
    }
    printf "%d of %d\n", right, n
  }' wrong="$work/wrong.txt" "$work/truth.tsv" "$work/lines.txt")
tally lirrevo-cli "$right"

if [[ -n $linkinator ]]; then
  start_zoo
  page=http://127.0.0.1:${ready[1]}/files/zoo.html
  "$linkinator" "$page" --format CSV >"$work/linkinator.csv" 2>"$work/linkinator.err" || true
  stop_zoo
  csv_column linkinator , url state |
    awk -F'\t' '{ print $1 "\t" ($2 == "BROKEN" ? "dead" : "ok") }' >"$work/linkinator.verdicts"
  tally linkinator
fi

if [[ -n $linkchecker ]]; then
  start_zoo
  # Level 1: the page and the links on it; --check-extern, as the page's
  # host and port are not every link's; --verbose, to list the valid too.
  page=http://127.0.0.1:${ready[1]}/files/zoo.html
  (cd "$work/linkchecker" &&
    "$linkchecker" --no-status --verbose --no-robots --recursion-level 1 --check-extern \
      -o csv "$page" >"$work/linkchecker.csv" 2>"$work/linkchecker.err") || true
  stop_zoo
  csv_column linkchecker ';' urlname valid |
    awk -F'\t' '{ print $1 "\t" ($2 == "False" ? "dead" : "ok") }' >"$work/linkchecker.verdicts"
  tally linkchecker
fi

echo "$(wc -l <"$work/truth.tsv") zoo links"
cat "$work/table.txt"
cat "$work/wrong.txt"
