#!/usr/bin/env bash
# Makes the screenshots of the README under a virtual X display:
#   bash tools/shots/readme_shots.sh [BUILD_DIR]
# Needs Xvfb and ImageMagick (apt-get install xvfb imagemagick) and a build with the tests.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
out=docs/screenshots
mkdir -p "$out"
shoot() { # name seconds program args...
    local name=$1 wait=$2
    shift 2
    tools/shots/shoot.sh "/tmp/kalmix-$name.png" "$wait" 1024x768 "$@"
    convert "/tmp/kalmix-$name.png" -trim +repage "$out/$name.png"
    rm -f "/tmp/kalmix-$name.png"
}
shoot counting 2.6 "$build/tests/shot_game" 0 none 1000
shoot symbol-addition 3.6 "$build/tests/shot_game" 1 right 1000
shoot multiplication 1.5 "$build/tests/shot_game" 4 none 1000
shoot summary 3 "$build/tests/shot_game" 2 summary 1000
shoot wizard 1.2 "$build/tests/shot_wizard" 2 1000 0
echo "screenshots written to $out"
