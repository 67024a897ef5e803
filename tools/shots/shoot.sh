#!/usr/bin/env bash
# Takes a screenshot of a program under a virtual X display:
#   tools/shots/shoot.sh OUT.png SECONDS WIDTHxHEIGHT PROGRAM [ARGS...]
set -euo pipefail
out=$1 wait=$2 size=$3
shift 3
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 0.5
DISPLAY=$display "$@" >/dev/null 2>&1 &
prog=$!
sleep "$wait"
DISPLAY=$display import -window root "$out"
kill $prog 2>/dev/null || true
