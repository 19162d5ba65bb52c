#!/usr/bin/env bash
# window_session.sh PROGRAM [SCREENSHOT.png GRAB_SCREEN]
# Runs the real program under Xvfb (1024x768) with a window manager, started
# from another folder, and checks: the outer frame is 760x504 and centred at
# 132,132; the current directory is the program's folder; neither the
# program nor the web engine's processes that it starts hold an internet
# socket once the panel has loaded its page; Escape ends the program with
# exit code 0, and no process of its group (the web engine's helpers) is
# left when it has; so does Alt+F4 in a second run, and in a third the close
# box, after the window has been minimised and has come back. With SCREENSHOT,
# three links are typed and the window, frame included, is saved there by
# GRAB_SCREEN.
set -euo pipefail
if [[ "${1:-}" != --inside ]]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$@"
fi
shift
export QT_QPA_PLATFORM=xcb
program=$(realpath "$1")
screenshot=${2:-}
grab=${3:-}

fail() { echo "FAIL: $*" >&2; exit 1; }

# A home folder of the session's own: nothing the program or the window
# manager keeps reaches the real one.
home=$(mktemp -d)
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache \
  XDG_DATA_HOME=$home/.local/share

openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true; rm -rf "$home"' EXIT
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

# Prints "x y width height" of the window's outer frame.
outer_geometry() {
  local wid=$1 x y w h left right top bottom
  read -r x y w h < <(xwininfo -id "$wid" | awk '/Absolute upper-left X/{x=$NF}
    /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}')
  read -r left right top bottom < <(xprop -id "$wid" _NET_FRAME_EXTENTS |
    sed -n 's/.*= *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\)/\1 \2 \3 \4/p')
  echo "$((x - ${left:-0})) $((y - ${top:-0})) $((w + ${left:-0} + ${right:-0}))" \
    "$((h + ${top:-0} + ${bottom:-0}))"
}

# Clicks the close box, at the right end of the frame's title bar.
click_close_box() {
  local x y w h right top
  read -r x y w h < <(outer_geometry "$1")
  read -r _ right top _ < <(xprop -id "$1" _NET_FRAME_EXTENTS |
    sed -n 's/.*= *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\)/\1 \2 \3 \4/p')
  xdotool mousemove --sync $((x + w - right - top / 2 - 2)) $((y + top / 2)) click 1
}

# The process and all its descendants, one id a line.
process_tree() {
  echo "$1"
  local child
  for child in $(pgrep -P "$1"); do process_tree "$child"; done
}

# Fails when a process of the tree holds a TCP, UDP or raw internet socket.
check_no_internet_sockets() {
  local sockets internet
  sockets=$(for p in $(process_tree "$1"); do
    find "/proc/$p/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null
  done | sed -n 's/^socket:\[\([0-9]*\)\]$/\1/p' | sort -u)
  internet=$(awk 'FNR > 1 { print $10 }' /proc/net/{tcp,tcp6,udp,udp6,raw,raw6} 2>/dev/null |
    sort -u)
  [[ -z $(comm -12 <(echo "$sockets") <(echo "$internet")) ]] ||
    fail "the program holds an internet socket"
}

# Starts the program, checks the window, closes it with the key; prints the exit code.
run_once() {
  local key=$1 pid wid geometry="" rc=0
  # In a process group of its own, which holds its helper processes too.
  (cd / && exec setsid "$program") &
  pid=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lirrevo - ' | head -n 1) ||
    fail "no window appeared"
  for _ in $(seq 50); do
    geometry=$(outer_geometry "$wid")
    [[ $geometry == "132 132 760 504" ]] && break
    sleep 0.1
  done
  [[ $geometry == "132 132 760 504" ]] || fail "outer frame is '$geometry', not '132 132 760 504'"
  [[ $(readlink "/proc/$pid/cwd") == "$(dirname "$program")" ]] ||
    fail "current directory is $(readlink "/proc/$pid/cwd")"
  # The panel's page loads in the web engine's helper processes: once they
  # run, the process tree is looked at for a second.
  if ldd "$program" | grep -q WebEngine; then
    for _ in $(seq 200); do
      process_tree "$pid" | xargs -r ps -o comm= -p | grep -q QtWebEngine && break
      sleep 0.1
    done
  fi
  for _ in $(seq 10); do
    check_no_internet_sockets "$pid"
    sleep 0.1
  done
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
  if [[ -n $screenshot ]]; then
    for n in 1 2 3; do xdotool type "http://www.example.com/old/page-$n.html" && xdotool key Return; done
    xdotool key BackSpace
    sleep 0.5
    "$grab" "$screenshot" 132 132 760 504 || fail "no screenshot"
  fi
  if [[ $key == "close box" ]]; then
    # Minimising does not end the program: the window comes back.
    xdotool windowminimize --sync "$wid"
    xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
    timeout 10 xdotool search --sync --onlyvisible --name '^Lirrevo - ' >/dev/null ||
      fail "the window did not come back after minimising"
    kill -0 "$pid" 2>/dev/null || fail "minimising ended the program"
    click_close_box "$wid"
  else
    xdotool key "$key"
  fi
  timeout 20 tail --pid="$pid" -f /dev/null || fail "still running after $key"
  wait "$pid" || rc=$?
  [[ $rc == 0 ]] || fail "exit code $rc after $key"
  local left
  left=$(pgrep -g "$pid" -a || true)
  [[ -z $left ]] || fail "processes left after $key: $left"
  echo "ok: exit code 0 after $key"
}

run_once Escape
screenshot=""
run_once alt+F4
run_once "close box"

# Nothing is kept between runs: the program left no file in the home folder
# (the window manager's own files aside).
kept=$(find "$home" -mindepth 1 -not -path "$home/.cache/openbox*" -not -path "$home/.cache" \
  -not -path "$home/.config" -not -path "$home/.config/openbox*" -print)
[[ -z $kept ]] || fail "files kept in the home folder: $kept"
echo "ok: nothing kept in the home folder"
