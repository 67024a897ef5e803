#!/usr/bin/env bash
# Takes a screenshot of a program under a virtual X display:
#   tools/shots/shoot.sh OUT.png SECONDS WIDTHxHEIGHT PROGRAM [ARGS...]
# The display server picks a free display number itself, so that shots taken side by side (or
# beside other virtual displays) do not meet on one display.
set -euo pipefail
out=$1 wait=$2 size=$3
shift 3
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$number"' EXIT
for _ in $(seq 100); do
    [ -s "$number" ] && break
    sleep 0.1
done
[ -s "$number" ] || { echo "shoot.sh: no virtual display" >&2; exit 1; }
display=:$(head -n 1 "$number")
DISPLAY=$display "$@" >/dev/null 2>&1 &
prog=$!
sleep "$wait"
DISPLAY=$display import -window root "$out"
kill $prog 2>/dev/null || true
